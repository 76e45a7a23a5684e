#include "files/mount_table.h"

#include <algorithm>
#include <charconv>

#include "base/text.h"

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// The next space-separated field of `rest`, taken off it.
std::string_view NextField(std::string_view& rest) {
  rest = TrimmedStart(rest, " ");
  const size_t end = rest.find(' ');
  const std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  return field;
}

bool ParseNumber(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Whether `path` is `dir` or lies below it; both absolute.
bool IsAtOrUnder(std::string_view path, std::string_view dir) {
  if (dir == "/") return path.starts_with('/');
  return path.starts_with(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}

bool IsStrictlyUnder(std::string_view path, std::string_view dir) {
  return path.size() != dir.size() && IsAtOrUnder(path, dir);
}

// Where the directory `root` of a file system shows, through a mount of it
// at `mountPoint` whose own root is `mountRoot` (which holds `root`).
std::string PlaceThrough(const MountEntry& mount, std::string_view root) {
  const std::string_view below = mount.root == "/" ? root : root.substr(mount.root.size());
  if (below.empty() || below == "/") return mount.mountPoint;
  return mount.mountPoint == "/" ? std::string(below) : mount.mountPoint + std::string(below);
}

// `path` past `root`: "" for the root itself, else from its "/" on.
std::string RelativeTo(std::string_view path, std::string_view root) {
  return std::string(root == "/" ? path : path.substr(root.size()));
}

}  // namespace

std::string UnescapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  ForEachLine(text, [&](std::string_view line) {
    // id parent major:minor root mount-point options [optional...] - type source super-options
    MountEntry entry;
    std::string_view rest = line;
    if (!ParseNumber(NextField(rest), entry.id) || !ParseNumber(NextField(rest), entry.parentId))
      return;
    entry.device = std::string(NextField(rest));
    const std::string_view root = NextField(rest), mountPoint = NextField(rest);
    NextField(rest);  // mount options
    for (;;) {
      const std::string_view field = NextField(rest);
      if (field.empty()) return;  // no separator: not a mount line
      if (field == "-") break;
    }
    const std::string_view type = NextField(rest);
    if (entry.device.empty() || !root.starts_with('/') || !mountPoint.starts_with('/') ||
        type.empty())
      return;
    entry.root = UnescapeMountField(root);
    entry.mountPoint = UnescapeMountField(mountPoint);
    entry.type = UnescapeMountField(type);
    mounts.push_back(std::move(entry));
  });
  return mounts;
}

FileSystemFilter::FileSystemFilter(std::vector<std::string> patterns) {
  for (std::string& pattern : patterns) {
    pattern = AsciiLowered(Trimmed(pattern));
    if (!pattern.empty()) patterns_.push_back(std::move(pattern));
  }
}

bool FileSystemFilter::IsKernel(std::string_view type) {
  // What they show are kernel objects, never installed files, and some (a
  // proc's kcore) are vast.
  for (std::string_view kernel : {"proc", "sysfs", "debugfs", "tracefs", "securityfs", "cgroup",
                                  "cgroup2", "bpf", "configfs"})
    if (type == kernel) return true;
  return false;
}

bool FileSystemFilter::Skips(std::string_view type) const {
  if (IsKernel(type)) return true;
  for (const std::string& pattern : patterns_) {
    if (pattern.ends_with('*')) {
      if (StartsWithIgnoringAsciiCase(type, std::string_view(pattern).substr(0, pattern.size() - 1)))
        return true;
    } else if (EqualsIgnoringAsciiCase(type, pattern)) {
      return true;
    }
  }
  return false;
}

MountDecisions::MountDecisions(const std::vector<MountEntry>& mounts, std::string_view canonicalRoot,
                               const FileSystemFilter& filter,
                               const std::function<bool(std::string_view)>& isIgnored) {
  const std::string_view root = canonicalRoot;
  // At one mount point the mount on top is seen: the one no other mount
  // there was mounted onto.
  std::vector<const MountEntry*> visible;
  for (const MountEntry& mount : mounts) {
    bool covered = false;
    for (const MountEntry& other : mounts)
      covered |= &other != &mount && other.parentId == mount.id && other.mountPoint == mount.mountPoint;
    if (!covered) visible.push_back(&mount);
  }
  // The root's own mount: the deepest one holding the root. It is walked,
  // whatever its type.
  const MountEntry* rootMount = nullptr;
  for (const MountEntry* mount : visible)
    if (IsAtOrUnder(root, mount->mountPoint) &&
        (!rootMount || mount->mountPoint.size() >= rootMount->mountPoint.size()))
      rootMount = mount;
  std::vector<const MountEntry*> below;
  for (const MountEntry* mount : visible)
    if (IsStrictlyUnder(mount->mountPoint, root)) below.push_back(mount);

  // Shorter roots are decided first: a mount stands in for another only
  // once it is known to be walked itself.
  std::stable_sort(below.begin(), below.end(), [](const MountEntry* a, const MountEntry* b) {
    return a->root.size() < b->root.size();
  });
  std::unordered_map<const MountEntry*, std::optional<MountSkip>> skips;

  const auto typeSkipped = [&](const MountEntry* mount) { return filter.Skips(mount->type); };
  // A mount can stand in for another only where the walk shows it: not of
  // a skipped type, not below one, not ignored, no duplicate itself.
  const auto walkable = [&](const MountEntry* mount) {
    if (mount == rootMount) return true;
    if (const auto decided = skips.find(mount); decided != skips.end() && decided->second)
      return false;
    if (typeSkipped(mount) ||
        (isIgnored && isIgnored(RelativeTo(mount->mountPoint, root))))
      return false;
    for (const MountEntry* other : below)
      if (typeSkipped(other) && IsStrictlyUnder(mount->mountPoint, other->mountPoint)) return false;
    return true;
  };
  // Whether the files of `shown` show through `original` at a place the
  // walk reaches: below the root, and no other mount covering that place.
  const auto showsThrough = [&](const MountEntry* original, const MountEntry* shown) {
    if (original->device != shown->device || !IsAtOrUnder(shown->root, original->root))
      return false;
    const std::string place = PlaceThrough(*original, shown->root);
    if (!IsAtOrUnder(place, root)) return false;
    for (const MountEntry* other : visible)
      if (other != original && IsStrictlyUnder(other->mountPoint, original->mountPoint) &&
          IsAtOrUnder(place, other->mountPoint))
        return false;
    return !isIgnored || !isIgnored(RelativeTo(place, root));
  };

  for (const MountEntry* mount : below) {
    std::optional<MountSkip>& skip = skips[mount];
    if (typeSkipped(mount)) {
      skip = MountSkip{mount->type, {}};
    } else {
      // The original with the shortest root wins, the root's own mount
      // before any other with a root as short.
      const MountEntry* original = nullptr;
      const auto consider = [&](const MountEntry* candidate) {
        if (candidate == mount || !walkable(candidate) || !showsThrough(candidate, mount)) return;
        const size_t size = candidate->root.size();
        if (size > mount->root.size() || (size == mount->root.size() && candidate != rootMount))
          return;  // equal roots among the mounts below: decided as the walk meets them
        if (!original || size < original->root.size()) original = candidate;
      };
      if (rootMount) consider(rootMount);
      for (const MountEntry* candidate : below) consider(candidate);
      if (original)
        skip = MountSkip{{}, original == rootMount ? "" : RelativeTo(original->mountPoint, root)};
    }
  }
  for (const MountEntry* mount : below) {
    const size_t index = decisions_.size();
    std::string relative = RelativeTo(mount->mountPoint, root);
    if (!byPath_.emplace(relative, index).second) continue;
    relative_.push_back(std::move(relative));
    decisions_.push_back(Decision{skips[mount], {}, false});
  }
  // Equal roots: whichever the walk meets first is walked.
  for (size_t i = 0; i < below.size(); ++i) {
    for (size_t j = 0; j < below.size(); ++j) {
      if (i == j || below[i]->root != below[j]->root) continue;
      const auto a = byPath_.find(RelativeTo(below[i]->mountPoint, root));
      const auto b = byPath_.find(RelativeTo(below[j]->mountPoint, root));
      if (a == byPath_.end() || b == byPath_.end() || decisions_[a->second].skip ||
          decisions_[b->second].skip)
        continue;
      if (walkable(below[j]) && showsThrough(below[j], below[i]))
        decisions_[a->second].equalRootPeers.push_back(b->second);
    }
  }
}

std::optional<MountSkip> MountDecisions::Decide(std::string_view relative) {
  const auto found = byPath_.find(relative);
  if (found == byPath_.end()) return std::nullopt;
  Decision& decision = decisions_[found->second];
  if (decision.skip) return decision.skip;
  for (size_t peer : decision.equalRootPeers)
    if (decisions_[peer].walked) return MountSkip{{}, relative_[peer]};
  decision.walked = true;
  return std::nullopt;
}
