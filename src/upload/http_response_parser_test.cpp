#include "upload/http_response_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using State = HttpResponseParser::State;

TEST(HttpResponseParser, FramesTheBodyHoweverTheBytesArrive) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
  // The bytes, whether the peer closes after them, and what they give.
  using Case = std::tuple<std::string, bool, State, int, std::string>;
  for (const auto& [bytes, closed, state, status, body] : std::vector<Case>{
           {ok + "content-length: 3\r\n\r\nabcEXTRA", false, State::kComplete, 200, "abc"},
           {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length:1\r\n\r\nx", false,
            State::kComplete, 201, "x"},
           {ok + "Transfer-Encoding: gzip, CHUNKED\r\n\r\n4;a=b\r\nWiki\r\n0A \r\npedia in c\r\n"
                 "0\r\nT: v\r\n\r\nEXTRA",
            false, State::kComplete, 200, "Wikipedia in c"},
           {chunked + "4\r\nWi", false, State::kNeedMore, 200, "Wi"},
           {chunked + "4\r\nWi", true, State::kMalformed, 200, "Wi"},
           {chunked + "1\r\nabcEXTRA", false, State::kMalformed, 200, "a"},
           {chunked + "FFFFFFFFFFFFFFFFFFFF\r\n", false, State::kMalformed, 200, ""},
           {chunked + "\r\n", false, State::kMalformed, 200, ""},
           {ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nEXTRA", false, State::kMalformed,
            0, ""},
           // A body over the bound is not read at all.
           {ok + "Content-Length: 95000\r\n\r\nEXTRA", false, State::kMalformed, 200, ""},
           {ok + "Content-Length: 94999\r\n\r\n" + std::string(94999, 'b'), false,
            State::kComplete, 200, std::string(94999, 'b')},
           {ok + "Content-Length: 1x\r\n\r\nab", false, State::kMalformed, 0, ""},
           {"HTTP/1.1 2000 OK\r\n\r\n", false, State::kMalformed, 0, ""},
           {"ICY 200 OK\r\n\r\n", false, State::kMalformed, 0, ""},
           {"HTTP/1.0 200 OK\r\n\r\nabc", false, State::kNeedMore, 200, "abc"},
           {ok + "Transfer-Encoding: gzip\r\nContent-Length: 1\r\n\r\nab", true, State::kComplete,
            200, "ab"},
           {"HTTP/1.1 204 No Content\r\n\r\nab", false, State::kComplete, 204, ""}}) {
    for (const size_t piece : {bytes.size(), size_t{1}}) {
      HttpResponseParser parser;
      for (size_t at = 0; at < bytes.size(); at += piece) parser.Feed(bytes.substr(at, piece));
      if (closed) parser.EndOfStream();
      EXPECT_EQ(parser.state(), state) << bytes;
      EXPECT_EQ(parser.status(), status) << bytes;
      EXPECT_EQ(parser.body(), body) << bytes;
      // Bytes past the end or the fault are not kept, however they arrived.
      EXPECT_EQ(parser.text().find("EXTRA"), std::string::npos) << bytes;
    }
  }
}

}  // namespace
