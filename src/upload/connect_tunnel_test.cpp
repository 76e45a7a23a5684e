#include "upload/connect_tunnel.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TEST(ConnectTunnel, RequestBytes) {
  const ProxyUrl open = *ParseProxyUrl("http://p:3128");
  const ProxyUrl withAuth = *ParseProxyUrl("http://user:pa%20ss@p:3128");
  EXPECT_EQ(ConnectRequest(ParseHttpAddress("https://inv.example/inv/"), open),
            "CONNECT inv.example:443 HTTP/1.1\r\nHost: inv.example:443\r\n\r\n");
  EXPECT_EQ(ConnectRequest(ParseHttpAddress("https://[2001:db8::1]:8443/"), withAuth),
            "CONNECT [2001:db8::1]:8443 HTTP/1.1\r\nHost: [2001:db8::1]:8443\r\n"
            "Proxy-Authorization: Basic dXNlcjpwYSBzcw==\r\n\r\n");
  EXPECT_EQ(AbsoluteOrigin(ParseHttpAddress("http://inv:81/x")), "http://inv:81");
  EXPECT_EQ(AbsoluteOrigin(ParseHttpAddress("http://[::1]/x")), "http://[::1]");
  EXPECT_EQ(ProxyAuthorizationLine(open), "");
}

TEST(ConnectTunnel, AnswerHeadIsBoundedAndKeepsWhatFollows) {
  using enum ConnectAnswerParser::State;
  const std::string big(kMaxConnectAnswerBytes, 'x');
  using Case = std::tuple<std::string, ConnectAnswerParser::State, int, std::string, std::string>;
  for (const auto& [bytes, state, status, early, refusal] : std::vector<Case>{
           {"HTTP/1.1 200 Connection established\r\n\r\n\x16\x03", kComplete, 200, "\x16\x03", ""},
           {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nA: b\r\n\r\n", kComplete, 200, "", ""},
           {"HTTP/1.1 407 Proxy Authentication Required\r\nX: y\r\n\r\nbody", kComplete, 407,
            "body", "proxy authentication required"},
           {"HTTP/1.1 403 Forbidden\r\n\r\n", kComplete, 403, "", "proxy refused: HTTP/1.1 403 Forbidden"},
           {"garbage\r\n\r\n", kMalformed, 0, "", "proxy refused: garbage"},
           {"HTTP/1.1 200 OK\r\n" + big, kMalformed, 0, "", "proxy refused: HTTP/1.1 200 OK"},
           {"HTTP/1.1 200 OK\r\n", kNeedMore, 0, "", "proxy refused: HTTP/1.1 200 OK"},
           {"", kNeedMore, 0, "", "proxy refused: no answer"}}) {
    SCOPED_TRACE(bytes.substr(0, 40));
    // However it arrives; what follows the head in the same piece is kept,
    // the rest is still unread.
    for (const size_t piece : {size_t{1}, size_t{3}, bytes.size() + 1}) {
      ConnectAnswerParser parser;
      for (size_t at = 0; at < bytes.size() && parser.state() == kNeedMore; at += piece)
        parser.Feed(std::string_view(bytes).substr(at, piece));
      EXPECT_EQ(parser.state(), state);
      EXPECT_EQ(parser.status(), status);
      if (piece > bytes.size()) {
        EXPECT_EQ(parser.early(), early);
      }
      const ConnectAnswer answer{parser.status(), parser.statusLine(), parser.early(), false};
      EXPECT_EQ(ConnectRefusal(answer), refusal);
    }
  }
}

}  // namespace
