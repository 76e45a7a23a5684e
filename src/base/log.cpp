#include "base/log.h"

#include <fcntl.h>

#include <cstring>

#include "base/fd_io.h"
#include "base/unique_fd.h"

Log::Log(int level, std::ostream& out, std::ostream& errors)
    : level_(level), out_(out), errors_(errors) {}

void Log::SetFile(std::string path) { file_ = std::move(path); }

void Log::Message(std::string_view text) {
  if (level_ == kSilent) return;
  out_ << text << '\n' << std::flush;
  if (!file_.empty()) AppendLogLine(file_, text);
}

void Log::Progress(std::string_view text) {
  if (messages()) Message(text);
}

void Log::Print(std::string_view text) { out_ << text << std::flush; }

void Log::Display(std::string_view text) {
  if (display()) out_ << text;
}

void Log::Error(std::string_view text) {
  out_.flush();
  errors_ << text << std::endl;
  if (level_ != kSilent && !file_.empty()) AppendLogLine(file_, text);
}

void Log::SystemError(std::string_view what, int error) {
  out_.flush();
  errors_ << what << ": " << std::strerror(error) << std::endl;
}

bool AppendLogLine(const std::string& path, std::string_view text) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!fd) return false;
  // One write per line keeps concurrent appends from interleaving mid-line.
  std::string line(text);
  line.push_back('\n');
  return WriteAll(fd.Get(), line.data(), line.size());
}
