#!/usr/bin/env bash
# Applies the role for real, twice, to a throw-away root: an overlay of this
# machine's root in a private mount namespace, chrooted into, so the machine
# itself stays as it was. The second run must change nothing; ansible-lint
# must be clean. Usage: role_test.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
for tool in ansible-playbook ansible-lint; do
  command -v "$tool" >/dev/null || { echo "skip: $tool not installed"; exit 0; }
done
work=$(mktemp -d /tmp/scanunix_role.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Its caches go to a home of its own.
(cd "$here" && HOME=$work/home ansible-lint --offline -q roles/scanunix) >"$work/lint.log" 2>&1 ||
  { cat "$work/lint.log"; fail "ansible-lint"; }

mkdir -p "$work/role"
cp -r "$here/roles" "$work/role/"
cp "$deb" "$work/role/"
cat >"$work/role/site.yml" <<PLAY
- hosts: localhost
  connection: local
  roles:
    - role: scanunix
      scanunix_package: /tmp/role/$(basename "$deb")
      scanunix_metrics_file: /var/lib/prometheus/node-exporter/scanunix.prom
      scanunix_upload_by_http: 1
      scanunix_http_address: http://inventory.example/inv/
      scanunix_http_username: inventory
      scanunix_http_password: "p&ss=w"
PLAY
# What scanunix-passwd of the package prints for that password.
dpkg-deb -x "$deb" "$work/unpacked"
expected_password=$(printf '%s\n' 'p&ss=w' | "$work/unpacked/usr/sbin/scanunix-passwd")

# Inside: the overlay's layers on a tmpfs, the kernel file systems the tools
# need, the role under /tmp/role; two runs, then what they left.
unshare -m --propagation private bash -s "$work" >"$work/inside.log" 2>&1 <<'INSIDE' || true
set -eu
work=$1
mkdir -p "$work/layers" "$work/root"
mount -t tmpfs -o size=512m tmpfs "$work/layers"
mkdir -p "$work/layers/upper" "$work/layers/work"
mount -t overlay overlay -o "lowerdir=/,upperdir=$work/layers/upper,workdir=$work/layers/work" "$work/root"
root=$work/root
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
mount -t tmpfs tmpfs "$root/run"
cp -r "$work/role" "$root/tmp/role"
for pass in 1 2; do
  echo "=== pass $pass"
  chroot "$root" env HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin ANSIBLE_NOCOLOR=1 \
    ANSIBLE_ROLES_PATH=/tmp/role/roles ansible-playbook -i localhost, \
    -e ansible_python_interpreter=/usr/bin/python3 /tmp/role/site.yml || echo "playbook failed"
done
echo "=== result"
stat -c '%a %U %n' "$root/etc/scanunix/scanunix.ini"
grep -E '^(Password|PasswordIsEncrypted|MetricsFile|UploadByHttp|Address)=' "$root/etc/scanunix/scanunix.ini"
readlink "$root/etc/systemd/system/timers.target.wants/scanunix.timer" || echo "timer not enabled"
"$root/usr/sbin/scanunix" --version
INSIDE

recaps=$(grep -E '^localhost +: ' "$work/inside.log" || true)
[ "$(printf '%s\n' "$recaps" | grep -c 'failed=0')" = 2 ] || fail "a run of the role failed"
printf '%s\n' "$recaps" | sed -n 1p | grep -q 'changed=0' && fail "the first run changed nothing"
printf '%s\n' "$recaps" | sed -n 2p | grep -q 'changed=0 ' || fail "the second run changed something"
grep -qx '600 root .*/etc/scanunix/scanunix.ini' "$work/inside.log" || fail "settings file mode"
grep -qx "Password=$expected_password" "$work/inside.log" || fail "password not stored encrypted"
grep -qx 'PasswordIsEncrypted=1' "$work/inside.log" || fail "password not marked encrypted"
grep -qx 'MetricsFile=/var/lib/prometheus/node-exporter/scanunix.prom' "$work/inside.log" || fail "MetricsFile"
grep -qx '/lib/systemd/system/scanunix.timer' "$work/inside.log" || fail "timer not enabled"
grep -q '^scanunix ' "$work/inside.log" || fail "agent not installed"
grep -q 'p&ss' "$work/inside.log" && fail "the plain password reached the settings or the output"
[ "$failures" -eq 0 ] || { cat "$work/inside.log"; echo "$failures failed"; exit 1; }
echo "role checks passed"
