#include "base/text.h"

#include <algorithm>
#include <cstring>

bool LineSplitter::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  const size_t end = rest_.find('\n');
  if (end == std::string_view::npos) {
    if (last_ == LastLine::kDropped) return false;
    line = rest_;
    rest_ = {};
  } else {
    line = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
  }
  if (returns_ == CarriageReturns::kDropped)
    while (line.ends_with('\r')) line.remove_suffix(1);
  return true;
}

std::string_view TrimmedStart(std::string_view text, std::string_view chars) {
  const size_t first = text.find_first_not_of(chars);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimmedEnd(std::string_view text, std::string_view chars) {
  const size_t last = text.find_last_not_of(chars);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view Trimmed(std::string_view text, std::string_view chars) {
  return TrimmedEnd(TrimmedStart(text, chars), chars);
}

std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiLower(c);
  return lowered;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string_view TextUpToNul(const char* buffer, size_t capacity) {
  const void* nul = std::memchr(buffer, '\0', capacity);
  return std::string_view(buffer, nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer)
                                      : capacity);
}
