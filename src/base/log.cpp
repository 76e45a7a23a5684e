#include "base/log.h"

#include <fcntl.h>

#include <cstdio>
#include <cstring>

#include "base/fd_io.h"
#include "base/hex.h"
#include "base/unique_fd.h"

Log::Log(int level, std::ostream& out, std::ostream& errors, bool terminal)
    : level_(level), out_(out), errors_(errors), terminal_(terminal) {}

void Log::SetFile(std::string path) { file_ = std::move(path); }

void Log::Message(std::string_view text) {
  if (level_ == kSilent) return;
  const std::string line = LogText(text);
  out_ << line << '\n' << std::flush;
  if (!file_.empty()) AppendLogLine(file_, line);
}

void Log::Progress(std::string_view text) {
  if (wantsMessages()) Message(text);
}

void Log::Print(std::string_view text) { out_ << LogText(text) << std::flush; }

void Log::Display(std::string_view text) {
  if (showsDisplay()) out_ << text;
}

void Log::Error(std::string_view text) {
  const std::string line = LogText(text);
  out_.flush();
  errors_ << line << std::endl;
  if (level_ != kSilent && !file_.empty()) AppendLogLine(file_, line);
}

void Log::SystemError(std::string_view what, int error) {
  Error(std::string(what) + ": " + std::strerror(error));
}

void Log::Failed(const Failure& failure) {
  if (failure.error != 0)
    SystemError(failure.what, failure.error);
  else
    Error(failure.Text());
}

std::string LogText(std::string_view text) {
  const size_t first = text.find_first_not_of('\n');
  if (first == std::string_view::npos) return std::string(text);
  const size_t last = text.find_last_not_of('\n') + 1;
  std::string out(text.substr(0, first));
  size_t cut = 0;
  for (size_t i = first; i < last; ++i) {
    if (out.size() >= kLogTextLimit) {
      cut = last - i;
      break;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      AppendHex(out, &c, 1);
    }
  }
  if (cut > 0) out += "... (" + std::to_string(cut) + " bytes more)";
  out.append(text.substr(last));
  return out;
}

bool AppendLogLine(const std::string& path, std::string_view text) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return false;
  // One write per line keeps concurrent appends from interleaving mid-line.
  std::string line(text);
  line.push_back('\n');
  return WriteAll(fd.Get(), line.data(), line.size());
}
