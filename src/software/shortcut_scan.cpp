#include "software/shortcut_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "base/fd_io.h"
#include "base/regular_file.h"
#include "base/tree_walk.h"
#include "base/unique_fd.h"
#include "software/desktop_entry.h"

namespace {

// A desktop entry is a few KiB; its keys are near the top of a bigger file.
constexpr size_t kMaxDesktopFile = 1024 * 1024;

// The content of the regular file `name` in the directory `dirFd`, read
// through a link, up to kMaxDesktopFile bytes. Anything else (a pipe, a
// device) is not read, so that the scan can neither block nor read without
// end.
std::optional<std::string> ReadDesktopFile(int dirFd, const char* name) {
  struct stat st {};
  const auto fd = OpenRegularAt(dirFd, name, OpenMode{.followLinks = true, .keepAccessTime = false}, &st);
  if (!fd || st.st_size <= 0) return std::nullopt;
  std::string content(std::min(static_cast<size_t>(st.st_size), kMaxDesktopFile), '\0');
  content.resize(ReadUpTo(fd->Get(), content.data(), content.size()));
  return content;
}

// Every entry whose path holds ".desktop" is read as a desktop entry.
class ShortcutVisitor : public TreeVisitor {
 public:
  explicit ShortcutVisitor(DocumentWriter& document) : document_(document) {}

  bool EnterDirectory(const std::string& /*path*/) override { return true; }

  bool VisitEntry(const WalkEntry& entry) override {
    // Links to directories are not followed; the walk opens what it enters
    // refusing them anyway.
    if (entry.type == DT_DIR) return true;
    if (entry.type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(entry.dirFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
      if (S_ISDIR(st.st_mode)) return true;
    }
    if (entry.path.find(".desktop") == std::string::npos) return false;
    const std::optional<std::string> content = ReadDesktopFile(entry.dirFd, entry.name.data());
    if (!content) return false;
    if (const std::optional<Shortcut> shortcut = ParseDesktopEntry(*content))
      WriteShortcut(document_, *shortcut);
    return false;
  }

 private:
  DocumentWriter& document_;
};

}  // namespace

void ScanShortcutsDir(const std::string& path, DocumentWriter& document) {
  ShortcutVisitor visitor(document);
  WalkTree(path, visitor);
}

void ScanShortcuts(const std::string& startDir, DocumentWriter& document, Log& log) {
  log.Progress("Scan Shortcuts\n");
  log.Display("\n");
  document.Markup("\t<Shortcuts>\r\n");
  ScanShortcutsDir(startDir, document);
  document.Markup("\t</Shortcuts>\r\n");
}
