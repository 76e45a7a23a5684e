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
run() { "${emulator[@]}" "$@"; }

expect_lines() {  # expect_lines WHAT FILE LINE...: each LINE is a whole line of FILE
  local what=$1 file=$2 line
  shift 2
  for line in "$@"; do grep -qxF -- "$line" "$file" || fail "$what lacks $line"; done
}

# Every package holds these, with these modes ("mode path" lines), and the
# two configuration files.
expect_contents() {  # expect_contents WHAT FILE_LIST CONFIG_LIST
  local r='-rw-r--r--' man=/usr/share/man
  expect_lines "$1" "$2" "-rwxr-xr-x /usr/sbin/scanunix" "-rwxr-xr-x /usr/sbin/scanunix-passwd" \
    "-rw------- /etc/scanunix/scanunix.ini" "$r /etc/logrotate.d/scanunix" \
    "$r /usr/lib/systemd/system/scanunix.service" "$r /usr/lib/systemd/system/scanunix.timer" \
    "$r $man/man8/scanunix.8.gz" "$r $man/man8/scanunix-passwd.8.gz" \
    "$r $man/man5/scanunix.ini.5.gz" \
    "$r /usr/share/doc/scanunix/copyright" "$r /usr/share/doc/scanunix/changelog.gz" \
    "drwx------ /var/lib/scanunix"
  expect_lines "$1 config files" "$3" /etc/scanunix/scanunix.ini /etc/logrotate.d/scanunix
}

# A linter's errors fail; each warning it still gives must be explained in
# packaging/README.md. lint WHAT COMMAND...
lint() {
  local what=$1 tag
  shift
  command -v "$1" >/dev/null || { echo "skip: $1 not installed"; return; }
  "$@" >"$work/$what.log" 2>&1 || { cat "$work/$what.log"; fail "$what reports errors"; return; }
  for tag in $(sed -n -e 's/^W: [^ ]*: \([^ ]*\).*/\1/p' -e 's/^[^ ]*: W: \([^ ]*\).*/\1/p' "$work/$what.log" | sort -u); do
    grep -qF -- "\`$tag\`" "$packaging/README.md" || fail "$what warning $tag is not explained in packaging/README.md"
  done
}

# --- Debian package ---
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" >"$work/cpack-deb.log" 2>&1 ||
  { cat "$work/cpack-deb.log"; fail "cpack -G DEB"; exit 1; }
deb=$(ls "$work"/deb/*.deb)
dpkg-deb -c "$deb" | awk '{sub(/^\./, "", $NF); sub(/\/$/, "", $NF); print $1, $NF}' >"$work/deb-files"
dpkg-deb -I "$deb" conffiles >"$work/deb-conffiles"
expect_contents .deb "$work/deb-files" "$work/deb-conffiles"
# The architecture is the agent's, also in a cross build.
case "$(readelf -h "$build/scanunix" | sed -n 's/^ *Machine: *//p')" in
  *X86-64*) arch=amd64 ;;
  *AArch64*) arch=arm64 ;;
  *) arch=unknown ;;
esac
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail ".deb architecture is not $arch"
lint lintian lintian --fail-on error "$deb"

root=$work/root
dpkg -x "$deb" "$root"
expect_lines "installed settings" "$root/etc/scanunix/scanunix.ini" \
  OutputFolder=/var/lib/scanunix/ /proc /sys /dev /run
agent=$root/usr/sbin/scanunix
version=$(sed -n 's/.*kScanunixVersion\[\] = "\(.*\)";/\1/p' "$build/generated/base/version.h")
[ "$(run "$agent" --version)" = "scanunix $version" ] || fail "--version"
for tool in scanunix scanunix-passwd; do
  run "$root/usr/sbin/$tool" --version | grep -q "^$tool " || fail "$tool --version"
  run "$root/usr/sbin/$tool" --help | grep -q "^Usage: $tool" || fail "$tool --help"
done

# The unpacked agent scans a small tree with its own settings.
mkdir -p "$work/out" "$work/tree"
cp /bin/ls "$work/tree/program"  # System V ABI; GNU-ABI files are not listed
printf '[Settings]\nMsi=0\nShortcuts=0\nLog=-1\nOutputFolder=%s\n' "$work/out" >"$work/s.ini"
run "$agent" "$work/s.ini" "$work/tree" >"$work/run.out" 2>&1 ||
  { cat "$work/run.out"; fail "agent exit status"; }
scan=$(ls "$work"/out/*.scn 2>/dev/null | head -n 1 || true)
grep -q 'c4="program"' "$scan" || fail "scan file lacks the ELF file of the tree"
xmllint --noout "$scan" || fail "scan file is not well-formed"

# --- Unit files: verified against the unpacked agent ---
unit=$root/usr/lib/systemd/system
grep -qx 'ExecStart=/usr/sbin/scanunix /etc/scanunix/scanunix.ini' "$unit/scanunix.service" ||
  fail "service does not run the agent with /etc/scanunix/scanunix.ini"
mkdir "$work/units"
sed "s|^ExecStart=/usr/sbin/scanunix|ExecStart=$agent|" "$unit/scanunix.service" \
  >"$work/units/scanunix.service"
cp "$unit/scanunix.timer" "$work/units/"
systemd-analyze verify --man=no "$work"/units/* >"$work/verify.log" 2>&1 &&
  [ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify"; }

# --- Man pages render without warnings ---
for page in "$root"/usr/share/man/man*/*; do
  man --warnings=w -l "$page" 2>"$work/man.err" >/dev/null && [ ! -s "$work/man.err" ] ||
    { cat "$work/man.err"; fail "man $(basename "$page")"; }
done

# --- RPM package ---
if command -v rpmbuild >/dev/null; then
  cpack --config "$build/CPackConfig.cmake" -G RPM -B "$work/rpm" >"$work/cpack-rpm.log" 2>&1 ||
    { cat "$work/cpack-rpm.log"; fail "cpack -G RPM"; }
  rpm=$(ls "$work"/rpm/*.rpm | head -n 1)
  rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" >"$work/rpm-files"
  rpm -qpc "$rpm" >"$work/rpm-config"
  expect_contents .rpm "$work/rpm-files" "$work/rpm-config"
  lint rpmlint rpmlint -c "$packaging/rpmlint.toml" "$rpm"
else
  echo "skip: rpmbuild not installed"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "package checks passed"
