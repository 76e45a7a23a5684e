// The server's answer: bounded, the same however the bytes arrive, and a
// body never larger than what was received. The verdict needs a 2xx status.
// The same bytes as a proxy's answer to CONNECT: the same however they
// arrive, and every byte after the final head kept for the tunnel.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "upload/connect_tunnel.h"
#include "upload/http_response.h"
#include "upload/http_response_parser.h"

namespace {

// Feeds `bytes` in pieces of `piece` while the parser needs more; gives how
// many bytes it took.
template <typename Parser>
size_t FeedInPieces(Parser& parser, std::string_view bytes, size_t piece) {
  size_t at = 0;
  for (; at < bytes.size() && parser.state() == Parser::State::kNeedMore; at += piece)
    parser.Feed(bytes.substr(at, piece));
  return std::min(at, bytes.size());
}

HttpResponseParser Parse(std::string_view bytes, size_t piece) {
  HttpResponseParser parser;
  FeedInPieces(parser, bytes, piece);
  if (parser.state() == HttpResponseParser::State::kNeedMore) parser.EndOfStream();
  return parser;
}

void CheckConnectAnswer(std::string_view bytes, size_t piece) {
  ConnectAnswerParser w, p;
  const size_t wholeFed = FeedInPieces(w, bytes, bytes.size() + 1);
  const size_t splitFed = FeedInPieces(p, bytes, piece);
  const bool complete = w.state() == ConnectAnswerParser::State::kComplete;
  // What the tunnel would carry: the early bytes and those not fed.
  const std::string tunnel = complete ? w.early() + std::string(bytes.substr(wholeFed)) : "";
  if (w.state() != p.state() || w.status() != p.status() || w.statusLine() != p.statusLine() ||
      (complete && tunnel != p.early() + std::string(bytes.substr(splitFed))))
    std::abort();
  if (complete != (w.status() != 0) || (complete && w.status() < 200)) std::abort();
  if (w.statusLine().size() > kMaxConnectAnswerBytes) std::abort();
  if (!bytes.ends_with(tunnel)) std::abort();
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
  CheckConnectAnswer(bytes, piece);
  return 0;
}
