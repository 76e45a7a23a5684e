#include <gtest/gtest.h>

#include <string>

#include "upload/base64.h"
#include "upload/http_response.h"
#include "upload/loopback_server.h"
#include "upload/upload_core.h"
#include "upload/upload_test_support.h"

namespace {

const std::string kEnvelopeStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>"
    "<SOAP-ENV:Envelope SOAP-ENV:encodingStyle=\"\" "
    "xmlns:SOAPSDK1=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:SOAPSDK2=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:SOAPSDK3=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">";
const std::string kBodyStart =
    "<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"\"><SOAPSDK4:UploadFile "
    "xmlns:SOAPSDK4=\"http://tempuri.org/\" SOAP-ENV:encodingStyle=\"\">"
    "<SOAPSDK4:f SOAP-ENV:encodingStyle=\"\">";

std::string ExpectedRequest(const std::string& path, const std::string& host,
                            const std::string& header, const std::string& base64,
                            const std::string& fileName) {
  const std::string body = kEnvelopeStart + header + kBodyStart + base64 +
                           "</SOAPSDK4:f>\r\n<SOAPSDK4:fileName SOAP-ENV:encodingStyle=\"\">" +
                           fileName +
                           "</SOAPSDK4:fileName></SOAPSDK4:UploadFile></SOAP-ENV:Body>"
                           "</SOAP-ENV:Envelope>";
  return "POST " + path + "Service.asmx HTTP/1.1\r\nHost: " + host +
         "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
         std::to_string(body.size()) +
         "\r\nSOAPAction: \"http://tempuri.org/UploadFile\"\r\n\r\n" + body;
}

class SoapUpload : public ::testing::Test {
 protected:
  SoapUpload() { WriteBytes(file_, "abc"); }

  bool Upload(const LoopbackServer& server, const std::string& user = "admin",
              const std::string& password = "p<w&") {
    return UploadScanFile(file_.string(), "localhost", "/inv/", server.Port(), user, password,
                          options_, report_);
  }

  TempFolder dir_;
  std::filesystem::path file_ = dir_ / "host_00AABBCCDDEE.scn";
  UploadOptions options_;
  RecordingReporter report_;
};

TEST_F(SoapUpload, RequestIsByteForByteTheSoapCall) {
  LoopbackServer server(AnswerWith(SoapAnswer("OK")));
  EXPECT_TRUE(Upload(server));
  server.Join();
  const std::string auth =
      "<SOAP-ENV:Header><AuthHeader xmlns=\"http://tempuri.org/\"><Username>admin</Username>"
      "<Password>p<w&</Password></AuthHeader></SOAP-ENV:Header>";
  EXPECT_EQ(server.Received(),
            ExpectedRequest("/inv/", "localhost", auth, "YWJj", "host_00AABBCCDDEE.scn"));
  EXPECT_EQ(report_.printed, "HTTP Connect OK\nHTTP Write OK\nHTTP Uploaded OK\n");
  EXPECT_TRUE(report_.logged.empty());
}

TEST_F(SoapUpload, WithoutUserTheHeaderIsLeftOut) {
  LoopbackServer server(AnswerWith(SoapAnswer("OK")));
  EXPECT_TRUE(Upload(server, "", "ignored"));
  server.Join();
  EXPECT_EQ(server.Received(), ExpectedRequest("/inv/", "localhost", "", "YWJj",
                                               "host_00AABBCCDDEE.scn"));
}

TEST_F(SoapUpload, EmptyPasswordSendsAnEmptyElementAndEmptyFileAnEmptyBody) {
  WriteBytes(file_, "");
  LoopbackServer server(AnswerWith(SoapAnswer("OK")));
  EXPECT_TRUE(Upload(server, "u", ""));
  server.Join();
  const std::string auth =
      "<SOAP-ENV:Header><AuthHeader xmlns=\"http://tempuri.org/\"><Username>u</Username>"
      "<Password></Password></AuthHeader></SOAP-ENV:Header>";
  EXPECT_EQ(server.Received(),
            ExpectedRequest("/inv/", "localhost", auth, "", "host_00AABBCCDDEE.scn"));
}

TEST_F(SoapUpload, LargeFileIsStreamedIntoOneExactRequest) {
  // Larger than several chunks and not a multiple of the chunk size.
  std::string content;
  for (unsigned i = 0; i < 300001; ++i) content.push_back(static_cast<char>((i * 7919u) >> 3));
  WriteBytes(file_, content);
  LoopbackServer server(AnswerWith(SoapAnswer("OK")));
  EXPECT_TRUE(Upload(server, ""));
  server.Join();
  CBase64 whole;
  whole.Encode(reinterpret_cast<const unsigned char*>(content.data()), content.size());
  const std::string base64(reinterpret_cast<const char*>(whole.EncodedMessage()),
                           whole.m_nEncodedLength);
  EXPECT_EQ(server.Received(),
            ExpectedRequest("/inv/", "localhost", "", base64, "host_00AABBCCDDEE.scn"));
}

TEST_F(SoapUpload, LoggingOnSendsProgressToTheLog) {
  options_.logging = 1;
  LoopbackServer server(AnswerWith(SoapAnswer("OK, stored as 42")));
  EXPECT_TRUE(Upload(server));
  EXPECT_EQ(report_.logged,
            (std::vector<std::string>{"UploadFileHttp\n", "HTTP Connect OK\n", "HTTP Write OK\n",
                                      "OK, stored as 42</UploadFileResult>"}));
  EXPECT_EQ(report_.printed, "");
}

TEST_F(SoapUpload, ResultMustBeginWithUpperCaseOK) {
  LoopbackServer server(AnswerWith(SoapAnswer("Ok")));
  EXPECT_FALSE(Upload(server));
  EXPECT_TRUE(report_.logged.empty());  // a refusal is not reported
  LoopbackServer failed(AnswerWith(SoapAnswer("FAILED: quota")));
  EXPECT_FALSE(Upload(failed));
}

TEST_F(SoapUpload, MissingTagsAreABadResponse) {
  const std::string answer = "HTTP/1.1 500 Oops\r\nContent-Length: 5\r\n\r\nerror";
  LoopbackServer server(AnswerWith(answer));
  EXPECT_FALSE(Upload(server));
  EXPECT_EQ(report_.logged, (std::vector<std::string>{"bad response from HTTP\n", answer}));
}

TEST_F(SoapUpload, WithoutContentLengthTheAnswerIsReadToTheClose) {
  LoopbackServer server(AnswerWith(
      "HTTP/1.0 200 OK\r\n\r\n<x><UploadFileResult>OK</UploadFileResult></x>"));
  EXPECT_TRUE(Upload(server));
}

TEST_F(SoapUpload, BodyAnnouncedAt95000IsNotRead) {
  const std::string body = "<UploadFileResult>OK</UploadFileResult>" + std::string(94961, ' ');
  ASSERT_EQ(body.size(), 95000u);
  LoopbackServer server(
      AnswerWith("HTTP/1.1 200 OK\r\nContent-Length: 95000\r\n\r\n" + body));
  EXPECT_FALSE(Upload(server));
  EXPECT_TRUE(report_.Logged("bad response from HTTP\n"));

  LoopbackServer fits(AnswerWith("HTTP/1.1 200 OK\r\nContent-Length: 94999\r\n\r\n" +
                                 body.substr(0, 94999)));
  EXPECT_TRUE(Upload(fits));
}

TEST_F(SoapUpload, HeaderThatNeverEndsIsCutAtTheBound) {
  options_.timeoutSeconds = 30;
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer& self) {
    ReadHttpRequest(c);
    std::string endless = "HTTP/1.1 200 OK\r\n";
    endless += std::string(200000, 'X');
    SendAll(c, endless);
    self.WaitForStop();  // keeps the connection open: only the bound ends the reading
  });
  EXPECT_FALSE(Upload(server));
  EXPECT_FALSE(report_.Logged("HTTP timeout"));
  ASSERT_EQ(report_.logged.size(), 2u);
  EXPECT_EQ(report_.logged[1].size(), kMaxResponseBytes);
}

TEST_F(SoapUpload, SilentServerTimesOut) {
  options_.timeoutSeconds = 1;
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer& self) {
    ReadHttpRequest(c);
    self.WaitForStop();
  });
  EXPECT_FALSE(Upload(server));
  EXPECT_TRUE(report_.Logged("HTTP timeout"));
  EXPECT_TRUE(report_.Logged("bad response from HTTP\n"));
}

TEST_F(SoapUpload, ConnectionRefused) {
  int port;
  {
    CWizSyncSocket probe(0, INADDR_LOOPBACK);
    port = probe.LocalPort();
  }
  EXPECT_FALSE(UploadScanFile(file_.string(), "127.0.0.1", "/", port, "", "", options_, report_));
  EXPECT_EQ(report_.logged, (std::vector<std::string>{"error connect HTTP\n"}));
}

TEST_F(SoapUpload, MissingScanFileFailsQuietly) {
  LoopbackServer server([](CWizReadWriteSocket&, LoopbackServer&) {});
  EXPECT_FALSE(UploadScanFile((dir_ / "absent.scn").string(), "127.0.0.1", "/", server.Port(), "",
                              "", options_, report_));
  EXPECT_TRUE(report_.logged.empty());
}

TEST_F(SoapUpload, ServerClosingMidRequestIsAFailure) {
  WriteBytes(file_, std::string(4 << 20, 'z'));
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer&) {
    char head[100];
    c.Read(head, sizeof head);
  });
  EXPECT_FALSE(Upload(server));
}

TEST(HttpResponseJudge, Cases) {
  EXPECT_TRUE(JudgeHttpResponse("<UploadFileResult>OK</UploadFileResult>").ok);
  EXPECT_TRUE(JudgeHttpResponse("<UploadFileResult>OKAY then</UploadFileResult>").ok);
  EXPECT_FALSE(JudgeHttpResponse("<UploadFileResult>ok</UploadFileResult>").ok);
  EXPECT_FALSE(JudgeHttpResponse("<UploadFileResult>OK").tagsFound);
  EXPECT_FALSE(JudgeHttpResponse("OK</UploadFileResult>").tagsFound);
  EXPECT_FALSE(JudgeHttpResponse("</UploadFileResult><UploadFileResult>OK").tagsFound);
  // Text after a zero byte is not part of the answer.
  EXPECT_FALSE(JudgeHttpResponse(std::string("x\0<UploadFileResult>OK</UploadFileResult>", 41))
                   .tagsFound);
  EXPECT_EQ(JudgeHttpResponse("a<UploadFileResult>OK</UploadFileResult>b").resultText,
            "OK</UploadFileResult>");
}

}  // namespace
