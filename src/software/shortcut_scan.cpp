#include "software/shortcut_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <optional>

#include "files/dir_search.h"
#include "scan/globals.h"
#include "scan/fd_io.h"
#include "scan/unique_fd.h"
#include "software/desktop_entry.h"

namespace {

// The whole content of the regular file `name` in the directory `dirFd`,
// read through a link. Anything else (a pipe, a device) is not read, so
// that the scan can neither block nor read without end.
std::optional<std::string> ReadRegularFile(int dirFd, const char* name) {
  UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
    return std::nullopt;
  std::string content(static_cast<size_t>(st.st_size), '\0');
  content.resize(ReadUpTo(fd.Get(), content.data(), content.size()));
  return content;
}

void Walk(CDirSearch& search, const std::string& path, std::ostream& out) {
  do {
    const std::string name = search.GetFileName();
    if (name == "." || name == "..") continue;
    std::string full = path;
    if (full.empty() || full.back() != '/') full += '/';
    full += name;

    struct stat st;
    if (::fstatat(search.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      CDirSearch child;
      if (child.FindFirstAt(search.Fd(), name.c_str(), "*")) Walk(child, full, out);
      continue;
    }
    if (full.find(".desktop") == std::string::npos) continue;
    const std::optional<std::string> content = ReadRegularFile(search.Fd(), name.c_str());
    if (!content) continue;
    if (const std::optional<Shortcut> shortcut = ParseDesktopEntry(*content))
      WriteShortcut(out, *shortcut);
  } while (search.FindNext());
}

}  // namespace

void ScanShortcutsDir(const std::string& path, std::ostream& out) {
  CDirSearch search;
  if (search.FindFirst(path.c_str(), "*")) Walk(search, path, out);
}

void WriteShortcuts(const std::string& startDir, std::ostream& out, int logLevel,
                    std::ostream& progress) {
  if (logLevel != 0) GLOBAL::LogMsg("Scan Shortcuts\n");
  else progress << "\n" << std::flush;
  out << "\t<Shortcuts>\r\n";
  ScanShortcutsDir(startDir, out);
  out << "\t</Shortcuts>\r\n";
}

void ScanShortcuts() {
  WriteShortcuts("/usr/share/applications/", file, GLOBAL::m_bLogging, std::cout);
}
