#!/usr/bin/env bash
# Builds the .deb (and the .rpm where rpmbuild exists) from a build tree,
# checks what they hold and what lintian and rpmlint say, runs the unpacked
# agent (through EMULATOR for a cross build), and checks the unit files and
# man pages. Usage: package_test.sh BUILD_DIR [EMULATOR...]
set -euo pipefail
build=$(cd "$1" && pwd)
shift
emulator=("$@")
packaging=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/scanunix_pkg.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

expect_lines() {  # expect_lines WHAT HAYSTACK_FILE LINE...
  local what=$1 file=$2
  shift 2
  for line in "$@"; do
    grep -qxF -- "$line" "$file" || fail "$what lacks $line"
  done
}

# Every package holds these, with these modes ("mode path" lines).
expect_files() {  # expect_files WHAT LIST_FILE
  expect_lines "$1" "$2" \
    "-rwxr-xr-x /usr/sbin/scanunix" "-rwxr-xr-x /usr/sbin/scanunix-passwd" \
    "-rw------- /etc/scanunix/scanunix.ini" "-rw-r--r-- /etc/logrotate.d/scanunix" \
    "-rw-r--r-- /usr/lib/systemd/system/scanunix.service" \
    "-rw-r--r-- /usr/lib/systemd/system/scanunix.timer" \
    "-rw-r--r-- /usr/share/man/man8/scanunix.8.gz" "-rw-r--r-- /usr/share/man/man8/scanunix-passwd.8.gz" \
    "-rw-r--r-- /usr/share/man/man5/scanunix.ini.5.gz" \
    "-rw-r--r-- /usr/share/doc/scanunix/copyright" "-rw-r--r-- /usr/share/doc/scanunix/changelog.gz" \
    "drwx------ /var/lib/scanunix"
}

# A linter's errors fail; each warning it still gives must be explained in
# packaging/README.md. lint WHAT OUTPUT_FILE STATUS
lint() {
  [ "$3" -eq 0 ] || { cat "$2"; fail "$1 reports errors"; return; }
  local tag
  for tag in $(sed -n -e 's/^W: [^ ]*: \([^ ]*\).*/\1/p' -e 's/^[^ ]*: W: \([^ ]*\).*/\1/p' "$2" | sort -u); do
    grep -qF -- "\`$tag\`" "$packaging/README.md" || fail "$1 warning $tag is not explained in packaging/README.md"
  done
  pass "$1"
}

# --- Debian package ---
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" >"$work/cpack-deb.log" 2>&1 ||
  { cat "$work/cpack-deb.log"; fail "cpack -G DEB"; exit 1; }
deb=$(ls "$work"/deb/*.deb)
dpkg-deb -c "$deb" | awk '{sub(/^\./, "", $NF); sub(/\/$/, "", $NF); print $1, $NF}' >"$work/deb-files"
expect_files ".deb" "$work/deb-files"
pass ".deb file list"

# The architecture is the agent's, also in a cross build.
case "$(readelf -h "$build/scanunix" | sed -n 's/^ *Machine: *//p')" in
  *X86-64*) arch=amd64 ;;
  *AArch64*) arch=arm64 ;;
  *) arch=unknown ;;
esac
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail ".deb architecture is not $arch"

if command -v lintian >/dev/null; then
  status=0
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>/dev/null || status=$?
  lint lintian "$work/lintian.log" "$status"
else
  echo "skip: lintian not installed"
fi

dpkg-deb -I "$deb" conffiles >"$work/conffiles"
expect_lines "conffiles" "$work/conffiles" /etc/scanunix/scanunix.ini /etc/logrotate.d/scanunix
pass ".deb conffiles"

root=$work/root
dpkg -x "$deb" "$root"
grep -qx 'OutputFolder=/var/lib/scanunix/' "$root/etc/scanunix/scanunix.ini" ||
  fail "installed settings do not write to /var/lib/scanunix/"
for dir in /proc /sys /dev /run; do
  grep -qx "$dir" "$root/etc/scanunix/scanunix.ini" || fail "installed settings do not ignore $dir"
done

agent=$root/usr/sbin/scanunix
run() { "${emulator[@]}" "$@"; }
[ "$(run "$agent" --version)" = "scanunix $(sed -n 's/.*kScanunixVersion\[\] = "\(.*\)";/\1/p' "$build/generated/base/version.h")" ] ||
  fail "--version"
run "$agent" --help | grep -q '^Usage: scanunix' || fail "--help"
run "$root/usr/sbin/scanunix-passwd" --version | grep -q '^scanunix-passwd ' || fail "scanunix-passwd --version"
run "$root/usr/sbin/scanunix-passwd" --help | grep -q '^Usage: scanunix-passwd' || fail "scanunix-passwd --help"

# The unpacked agent scans a small tree with its own settings.
mkdir -p "$work/out" "$work/tree"
cp /bin/ls "$work/tree/program"  # System V ABI; GNU-ABI files are not listed
printf '[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nLog=-1\nOutputFolder=%s\n' "$work/out" >"$work/s.ini"
run "$agent" "$work/s.ini" "$work/tree" >"$work/run.out" 2>&1 || fail "agent exit status"
scan=$(ls "$work"/out/*.scn 2>/dev/null | head -n 1)
if [ -z "$scan" ]; then
  fail "no scan file"; cat "$work/run.out"
else
  grep -q "c4=\"program\"" "$scan" || fail "scan file lacks the ELF file of the tree"
  xmllint --noout "$scan" || fail "scan file is not well-formed"
  pass "unpacked agent scans"
fi

# --- Unit files: verified against the unpacked agent ---
mkdir -p "$work/units"
unit=$root/usr/lib/systemd/system
grep -qx 'ExecStart=/usr/sbin/scanunix /etc/scanunix/scanunix.ini' "$unit/scanunix.service" ||
  fail "service does not run the agent with /etc/scanunix/scanunix.ini"
sed "s|^ExecStart=/usr/sbin/scanunix|ExecStart=$agent|" "$unit/scanunix.service" >"$work/units/scanunix.service"
cp "$unit/scanunix.timer" "$work/units/"
if systemd-analyze verify --man=no "$work/units/scanunix.service" "$work/units/scanunix.timer" \
    >"$work/verify.log" 2>&1 && [ ! -s "$work/verify.log" ]; then
  pass "systemd-analyze verify"
else
  cat "$work/verify.log"; fail "systemd-analyze verify"
fi

# --- Man pages render without warnings ---
for page in "$root"/usr/share/man/man*/*; do
  if man --warnings=w -l "$page" 2>"$work/man.err" >/dev/null && [ ! -s "$work/man.err" ]; then
    pass "man $(basename "$page")"
  else
    cat "$work/man.err"; fail "man $(basename "$page")"
  fi
done

# --- RPM package ---
if command -v rpmbuild >/dev/null; then
  cpack --config "$build/CPackConfig.cmake" -G RPM -B "$work/rpm" >"$work/cpack-rpm.log" 2>&1 ||
    { cat "$work/cpack-rpm.log"; fail "cpack -G RPM"; }
  rpm=$(ls "$work"/rpm/*.rpm 2>/dev/null | head -n 1)
  if [ -n "$rpm" ]; then
    rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" >"$work/rpm-files"
    expect_files ".rpm" "$work/rpm-files"
    rpm -qpc "$rpm" >"$work/rpm-config"
    expect_lines ".rpm config files" "$work/rpm-config" /etc/scanunix/scanunix.ini /etc/logrotate.d/scanunix
    pass ".rpm"
    if command -v rpmlint >/dev/null; then
      status=0
      rpmlint -c "$packaging/rpmlint.toml" "$rpm" >"$work/rpmlint.log" 2>&1 || status=$?
      lint rpmlint "$work/rpmlint.log" "$status"
    else
      echo "skip: rpmlint not installed"
    fi
  fi
else
  echo "skip: rpmbuild not installed"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "package checks passed"
