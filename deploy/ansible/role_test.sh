#!/usr/bin/env bash
# Applies the role for real, twice, to a throw-away root (an overlay of this
# machine's root in a private mount namespace, chrooted into), so the machine
# itself stays as it was: the second run must change nothing, and
# ansible-lint must be clean. Usage: role_test.sh PACKAGE.deb
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

(cd "$here" && HOME=$work/home ansible-lint --offline -q roles/scanunix) >"$work/lint.log" 2>&1 ||
  { cat "$work/lint.log"; fail "ansible-lint"; }

mkdir -p "$work/role"
cp -r "$here/roles" "$deb" "$work/role/"
cat >"$work/role/site.yml" <<PLAY
- hosts: localhost
  roles:
    - role: scanunix
      scanunix_package: /tmp/role/$(basename "$deb")
      scanunix_metrics_file: /var/lib/prometheus/node-exporter/scanunix.prom
      scanunix_http_password: "p&ss=w"
      scanunix_http_proxy: http://proxy.example:3128
      scanunix_ignore_file_systems: [nfs4, "fuse.*"]
PLAY
dpkg-deb -x "$deb" "$work/unpacked"
encrypted=$(printf '%s\n' 'p&ss=w' | "$work/unpacked/usr/sbin/scanunix-passwd")

# The overlay's layers on a tmpfs, the kernel file systems the tools need.
unshare -m --propagation private bash -s "$work" >"$work/inside.log" 2>&1 <<'INSIDE' || true
set -eu
root=$1/root layers=$1/layers
mkdir -p "$layers" "$root"
mount -t tmpfs -o size=512m tmpfs "$layers"
mkdir "$layers/upper" "$layers/work"
mount -t overlay overlay -o "lowerdir=/,upperdir=$layers/upper,workdir=$layers/work" "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
mount -t tmpfs tmpfs "$root/run"
cp -r "$1/role" "$root/tmp/role"
for pass in 1 2; do
  chroot "$root" env HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin ANSIBLE_NOCOLOR=1 \
    ANSIBLE_ROLES_PATH=/tmp/role/roles ansible-playbook -c local -i localhost, \
    -e ansible_python_interpreter=/usr/bin/python3 /tmp/role/site.yml || true
done
stat -c 'mode %a %U' "$root/etc/scanunix/scanunix.ini" "$root/usr/sbin/scanunix"
grep -E '^(Password|PasswordIsEncrypted|MetricsFile|Proxy|Retries)=|^fuse' "$root/etc/scanunix/scanunix.ini"
readlink "$root/etc/systemd/system/timers.target.wants/scanunix.timer"
INSIDE

recaps=$(sed -n 's/^localhost *: //p' "$work/inside.log")
[[ $recaps == *changed=[1-9]*failed=0*$'\n'*changed=0\ *failed=0* ]] ||
  fail "two clean runs, the second changing nothing: $recaps"
for line in 'mode 600 root' 'mode 755 root' "Password=$encrypted" PasswordIsEncrypted=1 \
  MetricsFile=/var/lib/prometheus/node-exporter/scanunix.prom Proxy=http://proxy.example:3128 \
  Retries=2 'fuse.*' /lib/systemd/system/scanunix.timer; do
  grep -qxF -- "$line" "$work/inside.log" || fail "the throw-away root lacks $line"
done
! grep -q 'p&ss' "$work/inside.log" || fail "the plain password was shown or written"
[ "$failures" -eq 0 ] || { cat "$work/inside.log"; exit 1; }
echo "role checks passed"
