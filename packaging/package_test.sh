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

# The Ansible role installs this package into a throw-away root: one of
# this machine's architecture, which the role runs there.
if [ ${#emulator[@]} -eq 0 ]; then
  bash "$packaging/../deploy/ansible/role_test.sh" "$deb" || fail "Ansible role"
else
  echo "skip: the Ansible role installs a package of another architecture"
fi

root=$work/root
dpkg -x "$deb" "$root"
expect_lines "installed settings" "$root/etc/scanunix/scanunix.ini" \
  OutputFolder=/var/lib/scanunix/ /proc /sys /dev /run
agent=$root/usr/sbin/scanunix
version=$(sed -n 's/.*kScanunixVersion\[\] = "\(.*\)";/\1/p' "$build/generated/base/version.h")
for tool in scanunix scanunix-passwd; do
  [ "$(run "$root/usr/sbin/$tool" --version)" = "$tool $version" ] || fail "$tool --version"
  run "$root/usr/sbin/$tool" --help | grep -q "^Usage: $tool" || fail "$tool --help"
done

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

# --- The service's hardening, checked on the unit as built ---
service=$unit/scanunix.service
unit_value() { sed -n "s/^$1=//p" "$service"; }
rating=$(systemd-analyze security --offline=yes "$service" 2>&1 |
  sed -n 's/.*Overall exposure level for scanunix.service: \([0-9.]*\).*/\1/p')
echo "exposure rating: ${rating:-unknown}"
awk -v r="$rating" 'BEGIN { exit !(r != "" && r <= 4.5) }' || fail "exposure rating ${rating:-unknown} above 4.5"

# The unit's capabilities give the scan file that full root gives, on a tree
# with another user's private directory and file, and leave its access time
# alone; without either of them the scan differs. Bounded like the service:
# no inheritable or ambient capabilities either.
bounded() {  # bounded CAPABILITY... -- COMMAND...
  local set=-all
  while [ "$1" != -- ]; do set+=",+$(printf '%s' "${1#CAP_}" | tr A-Z a-z)"; shift; done
  shift
  setpriv --bounding-set="$set" --inh-caps=-all --ambient-caps=-all "$@"
}
scan_caps() {  # scan_caps NAME [CAPABILITY... --]: the scan file, dates blanked
  local out=$work/caps/$1
  shift
  mkdir -p "$out"
  printf '[Settings]\nCRC=1\nLog=-1\nOutputFolder=%s\n' "$out" >"$out.ini"
  if [ $# -eq 0 ]; then run "$agent" "$out.ini" "$work/caps/tree"
  else bounded "$@" "${emulator[@]}" "$agent" "$out.ini" "$work/caps/tree"; fi >/dev/null 2>&1 || true
  sed -E 's/Scan(Date|Duration)="[^"]*"/Scan\1=""/' "$out"/*.scn
}
mkdir -p "$work/caps/tree/private"
cp /bin/ls "$work/caps/tree/private/program"
cp /bin/ls "$work/caps/tree/theirs"
chmod 0600 "$work/caps/tree/private/program" "$work/caps/tree/theirs"
chmod 0700 "$work/caps/tree/private"
chown -R nobody:nogroup "$work/caps/tree/private" "$work/caps/tree/theirs"
touch -a -d 2000-01-01 "$work/caps/tree/theirs"
atime() { stat -c %X "$work/caps/tree/theirs"; }
old_atime=$(atime)
scan_caps root >"$work/caps/root.scn"
grep -q 'c4="program"' "$work/caps/root.scn" || fail "full root does not list the private file"
# shellcheck disable=SC2086 # one word per capability
scan_caps unit $(unit_value CapabilityBoundingSet) -- >"$work/caps/unit.scn"
cmp -s "$work/caps/root.scn" "$work/caps/unit.scn" || fail "the unit's capabilities give another scan file"
[ "$(atime)" = "$old_atime" ] || fail "a scan with the unit's capabilities changed an access time"
scan_caps nodac CAP_FOWNER -- | grep -q 'c4="program"' && fail "the private file is listed without CAP_DAC_READ_SEARCH"
scan_caps nofowner CAP_DAC_READ_SEARCH -- >/dev/null
# Only where reading updates access times (not on a noatime mount).
[ "$(atime)" != "$old_atime" ] || grep -qw noatime /proc/self/mountinfo ||
  fail "access times survive without CAP_FOWNER: is it needed?"

# Every system call of a whole run (packages with librpm loaded, files with
# checksums, the metrics file, an https upload with libssl) lies within the
# unit's filter, and none makes writable code. Not through an emulator.
if [ ${#emulator[@]} -eq 0 ] && command -v strace >/dev/null; then
  expand_calls() {  # expand_calls NAME...: the system calls the names and groups stand for
    local name
    for name in "$@"; do
      # shellcheck disable=SC2046 # one word per member
      if [[ $name == @* ]]; then expand_calls $(systemd-analyze syscall-filter "$name" 2>/dev/null |
        sed -n 's/^ \+\([^ #]\+\)$/\1/p')
      else echo "$name"; fi
    done
  }
  # shellcheck disable=SC2046
  expand_calls $(unit_value SystemCallFilter) | sort -u >"$work/allowed"
  openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
  port=$((20000 + RANDOM % 20000))
  openssl s_server -quiet -naccept 1 -accept "127.0.0.1:$port" -cert "$work/cert.pem" \
    -key "$work/key.pem" >/dev/null 2>&1 &
  tls_server=$!
  sleep 0.5
  mkdir -p "$work/calls"
  printf '[Settings]\nLog=1\nCRC=1\nOutputFolder=%s\nMetricsFile=%s\nUploadByHttp=1\n[HTTP]\nAddress=https://127.0.0.1:%s/\nTimeout=5\n' \
    "$work/calls" "$work/calls/m.prom" "$port" >"$work/calls.ini"
  strace -f -qq -o "$work/trace" "$agent" "$work/calls.ini" "$work/caps/tree" >"$work/calls.out" 2>&1 || true
  kill "$tls_server" 2>/dev/null || true
  wait "$tls_server" 2>/dev/null || true
  for library in libssl librpm; do
    grep -q "$library"'\.so[^"]*", O_RDONLY|O_CLOEXEC) = [0-9]' "$work/trace" || fail "the traced run did not load $library"
  done
  sed -n 's/^[0-9]* *\([a-z_0-9]*\)(.*/\1/p' "$work/trace" | sort -u >"$work/called"
  # cachestat (451) is newer than the filter's table: refused there, the
  # agent asks mincore instead.
  outside=$(comm -23 "$work/called" "$work/allowed" | { grep -v -x -e cachestat -e syscall_0x1c3 || true; } | tr '\n' ' ')
  [ -z "$outside" ] || fail "system calls outside the unit's SystemCallFilter: $outside"
  ! grep -Eq 'mmap\(.*PROT_WRITE\|PROT_EXEC|mprotect\(.*PROT_EXEC' "$work/trace" ||
    fail "writable or late executable memory, which MemoryDenyWriteExecute refuses"
else
  echo "skip: system calls not traced"
fi

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
