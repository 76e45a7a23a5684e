#include "software/shortcut_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "base/dir_search.h"
#include "base/fd_io.h"
#include "base/regular_file.h"
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

void Walk(DirSearch& search, const std::string& path, DocumentWriter& document) {
  do {
    const std::string name(search.name());
    if (name == "." || name == "..") continue;
    std::string full = path;
    if (full.empty() || full.back() != '/') full += '/';
    full += name;

    struct stat st;
    if (::fstatat(search.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      DirSearch child;
      if (child.FirstAt(search.Get(), name.c_str(), "*")) Walk(child, full, document);
      continue;
    }
    if (full.find(".desktop") == std::string::npos) continue;
    const std::optional<std::string> content = ReadDesktopFile(search.Get(), name.c_str());
    if (!content) continue;
    if (const std::optional<Shortcut> shortcut = ParseDesktopEntry(*content))
      WriteShortcut(document, *shortcut);
  } while (search.Next());
}

}  // namespace

void ScanShortcutsDir(const std::string& path, DocumentWriter& document) {
  DirSearch search;
  if (search.First(path.c_str(), "*")) Walk(search, path, document);
}

void ScanShortcuts(const std::string& startDir, DocumentWriter& document, Log& log) {
  log.Progress("Scan Shortcuts\n");
  log.Display("\n");
  document.Markup("\t<Shortcuts>\r\n");
  ScanShortcutsDir(startDir, document);
  document.Markup("\t</Shortcuts>\r\n");
}
