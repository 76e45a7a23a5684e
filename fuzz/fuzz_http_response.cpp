// The server's answer: bounded, the same however the bytes arrive, and a
// body never larger than what was received. The verdict needs a 2xx status.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "upload/http_response.h"
#include "upload/http_response_parser.h"

namespace {

HttpResponseParser Parse(std::string_view bytes, size_t piece) {
  HttpResponseParser parser;
  for (size_t at = 0; at < bytes.size() && parser.state() == HttpResponseParser::State::kNeedMore;
       at += piece)
    parser.Feed(bytes.substr(at, piece));
  if (parser.state() == HttpResponseParser::State::kNeedMore) parser.EndOfStream();
  return parser;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 7;  // the first byte chooses how the rest is split
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const HttpResponseParser whole = Parse(bytes, bytes.size() + 1);
  const HttpResponseParser split = Parse(bytes, piece);
  if (whole.state() != split.state() || whole.status() != split.status() ||
      whole.body() != split.body() || whole.text() != split.text())
    std::abort();
  if (whole.text().size() > kMaxResponseBytes || whole.body().size() > whole.text().size())
    std::abort();
  if (bytes.substr(0, whole.text().size()) != whole.text()) std::abort();
  const UploadVerdict verdict = JudgeHttpResponse(whole.status(), whole.body());
  if (verdict.ok && (whole.status() < 200 || whole.status() > 299)) std::abort();
  return 0;
}
