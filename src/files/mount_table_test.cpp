#include "files/mount_table.h"

#include <gtest/gtest.h>

namespace {

// The settings' default list.
const std::vector<std::string> kDefaults = {"nfs", "nfs4",    "cifs", "autofs",
                                            "overlay", "fuse", "fuse.*"};

TEST(MountTable, ParsesRealLines) {
  const struct {
    const char* line;
    MountEntry parsed;  // id 0: the line is left out
  } cases[] = {
      {"45 26 0:41 / /net rw,relatime shared:30 master:2 - autofs systemd-1 rw,fd=29,direct",
       {45, 26, "0:41", "/", "/net", "autofs"}},
      {"29 1 0:26 /@ / rw,relatime shared:1 - btrfs /dev/nvme0n1p2 rw,subvolid=256,subvol=/@",
       {29, 1, "0:26", "/@", "/", "btrfs"}},
      {"7 26 8:1 /a\\134b\\011c /x\\012y\\0\\8 rw - ext4 /dev/sda1 rw",
       {7, 26, "8:1", "/a\\b\tc", "/x\ny\\0\\8", "ext4"}},
      {"x 2 3:4 / /x rw - ext4 d o", {}}, {"1 2 3:4 / /x rw shared:1", {}},
      {"1 2 3:4 / /x rw -", {}}, {"1 2 3:4 relative /x rw - ext4 d o", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::vector<MountEntry> mounts = ParseMountInfo(c.line);
    ASSERT_EQ(mounts.size(), c.parsed.id ? 1u : 0u);
    if (mounts.empty()) continue;
    EXPECT_EQ(mounts[0].id, c.parsed.id);
    EXPECT_EQ(mounts[0].parentId, c.parsed.parentId);
    EXPECT_EQ(mounts[0].device, c.parsed.device);
    EXPECT_EQ(mounts[0].root, c.parsed.root);
    EXPECT_EQ(mounts[0].mountPoint, c.parsed.mountPoint);
    EXPECT_EQ(mounts[0].type, c.parsed.type);
  }
}

TEST(MountTable, FilterTypes) {
  const FileSystemFilter defaults(kDefaults), none({}), fuse({"FUSE*", " "});
  const struct {
    const char* type;
    bool byDefault, byNone, byFuse;
  } cases[] = {
      {"nfs4", true, false, false}, {"fuse.sshfs", true, false, true},
      {"fuseblk", false, false, true}, {"ext4", false, false, false},
      {"proc", true, true, true}, {"nfsd", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(defaults.Skips(c.type), c.byDefault);
    EXPECT_EQ(none.Skips(c.type), c.byNone);
    EXPECT_EQ(fuse.Skips(c.type), c.byFuse);
  }
}

// Each mount "device root mount-point type"; the decisions in the order asked.
TEST(MountTable, DecisionsBelowTheRoot) {
  const struct {
    const char* name;
    std::string table;
    std::string root;
    // Each path asked, in order, and its decision: "walk", "type <t>" or "dup <relative>".
    std::vector<std::pair<std::string, std::string>> asked;
  } cases[] = {
      {"types; the root's own overlay is walked; a mount above the root is not asked",
       "1 0 0:1 / / rw - overlay o rw\n2 1 0:2 / /srv/nfs rw - nfs4 s:/ rw\n"
       "3 1 0:3 / /srv/net rw - autofs a rw\n4 1 0:4 / /srv/t rw - tmpfs t rw\n"
       "5 1 0:5 / /proc rw - proc p rw\n6 2 0:6 / /srv/nfs/in rw - ext4 e rw\n",
       "/srv",
       {{"/nfs", "type nfs4"}, {"/net", "type autofs"}, {"/t", "walk"}, {"/proc", "walk"},
        {"/x", "walk"}}},
      {"a bind of a directory of the root's file system; a bind onto itself is walked",
       "1 0 8:1 / / rw - ext4 d rw\n2 1 8:1 /t/usr /t/bind rw - ext4 d rw\n"
       "3 1 8:1 /t/data /t/data rw - ext4 d rw\n4 1 8:1 /t /t/loop rw - ext4 d rw\n",
       "/t", {{"/bind", "dup "}, {"/data", "walk"}, {"/loop", "dup "}}},
      {"the shorter root wins whichever is met first; equal roots: the first met",
       "1 0 8:1 / / rw - ext4 d rw\n2 1 0:9 /a/b /t/x rw - xfs v rw\n3 1 0:9 /a /t/y rw - xfs v rw\n"
       "4 1 0:9 /a /t/z rw - xfs v rw\n",
       "/t", {{"/x", "dup /y"}, {"/z", "walk"}, {"/y", "dup /z"}}},
      {"btrfs subvolumes are no duplicates; a stacked mount hides the one below",
       "1 0 0:26 /@ / rw - btrfs d rw\n2 1 0:26 /@home /home rw - btrfs d rw\n"
       "3 1 0:26 /@home/u /home/u rw - btrfs d rw\n4 1 0:7 / /mnt rw - nfs n rw\n"
       "5 4 0:8 / /mnt rw - ext4 e rw\n",
       "/", {{"/home", "walk"}, {"/home/u", "walk"}, {"/mnt", "walk"}}},
      {"a duplicate only counts where its place is walked",
       "1 0 8:1 / / rw - ext4 d rw\n2 1 0:3 / /r/n rw - nfs n rw\n3 1 8:1 /r/n/x /r/m rw - ext4 d rw\n"
       "4 1 0:9 / /r/ign rw - xfs v rw\n5 1 0:9 / /r/k rw - xfs v rw\n",
       "/r", {{"/m", "walk"}, {"/k", "walk"}, {"/ign", "dup /k"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MountDecisions decisions(ParseMountInfo(c.table), c.root, FileSystemFilter(kDefaults),
                             [](std::string_view relative) { return relative == "/ign"; });
    for (const auto& [path, decision] : c.asked) {
      SCOPED_TRACE(path);
      const std::optional<MountSkip> skip = decisions.Decide(path);
      EXPECT_EQ(!skip ? "walk" : !skip->type.empty() ? "type " + skip->type :
                                                       "dup " + skip->duplicateOf,
                decision);
    }
  }
}

}  // namespace
