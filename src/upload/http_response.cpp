#include "upload/http_response.h"

#include <cctype>
#include <cstdint>

namespace {

const std::string kHeaderEnd = "\r\n\r\n";
const std::string kLengthField = "Content-Length: ";
const std::string kOpenTag = "<UploadFileResult>";
const std::string kCloseTag = "</UploadFileResult>";

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The announced body length read as "%u": -1 when no number follows, 0 when
// it is zero, negative, or does not fit a signed 32-bit integer.
long long AnnouncedLength(const std::string& header) {
  const size_t at = header.find(kLengthField);
  if (at == std::string::npos) return -1;
  size_t i = at + kLengthField.size();
  while (i < header.size() && std::isspace(static_cast<unsigned char>(header[i]))) ++i;
  bool negative = false;
  if (i < header.size() && (header[i] == '+' || header[i] == '-')) negative = header[i++] == '-';
  if (i >= header.size() || !std::isdigit(static_cast<unsigned char>(header[i]))) return -1;
  uint64_t value = 0;
  for (; i < header.size() && std::isdigit(static_cast<unsigned char>(header[i])); ++i) {
    value = value * 10 + static_cast<unsigned>(header[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  return negative ? 0 : static_cast<long long>(value);
}

}  // namespace

std::string ReceiveHttpResponse(Transport& in) {
  std::string text;
  // Byte by byte, so that reading stops right at the end of the header.
  while (!EndsWith(text, kHeaderEnd)) {
    if (text.size() >= kMaxResponseBytes) return text;
    char c;
    if (in.Read(&c, 1) != 1) return text;
    text.push_back(c);
  }
  const long long announced = AnnouncedLength(text);
  if (announced == 0 || announced > kMaxResponseBody) return text;
  const size_t room = kMaxResponseBytes - text.size();
  if (announced > 0) {
    const size_t want = std::min(static_cast<size_t>(announced), room);
    if (want == 0) return text;
    std::string body(want, '\0');
    body.resize(static_cast<size_t>(std::max(0, in.Read(body.data(), static_cast<int>(want)))));
    return text + body;
  }
  // No usable length: the body ends when the server closes the connection.
  while (text.size() < kMaxResponseBytes) {
    char c;
    if (in.Read(&c, 1) != 1) break;
    text.push_back(c);
  }
  return text;
}

UploadVerdict JudgeHttpResponse(const std::string& response) {
  const std::string text = response.substr(0, response.find('\0'));
  UploadVerdict verdict;
  const size_t open = text.find(kOpenTag);
  if (open == std::string::npos) return verdict;
  const size_t start = open + kOpenTag.size();
  const size_t close = text.find(kCloseTag, start);
  if (close == std::string::npos) return verdict;
  verdict.tagsFound = true;
  verdict.resultText = text.substr(start, close + kCloseTag.size() - start);
  verdict.ok = verdict.resultText.compare(0, 2, "OK") == 0;
  return verdict;
}
