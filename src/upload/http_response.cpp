#include "upload/http_response.h"

namespace {

constexpr std::string_view kOpenTag = "<UploadFileResult>";
constexpr std::string_view kCloseTag = "</UploadFileResult>";

}  // namespace

HttpResponseParser ReceiveHttpResponse(Transport& in) {
  HttpResponseParser response;
  char buffer[4096];
  while (response.state() == HttpResponseParser::State::kNeedMore) {
    const int n = in.ReadSome(buffer, sizeof buffer);
    if (n < 0) break;  // a reset or a time-out ends it as it stands
    if (n == 0)
      response.EndOfStream();
    else
      response.Feed({buffer, static_cast<size_t>(n)});
  }
  return response;
}

UploadVerdict JudgeHttpResponse(int status, std::string_view body) {
  const std::string_view text = body.substr(0, body.find('\0'));
  UploadVerdict verdict;
  const size_t open = text.find(kOpenTag);
  if (open == std::string_view::npos) return verdict;
  const size_t start = open + kOpenTag.size();
  const size_t close = text.find(kCloseTag, start);
  if (close == std::string_view::npos) return verdict;
  verdict.tagsFound = true;
  verdict.accepted = status >= 200 && status <= 299;
  verdict.resultText = text.substr(start, close + kCloseTag.size() - start);
  verdict.ok = verdict.accepted && verdict.resultText.starts_with("OK");
  return verdict;
}
