#include "upload/connect_tunnel.h"

#include <algorithm>
#include <cstring>

#include "upload/base64.h"
#include "upload/http_response_parser.h"

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

std::string Authority(const HttpTarget& target) {
  return target.host + ":" + std::to_string(target.port);
}

}  // namespace

std::string ProxyAuthorizationLine(const ProxyUrl& proxy) {
  if (!proxy.credentials) return {};
  return "Proxy-Authorization: Basic " + Base64Encode(proxy.user + ":" + proxy.password) + "\r\n";
}

std::string AbsoluteOrigin(const HttpTarget& target) {
  return "http://" + target.host + (target.port == 80 ? "" : ":" + std::to_string(target.port));
}

std::string ConnectRequest(const HttpTarget& target, const ProxyUrl& proxy) {
  const std::string authority = Authority(target);
  return "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
         ProxyAuthorizationLine(proxy) + "\r\n";
}

ConnectAnswerParser::State ConnectAnswerParser::Feed(std::string_view bytes) {
  if (state_ != State::kNeedMore) return state_;
  const size_t room = kMaxConnectAnswerBytes - taken_;
  const std::string_view kept = bytes.substr(0, room);
  const size_t searchFrom = text_.size() < kHeadEnd.size() ? 0 : text_.size() - (kHeadEnd.size() - 1);
  text_.append(kept);
  taken_ += kept.size();
  for (size_t from = searchFrom;;) {
    const size_t end = text_.find(kHeadEnd, from);
    if (end == std::string::npos) break;
    const int code = StatusCode(std::string_view(text_).substr(0, text_.find("\r\n")));
    if (code == 0) {
      state_ = State::kMalformed;
      return state_;
    }
    if (code >= 200) {
      status_ = code;
      // What the bound cut off belongs to the tunnel too.
      early_ = text_.substr(end + kHeadEnd.size());
      early_.append(bytes.substr(kept.size()));
      text_.resize(end);
      state_ = State::kComplete;
      return state_;
    }
    // An interim answer; the final one follows.
    text_.erase(0, end + kHeadEnd.size());
    from = 0;
  }
  if (taken_ == kMaxConnectAnswerBytes) state_ = State::kMalformed;
  return state_;
}

std::string ConnectAnswerParser::statusLine() const { return text_.substr(0, text_.find("\r\n")); }

ConnectAnswer ExchangeConnect(Transport& proxy, const std::string& request) {
  ConnectAnswer answer;
  if (!proxy.Write(request.data(), request.size())) {
    answer.timedOut = proxy.TimedOut();
    return answer;
  }
  ConnectAnswerParser parser;
  char buffer[4096];
  while (parser.state() == ConnectAnswerParser::State::kNeedMore) {
    const int n = proxy.ReadSome(buffer, sizeof buffer);
    if (n <= 0) {
      answer.timedOut = n < 0 && proxy.TimedOut();
      break;
    }
    parser.Feed({buffer, static_cast<size_t>(n)});
  }
  answer.statusLine = parser.statusLine();
  if (parser.state() == ConnectAnswerParser::State::kComplete) {
    answer.status = parser.status();
    answer.early = parser.early();
  }
  return answer;
}

std::string ConnectRefusal(const ConnectAnswer& answer) {
  if (answer.status >= 200 && answer.status <= 299) return {};
  if (answer.status == 407) return kProxyAuthenticationRequired;
  return "proxy refused: " + (answer.statusLine.empty() ? std::string("no answer") : answer.statusLine);
}

int TunnelTransport::ReadSome(void* buffer, int size) {
  if (given_ < early_.size()) {
    const size_t n = std::min(early_.size() - given_, static_cast<size_t>(size));
    std::memcpy(buffer, early_.data() + given_, n);
    given_ += n;
    return static_cast<int>(n);
  }
  return proxy_.ReadSome(buffer, size);
}
