#include "upload/http_response_parser.h"

#include <algorithm>

#include "base/hex.h"
#include "base/text.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadEnd = "\r\n\r\n";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Spaces and tabs around a header value.
std::string_view TrimBlanks(std::string_view text) { return Trimmed(text, " \t"); }

// The line of `text` that starts at `at`, and where the next one starts.
std::string_view LineAt(std::string_view text, size_t& at) {
  const size_t end = std::min(text.find(kLineEnd, at), text.size());
  const std::string_view line = text.substr(at, end - at);
  at = end + kLineEnd.size();
  return line;
}

}  // namespace

int StatusCode(std::string_view line) {
  if (line.size() < 12 || !line.starts_with("HTTP/") || !IsDigit(line[5]) || line[6] != '.' ||
      !IsDigit(line[7]) || line[8] != ' ' || !IsDigit(line[9]) || !IsDigit(line[10]) ||
      !IsDigit(line[11]) || (line.size() > 12 && line[12] != ' '))
    return 0;
  const int code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  return code >= 100 ? code : 0;
}

namespace {

// A Content-Length value: its digits, capped just above the longest body
// read; -1 when it is not a number.
long long LengthValue(std::string_view value) {
  if (value.empty()) return -1;
  long long length = 0;
  for (const char c : value) {
    if (!IsDigit(c)) return -1;
    length = std::min<long long>(length * 10 + (c - '0'), kMaxResponseBody + 1LL);
  }
  return length;
}

}  // namespace

HttpResponseParser::State HttpResponseParser::Feed(std::string_view bytes) {
  if (state_ != State::kNeedMore) return state_;
  text_.append(bytes.substr(0, kMaxResponseBytes - text_.size()));
  Advance();
  // Over the bound: all that was taken stays, for the log.
  if (state_ == State::kNeedMore && text_.size() == kMaxResponseBytes) state_ = State::kMalformed;
  return state_;
}

HttpResponseParser::State HttpResponseParser::EndOfStream() {
  if (state_ == State::kNeedMore)
    state_ = part_ == Part::kBodyToClose ? State::kComplete : State::kMalformed;
  return state_;
}

void HttpResponseParser::End(State state) {
  state_ = state;
  // The bytes after the end, or after the fault, belong to nothing; cutting
  // them keeps the text the same however the bytes were split.
  text_.resize(parsed_);
}

void HttpResponseParser::Advance() {
  std::string_view line;
  while (state_ == State::kNeedMore) {
    switch (part_) {
      case Part::kHead: {
        const size_t end = Find(kHeadEnd);
        if (end == std::string::npos) return;
        const std::string_view head(text_.data() + parsed_, end - parsed_);
        MovePast(end + kHeadEnd.size());
        ReadHead(head);
        break;
      }
      case Part::kBody:
        TakeBody();
        if (bodyLeft_ > 0) return;
        End(State::kComplete);
        break;
      case Part::kBodyToClose:
        bodyLeft_ = text_.size() - parsed_;
        TakeBody();
        return;
      case Part::kChunkSize:
        if (!TakeLine(line)) return;
        ReadChunkSize(line);
        break;
      case Part::kChunkData:
        TakeBody();
        if (bodyLeft_ > 0) return;
        part_ = Part::kChunkEnd;
        break;
      case Part::kChunkEnd:
        if (text_.size() - parsed_ < kLineEnd.size()) return;
        MovePast(parsed_ + kLineEnd.size());
        if (text_.compare(parsed_ - kLineEnd.size(), kLineEnd.size(), kLineEnd) != 0)
          return End(State::kMalformed);
        part_ = Part::kChunkSize;
        break;
      case Part::kTrailer:  // trailer fields are not needed
        if (!TakeLine(line)) return;
        if (line.empty()) End(State::kComplete);
        break;
    }
  }
}

size_t HttpResponseParser::Find(std::string_view terminator) {
  const size_t from = std::max(parsed_, searched_);
  const size_t at = text_.find(terminator, from);
  // A terminator split between two feeds begins in the last few bytes.
  if (at == std::string::npos)
    searched_ = std::max(from, text_.size() - std::min(text_.size(), terminator.size() - 1));
  return at;
}

void HttpResponseParser::MovePast(size_t at) {
  parsed_ = at;
  searched_ = at;
}

bool HttpResponseParser::TakeLine(std::string_view& line) {
  const size_t end = Find(kLineEnd);
  if (end == std::string::npos) return false;
  line = std::string_view(text_).substr(parsed_, end - parsed_);
  MovePast(end + kLineEnd.size());
  return true;
}

void HttpResponseParser::TakeBody() {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(bodyLeft_, text_.size() - parsed_));
  body_.append(text_, parsed_, n);
  MovePast(parsed_ + n);
  bodyLeft_ -= n;
}

void HttpResponseParser::ReadHead(std::string_view head) {
  size_t at = 0;
  const int code = StatusCode(LineAt(head, at));
  if (code == 0 || code == 101) return End(State::kMalformed);
  if (code < 200) return;  // an interim answer; the final one follows
  bool chunked = false, otherCoding = false;
  long long length = -1;
  while (at < head.size()) {
    const std::string_view field = LineAt(head, at);
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = field.substr(0, colon);
    const std::string_view value = TrimBlanks(field.substr(colon + 1));
    if (EqualsIgnoringAsciiCase(name, "Content-Length")) {
      const long long announced = LengthValue(value);
      if (announced < 0 || (length >= 0 && announced != length)) return End(State::kMalformed);
      length = announced;
    } else if (EqualsIgnoringAsciiCase(name, "Transfer-Encoding")) {
      // Only a last coding of "chunked" frames the body; any other runs to the close.
      const size_t comma = value.rfind(',');
      chunked = EqualsIgnoringAsciiCase(
          TrimBlanks(comma == std::string_view::npos ? value : value.substr(comma + 1)), "chunked");
      otherCoding = !chunked;
    }
  }
  status_ = code;
  if (code == 204 || code == 304) {
    End(State::kComplete);
  } else if (chunked) {
    part_ = Part::kChunkSize;
  } else if (otherCoding || length < 0) {
    part_ = Part::kBodyToClose;
  } else if (length > kMaxResponseBody) {
    End(State::kMalformed);  // not read at all
  } else {
    bodyLeft_ = static_cast<uint64_t>(length);
    part_ = Part::kBody;
  }
}

void HttpResponseParser::ReadChunkSize(std::string_view line) {
  size_t i = 0;
  uint64_t size = 0;
  for (; i < line.size() && HexDigitValue(line[i]) >= 0; ++i) {
    size = size * 16 + static_cast<unsigned>(HexDigitValue(line[i]));
    if (size > kMaxResponseBody) return End(State::kMalformed);
  }
  const std::string_view rest = TrimBlanks(line.substr(i));
  if (i == 0 || (!rest.empty() && rest.front() != ';')) return End(State::kMalformed);
  bodyLeft_ = size;
  part_ = size == 0 ? Part::kTrailer : Part::kChunkData;
}
