// The mount table, read once before the walk, and what it decides: which
// mount points below the scan root the walk leaves alone. The walk knows a
// mount point by its path alone, so a skipped one is never opened, stat'ed
// or read, and a dead server or an automount point cannot hold the scan.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One line of /proc/self/mountinfo, its fields unescaped.
struct MountEntry {
  int id = 0;
  int parentId = 0;
  std::string device;      // "major:minor"
  std::string root;        // the directory of the file system mounted here
  std::string mountPoint;  // where, relative to our root
  std::string type;        // "ext4", "fuse.sshfs", ...
};

// The mountinfo text, line by line; a line without the fields a mount has
// is left out. Octal escapes ("\040" for a space) are undone.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// A mountinfo field with "\ooo" escapes turned back into their bytes; a
// backslash not followed by three octal digits stays as it is.
std::string UnescapeMountField(std::string_view field);

// The most of /proc/self/mountinfo that is read.
inline constexpr size_t kMountInfoLimit = 16 * 1024 * 1024;

// The types the walk leaves out: kernel file systems always, and those
// `patterns` name ("name", or "prefix*" for every type that begins so),
// without regard to ASCII case.
class FileSystemFilter {
 public:
  explicit FileSystemFilter(std::vector<std::string> patterns);
  bool Skips(std::string_view type) const;
  // The kernel file systems (proc, sysfs, ...), whatever the patterns.
  static bool IsKernel(std::string_view type);

 private:
  std::vector<std::string> patterns_;  // lowered
};

// Why a mount point is left out.
struct MountSkip {
  std::string type;        // the skipped type; empty for a duplicate
  // For a duplicate: the mount point walked in its place, relative to the
  // scan root (empty for the root's own mount).
  std::string duplicateOf;
};

// The decisions for one walk. Mount points are kept relative to the scan
// root ("/home/share"), as the walk's paths are past the root it was given.
class MountDecisions {
 public:
  // `canonicalRoot`: the scan root as the mount table writes paths.
  // `isIgnored`: whether the walk would leave out a directory given by its
  // path relative to the root (a mount there cannot stand in for another).
  MountDecisions(const std::vector<MountEntry>& mounts, std::string_view canonicalRoot,
                 const FileSystemFilter& filter,
                 const std::function<bool(std::string_view relative)>& isIgnored = {});

  bool Empty() const { return decisions_.empty(); }
  bool IsMountPoint(std::string_view relative) const { return byPath_.contains(relative); }
  // For the entry at `relative` (below the root, starting with "/"): why it
  // is left out, or nothing when it is no mount point or is walked. Asking
  // is taking the walk there: of two equal duplicates, the first asked is
  // walked and the other skipped.
  std::optional<MountSkip> Decide(std::string_view relative);

 private:
  struct Decision {
    std::optional<MountSkip> skip;     // decided before the walk: a type, or a shorter root
    std::vector<size_t> equalRootPeers;  // duplicates with an equal root: the first asked walks
    bool walked = false;
  };
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<std::string> relative_;  // each decided mount point, relative to the root
  std::vector<Decision> decisions_;
  std::unordered_map<std::string, size_t, Hash, std::equal_to<>> byPath_;
};
