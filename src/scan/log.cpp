#include "scan/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "scan/fd_io.h"
#include "scan/unique_fd.h"

namespace GLOBAL {
int m_bLogging = 0;
bool m_b64Bit = false;

void LogMsg(std::string_view text) {
  if (m_bLogging == -1) return;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  if (!szLogFile.empty()) AppendLogLine(szLogFile, text);
}
}  // namespace GLOBAL

std::string szLogFile;

bool AppendLogLine(const std::string& path, std::string_view text) {
  UniqueFd fd(::open(path.c_str(),
                     O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                     0644));
  if (!fd) return false;
  // One write per line keeps concurrent appends from interleaving mid-line.
  std::string line(text);
  line.push_back('\n');
  return WriteAll(fd.Get(), line.data(), line.size());
}
