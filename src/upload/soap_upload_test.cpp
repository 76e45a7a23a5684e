#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include "loopback_server.h"
#include "temp_dir.h"
#include "upload/base64.h"
#include "upload/deadline.h"
#include "upload/http_response.h"
#include "upload/soap_upload.h"

namespace {

std::string ExpectedRequest(const std::string& header, const std::string& content) {
  std::string body = R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?><SOAP-ENV:Envelope )"
      R"(SOAP-ENV:encodingStyle="" xmlns:SOAPSDK1="http://www.w3.org/2001/XMLSchema" )"
      R"(xmlns:SOAPSDK2="http://www.w3.org/2001/XMLSchema-instance" xmlns:SOAPSDK3="http://)"
      R"(schemas.xmlsoap.org/soap/encoding/" xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/)"
      R"(envelope/">)" + header + R"(<SOAP-ENV:Body SOAP-ENV:encodingStyle=""><SOAPSDK4:UploadFile )"
      R"(xmlns:SOAPSDK4="http://tempuri.org/" SOAP-ENV:encodingStyle=""><SOAPSDK4:f )"
      R"(SOAP-ENV:encodingStyle="">)";
  body += Base64Encode(content);
  body += "</SOAPSDK4:f>\r\n" R"(<SOAPSDK4:fileName SOAP-ENV:encodingStyle="">host_00AABBCCDDEE.)"
          R"(scn</SOAPSDK4:fileName></SOAPSDK4:UploadFile></SOAP-ENV:Body></SOAP-ENV:Envelope>)";
  return "POST /inv/Service.asmx HTTP/1.1\r\nHost: localhost\r\nContent-Type: text/xml; "
         "charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nSOAPAction: \"http://tempuri.org/UploadFile\"\r\n\r\n" + body;
}

class SoapUpload : public ::testing::Test {
 protected:
  // Uploads to localhost:`port`; what is printed and what is logged are kept.
  bool Upload(int port, const std::string& user = "admin", const std::string& password = "pw") {
    settings_.address = "http://localhost:" + std::to_string(port) + "/inv";
    settings_.username = user;
    settings_.password = password;
    std::ostringstream out, errors;
    std::filesystem::remove(dir_ / "log");
    Log log(level_, out, errors);
    log.SetFile(dir_ / "log");
    const bool ok = UploadScanFile(file_, settings_, log);
    logged_ = scanunix_test::ReadFile(dir_ / "log");
    printed_ = out.str();
    return ok;
  }

  scanunix_test::TempDir dir_;
  std::filesystem::path file_ = dir_.Write("host_00AABBCCDDEE.scn", "abc");
  UploadSettings settings_;
  int level_ = Log::kDisplay;
  std::string logged_, printed_;
};

TEST_F(SoapUpload, RequestIsByteForByteTheSoapCall) {
  std::string large;  // several chunks, and not a multiple of the chunk size
  for (unsigned i = 0; i < 300001; ++i) large.push_back(static_cast<char>((i * 7919u) >> 3));
  const std::string auth = "<SOAP-ENV:Header><AuthHeader xmlns=\"http://tempuri.org/\"><Username>";
  const std::string authEnd = "</Password></AuthHeader></SOAP-ENV:Header>";
  using Case = std::tuple<std::string, std::string, std::string, std::string>;
  for (const auto& [user, password, content, header] : std::vector<Case>{
           {"admin", "secret", "abc", auth + "admin</Username><Password>secret" + authEnd},
           {"a\"d>", "p&w<d>", "abc",
            auth + "a&quot;d&gt;</Username><Password>p&amp;w&lt;d&gt;" + authEnd},
           {"", "ignored", "abc", ""},  // no user: no header
           {"u", "", "", auth + "u</Username><Password>" + authEnd},
           {"", "", large, ""}}) {
    scanunix_test::WriteFile(file_, content);
    LoopbackServer server(AnswerWith(SoapAnswer("OK")));
    EXPECT_TRUE(Upload(server.Port(), user, password));
    EXPECT_EQ(server.Received(), ExpectedRequest(header, content)) << user;
    EXPECT_EQ(printed_, "HTTP Connect OK\nHTTP Write OK\nHTTP Uploaded OK\n");
    EXPECT_EQ(logged_, "");
  }
}

TEST_F(SoapUpload, LoggingOnSendsProgressToTheLog) {
  level_ = Log::kMessages;
  LoopbackServer server(AnswerWith(SoapAnswer("OK, stored as 42")));
  EXPECT_TRUE(Upload(server.Port()));
  EXPECT_EQ(logged_, "UploadFileHttp\n\nHTTP Connect OK\n\nHTTP Write OK\n\n"
                     "OK, stored as 42</UploadFileResult>\n");
  EXPECT_EQ(printed_, logged_);
}

TEST_F(SoapUpload, ResponsesAreJudged) {
  settings_.timeoutSeconds = 1;  // a client that waits for the close logs "HTTP timeout"
  const std::string error = "HTTP/1.1 500 Oops\r\nContent-Length: 5\r\n\r\nerror";
  const std::string result = "<UploadFileResult>OK</UploadFileResult>";
  const std::string tooLong = "HTTP/1.1 200 OK\r\nContent-Length: 95000\r\n\r\n";
  const std::string fits = "HTTP/1.1 200 OK\r\nContent-Length: 94999\r\n\r\n";
  const std::string cut = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + result;
  const std::string inHeader =
      "HTTP/1.1 200 OK\r\nX-R: " + result + "\r\nContent-Length: 0\r\n\r\n";
  const std::string badChunk = "HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\n\r\nzz\r\n";
  const std::string bad = "bad response from HTTP\n\n";
  using enum AfterAnswer;
  using Case = std::tuple<std::string, AfterAnswer, bool, std::string>;  // answer, then, ok, logged
  for (const auto& [answer, after, ok, logged] : std::vector<Case>{
           {SoapAnswer("Ok"), kClose, false, ""},  // a refusal is not reported
           {error, kClose, false, bad + LogText(error) + "\n"},
           {"HTTP/1.0 200 OK\r\n\r\n<x>" + result + "</x>", kClose, true, ""},  // read to the close
           // A body announced at 95000 bytes is not read: only the header is judged.
           {tooLong + result + std::string(94961, ' '), kClose, false, bad + LogText(tooLong) + "\n"},
           {fits + result + std::string(94960, ' '), kClose, true, ""},
           {"HTTP/1.1 200 OK\r\ncontent-length: 39\r\n\r\n" + result, kKeepOpen, true, ""},
           {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5;x=y\r\n<Uplo\r\n"
            "22\r\nadFileResult>OK</UploadFileResult>\r\n0\r\nX-T: 1\r\n\r\n", kKeepOpen, true, ""},
           {badChunk + result, kKeepOpen, false, bad + LogText(badChunk) + "\n"},  // logged to the fault
           {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 39\r\n\r\n" + result, kClose,
            false, "HTTP status 500\n"},
           {inHeader, kClose, false, bad + LogText(inHeader) + "\n"},  // the result counts in the body only
           {cut, kReset, true, ""},  // what arrived before a reset or a time-out is judged
           {cut, kKeepOpen, true, "HTTP timeout\n"},
           {"HTTP/1.1 500 Oops\r\nContent-Length: 1000\r\n\r\n" + result, kKeepOpen, false,
            "HTTP timeout\nHTTP status 500\n"}}) {
    LoopbackServer server(AnswerWith(answer, after));
    EXPECT_EQ(Upload(server.Port()), ok) << answer.substr(0, 60);
    EXPECT_EQ(logged_, logged) << answer.substr(0, 60);
  }
  // Text after a zero byte is not part of the answer; the tags must come in order.
  EXPECT_FALSE(JudgeHttpResponse(200, std::string("x\0", 2) + result).tagsFound);
  EXPECT_FALSE(JudgeHttpResponse(200, "</UploadFileResult><UploadFileResult>OK").tagsFound);
}

TEST_F(SoapUpload, TricklingServerIsCutOffAtTheDeadline) {
  settings_.timeoutSeconds = 1;  // so the whole upload may take 3 s
  LoopbackServer server([](TcpConnection& c) {
    ReadHttpRequest(c);
    const std::string answer =
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, ' ');
    for (const char byte : answer) {  // 21 s at this pace, each byte well within Timeout
      if (!c.Write(&byte, 1)) break;  // the client is gone
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    return "";
  });
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_TRUE(logged_.starts_with("HTTP timeout\nbad response from HTTP\n\nHTTP/1.1 200"))
      << logged_;
}

TEST(UploadTimeLimit, TwiceTheTimeoutAndASecondPer16KiB) {
  EXPECT_EQ(UploadTimeLimit(300, 0).count(), 600);
  EXPECT_EQ(UploadTimeLimit(1, 16385).count(), 4);
  EXPECT_EQ(UploadTimeLimit(0, 16384).count(), 3601);  // no step bound, still an overall one
  EXPECT_FALSE(Deadline::In(UploadTimeLimit(INT_MAX, UINT64_MAX)).Passed());
}

TEST_F(SoapUpload, HeaderThatNeverEndsIsCutAtTheBound) {
  settings_.timeoutSeconds = 30;
  LoopbackServer server([](TcpConnection& c) {
    const std::string endless = "HTTP/1.1 200 OK\r\n" + std::string(200000, 'X');
    c.Write(endless.data(), endless.size());
    return ReadUntilHangUp(c);  // only the bound can end the reading
  });
  EXPECT_FALSE(Upload(server.Port()));
  const std::string bad = "bad response from HTTP\n\n";
  EXPECT_EQ(logged_, bad + LogText(std::string("HTTP/1.1 200 OK\r\n") +
                                    std::string(kMaxResponseBytes - 17, 'X')) + "\n");
}

TEST_F(SoapUpload, SilentServerTimesOut) {
  settings_.timeoutSeconds = 1;
  LoopbackServer server(ReadUntilHangUp);
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(logged_, "HTTP timeout\nbad response from HTTP\n\n\n");
}

TEST_F(SoapUpload, ConnectionRefusedOrNoFile) {
  EXPECT_FALSE(Upload(UnusedPort()));
  EXPECT_EQ(logged_, "error connect HTTP\n\n");
  LoopbackServer server([](TcpConnection&) { return ""; });
  file_ = dir_ / "absent.scn";
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(logged_, "");  // a missing file fails quietly
}

TEST_F(SoapUpload, ServerClosingMidRequestIsAFailure) {
  scanunix_test::WriteFile(file_, std::string(4 << 20, 'z'));
  LoopbackServer server([](TcpConnection&) { return ""; });  // hangs up at once
  EXPECT_FALSE(Upload(server.Port()));
}

}  // namespace
