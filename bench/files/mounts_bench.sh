#!/bin/sh
# Rows, time and peak memory of a scan over a hostile tree, a baseline agent
# against a candidate, in a private mount and PID namespace (as root):
#   bench/files/mounts_bench.sh BASELINE_AGENT CANDIDATE_AGENT FUSE_SERVER
# The tree holds 500 unique ELF files: 300 in usr (also bind-mounted at
# bind), 100 in opt, 100 in a layer under two overlay roots; a fuse.sshfs
# mount serves 50 more. Then the same tree with a FUSE server that never
# answers (each run cut at 20 s, killed 5 s later: a run held by the dead
# server ignores SIGTERM), and a package list of 250,000 rows.
set -eu
[ $# -eq 3 ] || { echo "usage: $0 BASELINE CANDIDATE FUSE_SERVER" >&2; exit 2; }
for p in "$@"; do [ -x "$p" ] || { echo "$p: not executable" >&2; exit 2; }; done
set -- "$(realpath "$1")" "$(realpath "$2")" "$(realpath "$3")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exec unshare -m --propagation private --pid --fork --mount-proc /bin/sh -eu -c '
base=$1 cand=$2 fuse=$3 w=$4
mkdir "$w/t" "$w/out"; mount -t tmpfs tmpfs "$w/t"; cd "$w/t"
mkdir -p root/usr/lib root/opt root/layer root/bind root/c1 root/c2 root/remote u1 u2 w1 w2
elf() { i=0; while [ $i -lt $2 ]; do printf "\177ELF\2\1\1\0%s-%d" "$1" $i >"root/$1/e$i"; i=$((i+1)); done; }
elf usr/lib 300; elf opt 100; elf layer 100
mount --bind root/usr root/bind
mount -t overlay overlay -o lowerdir=root/layer,upperdir=u1,workdir=w1 root/c1
mount -t overlay overlay -o lowerdir=root/layer,upperdir=u2,workdir=w2 root/c2
"$fuse" root/remote --record="$w/calls" --files=50 -o fsname=host:/srv,subtype=sshfs
awk "BEGIN { for (i = 0; i < 250000; i++) printf \"install ok installed|||pkg%d|||1.%d|||libs|||M <m@x>|||http://x/%d\\\\n\", i, i, i }" >"$w/list"
printf "#!/bin/sh\nexec cat %s\n" "$w/list" >"$w/dpkg-query"; chmod 755 "$w/dpkg-query"
mount --bind "$w/dpkg-query" /usr/bin/dpkg-query
run() {  # run LABEL AGENT SETTINGS ROOT
  d="$w/out/$1"; mkdir "$d"
  printf "[Settings]\nLog=-1\nShortcuts=0\nOutputFolder=%s\n%b" "$d" "$3" >"$d.ini"
  s=0; /usr/bin/time -f "%e %M" -o "$d.time" timeout -k 5 20 "$2" "$d.ini" "$4" >/dev/null 2>&1 || s=$?
  set -- "$1" $(cat "$d.time" | tail -n 1)
  rows=$(cat "$d"/*.scn 2>/dev/null | grep -c "<z:row " || true)
  pkgs=$(cat "$d"/*.scn 2>/dev/null | grep -c "<Installed " || true)
  echo "$1 exit=$s rows=$rows packages=$pkgs seconds=$2 peak_rss_kib=$3"
}
for a in base cand; do eval agent=\$$a
  run "$a-tree" "$agent" "Files=1\nMsi=0\n" "$w/t/root"
done
umount -l root/remote
"$fuse" root/remote --record="$w/calls" --block -o fsname=host:/gone,subtype=sshfs
for a in base cand; do eval agent=\$$a
  run "$a-dead-server" "$agent" "Files=1\nMsi=0\n" "$w/t/root"
done
for a in base cand; do eval agent=\$$a
  run "$a-packages" "$agent" "Files=0\nMsi=1\n" "$w/t/root"
done
' _ "$1" "$2" "$3" "$work" | awk '
  { print; split($0, f, " "); for (i in f) { split(f[i], kv, "="); v[$1, kv[1]] = kv[2] } }
  END {
    n = split("tree dead-server packages", runs, " ")
    for (r = 1; r <= n; r++) {
      b = "base-" runs[r]; c = "cand-" runs[r]
      if (v[b, "seconds"] > 0 && v[b, "peak_rss_kib"] > 0)
        printf "%s: rows %s -> %s, time x%.2f, peak RSS x%.2f (candidate/baseline)\n", runs[r],
               v[b, "rows"], v[c, "rows"], v[c, "seconds"] / v[b, "seconds"],
               v[c, "peak_rss_kib"] / v[b, "peak_rss_kib"]
    }
  }'
