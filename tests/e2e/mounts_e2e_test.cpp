// Mounts below the scan root, through the built agent in a private mount and
// PID namespace: kernel file systems (a proc's vast kcore would be listed, and
// read without end with checksums on), FUSE servers (one that never answers),
// an overlay pair on one layer and bind mounts. Everything mounted goes with
// the namespace.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "agent_runner.h"

namespace e2e {
namespace {

// "directory/name" of every row of the scan file in `dir`, below `root`, sorted.
std::string ListedFiles(const fs::path& dir, const std::string& root) {
  const fs::path scan = FindScanFile(dir);
  if (scan.empty()) return "<no scan file>";
  std::istringstream doc(ReadFile(scan));
  std::multiset<std::string> files;
  for (std::string line; std::getline(doc, line);)
    if (line.find("<z:row ") != std::string::npos)
      files.insert(AttributeValue(line, "c11").substr(root.size()) + "/" +
                   AttributeValue(line, "c4"));
  std::string out;
  for (const std::string& f : files) out += f + "\n";
  return out;
}

TEST(MountsE2E, KernelNetworkFuseOverlayAndBindMountsBelowTheRoot) {
  if (!fs::exists(FUSE_SERVER_PATH) || !fs::exists("/dev/fuse")) GTEST_SKIP() << "no FUSE here";
  TempDir tree, out;  // the tree gets a tmpfs of its own in the namespace
  const std::string t = tree.path().string(), o = out.path().string(), root = t + "/root";
  const struct {
    std::string name;                  // the run: no [IgnoreFileSystems], or an empty one
    std::string files;                 // the rows, below the root
    std::vector<std::string> skipped;  // "skip " lines, below the root
  } runs[] = {
      {"absent", "/layer/l1\n/usr/bin/a\n",
       {"/c1: overlay file system", "/c2: overlay file system", "/dead: fuse.sshfs file system",
        "/live: fuse.sshfs file system", "/bind: bind mount of " + root, "/proc: proc file system",
        "/bound: proc file system", "/sys: sysfs file system"}},
      // The dead server is gone by now; with nothing ignored the live one is walked.
      {"empty", "/c1/l1\n/c2/l1\n/layer/l1\n/live/elf0\n/usr/bin/a\n",
       {"/bind: bind mount of " + root}},
  };
  const std::string elf = "printf '\\177ELF\\2\\1\\1\\0payload!' >";
  std::string script =
      "set -e; mount -t tmpfs tmpfs \"$T\"; cd \"$T\"; mkdir -p root/usr/bin root/bind root/layer "
      "root/c1 root/c2 root/live root/dead root/proc root/bound root/sys u1 u2 w1 w2\n" + elf +
      " root/usr/bin/a; " + elf + " root/layer/l1\nmount --bind root/usr root/bind\n"
      "mount -t proc proc root/proc; mount --bind /proc root/bound; mount -t sysfs sysfs root/sys\n"
      "mount -t overlay overlay -o lowerdir=root/layer,upperdir=u1,workdir=w1 root/c1\n"
      "mount -t overlay overlay -o lowerdir=root/layer,upperdir=u2,workdir=w2 root/c2\n"
      "\"$F\" root/live --record=\"$O/live.calls\" -o fsname=host:/srv,subtype=sshfs\n"
      "\"$F\" root/dead --record=\"$O/dead.calls\" --block -o fsname=host:/gone,subtype=sshfs\n"
      ": >\"$O/live.calls\"; : >\"$O/dead.calls\"\n"
      "run() { mkdir \"$O/$1\"; printf '[Settings]\\nFiles=1\\nMsi=0\\nShortcuts=0\\nLog=1\\n"
      "OutputFolder=%s\\n%b' \"$O/$1\" \"$2\" >\"$O/$1.ini\"; "
      "timeout 60 \"$A\" \"$O/$1.ini\" \"$3\" >\"$O/$1.out\" 2>&1 || echo \"$?\" >\"$O/$1.failed\"; }\n";
  script += "run absent '' \"$T/root\"\n"
            "cp \"$O/live.calls\" \"$O/before-empty.calls\"; umount -l root/dead\n"
            "run empty '[IgnoreFileSystems]\\n' \"$T/root\"\n"
            "run on-fuse '' \"$T/root/live\"\nrun on-proc '' /proc\n";
  const AgentResult setup =
      e2e::Run("/usr/bin/env", {"T=" + t, "O=" + o, "F=" FUSE_SERVER_PATH, "A=" + AgentPath().string(),
                           "/usr/bin/unshare", "-m", "--propagation", "private", "--pid", "--fork",
                           "--mount-proc", "/bin/sh", "-c", script});
  ASSERT_EQ(setup.exitStatus, 0) << setup.out << setup.err;

  for (const auto& r : runs) {
    SCOPED_TRACE(r.name);
    EXPECT_FALSE(fs::exists(out / (r.name + ".failed"))) << ReadFile(out / (r.name + ".out"));
    EXPECT_EQ(ListedFiles(out / r.name, root), r.files);
    const std::string console = ReadFile(out / (r.name + ".out"));
    for (const std::string& skip : r.skipped)
      EXPECT_NE(console.find("skip " + root + skip + "\n"), std::string::npos) << console;
  }
  // Neither server heard a single call while they were skipped, not even
  // the stat of their root; then the empty section walked the live one.
  EXPECT_EQ(ReadFile(out / "before-empty.calls"), "");
  EXPECT_EQ(ReadFile(out / "dead.calls"), "");
  EXPECT_NE(ReadFile(out / "live.calls"), "");
  // The scan root's own mount is walked whatever its type.
  EXPECT_EQ(ListedFiles(out / "on-fuse", root), "/live/elf0\n");
  // A kernel file system as the root is not entered either.
  EXPECT_EQ(ListedFiles(out / "on-proc", "/proc"), "");
  EXPECT_NE(ReadFile(out / "on-proc.out").find("skip /proc: proc file system\n"),
            std::string::npos);
}

}  // namespace
}  // namespace e2e
