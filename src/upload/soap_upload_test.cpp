// UploadScanFile against loopback servers, plain and TLS.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include "loopback_server.h"
#include "temp_dir.h"
#include "tls_server.h"
#include "upload/base64.h"
#include "upload/deadline.h"
#include "upload/http_response.h"
#include "upload/soap_upload.h"
#include "upload/tcp_connection.h"

namespace {

std::string ExpectedRequest(const std::string& header, const std::string& content,
                            const std::string& host = "localhost") {
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
  return "POST /inv/Service.asmx HTTP/1.1\r\nHost: " + host + "\r\nContent-Type: text/xml; "
         "charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nSOAPAction: \"http://tempuri.org/UploadFile\"\r\n\r\n" + body;
}

class SoapUpload : public ::testing::Test {
 protected:
  // Uploads to `host`:`port`; what is printed and what is logged are kept.
  bool Upload(int port, const std::string& host = "localhost") {
    settings_.address = scheme_ + "://" + host + ":" + std::to_string(port) + "/inv";
    std::ostringstream out, errors;
    std::filesystem::remove(dir_ / "log");
    Log log(level_, out, errors);
    log.SetFile(dir_ / "log");
    const bool ok = UploadScanFile(file_, settings_, log, options_).ok;
    logged_ = scanunix_test::ReadFile(dir_ / "log");
    printed_ = out.str();
    return ok;
  }

  scanunix_test::TempDir dir_;
  std::filesystem::path file_ = dir_.Write("host_00AABBCCDDEE.scn", "abc");
  UploadSettings settings_ = [] {
    UploadSettings s;
    s.retries = 0;  // the retries have a test of their own
    return s;
  }();
  std::string scheme_ = "http";
  UploadOptions options_;
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
           {"u", "", "", auth + "u</Username><Password>" + authEnd},
           {"", "ignored", large, ""}}) {  // no user: no header
    scanunix_test::WriteFile(file_, content);
    settings_.username = user;
    settings_.password = password;
    LoopbackServer server(AnswerWith(SoapAnswer("OK")));
    EXPECT_TRUE(Upload(server.Port()));
    EXPECT_EQ(server.Received(), ExpectedRequest(header, content)) << user;
    EXPECT_EQ(printed_, "HTTP Connect OK\nHTTP Write OK\nHTTP Uploaded OK\n");
    EXPECT_EQ(logged_, "");
  }
  level_ = Log::kMessages;  // progress goes to the log as well
  file_ = dir_.Write("a&b<c>.scn", "abc");
  LoopbackServer server(AnswerWith(SoapAnswer("OK, stored as 42")));
  EXPECT_TRUE(Upload(server.Port()));
  EXPECT_NE(server.Received().find(">a&amp;b&lt;c&gt;.scn</SOAPSDK4:fileName>"), std::string::npos);
  EXPECT_EQ(logged_, "UploadFileHttp\n\nHTTP Connect OK\n\nHTTP Write OK\n\n"
                     "OK, stored as 42</UploadFileResult>\n");
  EXPECT_EQ(printed_, logged_);
}

TEST_F(SoapUpload, ResponsesAreJudged) {
  settings_.timeoutSeconds = 1;  // a client that waits for the close logs "HTTP timeout"
  const std::string error = "HTTP/1.1 500 Oops\r\nContent-Length: 5\r\n\r\nerror";
  const std::string result = "<UploadFileResult>OK</UploadFileResult>";
  const std::string cut = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + result;
  const std::string inHeader =
      "HTTP/1.1 200 OK\r\nX-R: " + result + "\r\nContent-Length: 0\r\n\r\n";
  const std::string endless = "HTTP/1.1 200 OK\r\n" + std::string(200000, 'X');
  const std::string bad = "bad response from HTTP\n\n";
  using enum AfterAnswer;
  for (const auto& [answer, after, ok, logged] :
       std::vector<std::tuple<std::string, AfterAnswer, bool, std::string>>{
      {SoapAnswer("Ok"), kClose, false, ""},  // a refusal is not reported
      {error, kClose, false, bad + LogText(error) + "\n"},
      {"HTTP/1.0 200 OK\r\n\r\n<x>" + result + "</x>", kClose, true, ""},  // read to the close
      {inHeader, kClose, false, bad + LogText(inHeader) + "\n"},  // the result counts in the body
      {cut, kReset, true, ""},  // what arrived before a reset or a time-out is judged
      {cut, kKeepOpen, true, "HTTP timeout\n"},
      // A header that never ends is cut at the bound.
      {endless, kKeepOpen, false, bad + LogText(endless.substr(0, kMaxResponseBytes)) + "\n"}}) {
    LoopbackServer server(AnswerWith(answer, after));
    EXPECT_EQ(Upload(server.Port()), ok) << logged;
    EXPECT_EQ(logged_, logged);
  }
  // Text after a zero byte is not part of the answer; the tags come in order; 2xx only.
  EXPECT_FALSE(JudgeHttpResponse(200, std::string("x\0", 2) + result).tagsFound);
  EXPECT_FALSE(JudgeHttpResponse(200, "</UploadFileResult><UploadFileResult>OK").tagsFound);
  for (const int status : {199, 300, 500}) EXPECT_FALSE(JudgeHttpResponse(status, result).ok);
  EXPECT_TRUE(JudgeHttpResponse(299, result).ok);
}

TEST_F(SoapUpload, TricklingServerIsCutOffAtTheDeadline) {
  settings_.timeoutSeconds = 1;  // so the whole upload may take 3 s
  LoopbackServer server([](TcpConnection& c) {
    ReadHttpRequest(c);
    // 21 s at this pace, each byte well within Timeout.
    for (const char byte : "HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n" + std::string(99, ' ')) {
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

TEST_F(SoapUpload, NoConnectionOrNoFile) {
  EXPECT_FALSE(Upload(UnusedPort()));
  EXPECT_EQ(logged_, "error connect HTTP\n\n");
  LoopbackServer server([](TcpConnection&) { return ""; });
  TcpConnection client;
  EXPECT_FALSE(client.Connect("no-such-host.invalid", 80));
  EXPECT_FALSE(client.TimedOut());
  EXPECT_FALSE(client.Connect("127.0.0.1", server.Port() + 65536));  // not cut to 16 bits
  file_ = dir_ / "absent.scn";
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(logged_, "");  // a missing file fails quietly
}

// A folder with a test CA, a certificate it signs for localhost and
// 127.0.0.1 ("good") and one for another host ("other"), made once by the
// openssl command; null when that failed.
const scanunix_test::TempDir* Certificates() {
  static scanunix_test::TempDir dir;
  static const bool made = [] {
    const std::string req =
        " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -addext ";
    const std::string leaf = req + "basicConstraints=CA:FALSE -CA ca.pem -CAkey ca.key -subj /CN=";
    const std::string commands = "exec >/dev/null 2>&1 && cd '" + dir.path().string() + "'" + req +
        "basicConstraints=CA:TRUE -keyout ca.key -out ca.pem -subj /CN=ca" + leaf +
        "good -keyout good.key -out good.pem -addext subjectAltName=DNS:localhost,IP:127.0.0.1" +
        leaf + "other -keyout other.key -out other.pem -addext subjectAltName=DNS:other.example";
    return std::system(commands.c_str()) == 0;
  }();
  return made ? &dir : nullptr;
}

// A server that completes the handshake with the certificate `name` and then
// serves (by default: answers OK); gives nothing when the handshake fails.
using TlsHandler = std::function<std::string(TlsServerSession&, TcpConnection&)>;
LoopbackServer::Handler TlsServer(const std::string& name, TlsHandler serve = [](auto& t, auto&) {
  return Answer(t, SoapAnswer("OK"));
}) {
  return [name, serve](TcpConnection& c) {
    auto session = TlsServerSession::Accept(c.handle(), *Certificates() / (name + ".pem"),
                                            *Certificates() / (name + ".key"));
    return session ? serve(*session, c) : "";
  };
}

class TlsUpload : public SoapUpload {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Certificates()) << "openssl could not make the test certificates";
    settings_.caFile = *Certificates() / "ca.pem";
    settings_.timeoutSeconds = 10;
    scheme_ = "https";
  }
};

TEST_F(TlsUpload, OnlyAVerifiedCertificateGetsTheRequest) {
  using Case = std::tuple<std::string, std::string, std::string, std::string>;
  for (const auto& [cert, caFile, host, logged] : std::vector<Case>{  // log line; empty: uploaded
           {"good", settings_.caFile, "127.0.0.1", ""},  // checked against the IP entry
           {"good", settings_.caFile, "localhost", ""},
           {"good", "", "localhost", "TLS: certificate verify failed"},  // the system's CAs only
           {"other", settings_.caFile, "localhost",
            "TLS: certificate verify failed (hostname mismatch)"},
           {"good", dir_ / "absent.pem", "localhost", "TLS: cannot load CAFile"}}) {
    settings_.caFile = caFile;
    LoopbackServer server(TlsServer(cert));
    EXPECT_EQ(Upload(server.Port(), host), logged.empty()) << logged_;
    EXPECT_TRUE(logged_.starts_with(logged)) << logged_;
    // The same request as over plain HTTP, and nothing unless the peer is verified.
    EXPECT_EQ(server.Received() == ExpectedRequest("", "abc", host), logged.empty());
  }
}

TEST_F(TlsUpload, ServerHangingUpMidRequestFailsWithoutEndingTheProcess) {
  scanunix_test::WriteFile(file_, std::string(8 << 20, 'r'));
  const auto readHead = [](Transport& t, auto&...) {
    char head[64];
    return std::string(ReadExactly(t, head, sizeof head) == sizeof head ? "accepted" : "");
  };  // then the connection is closed while the client is still sending
  for (const std::string scheme : {"http", "https"}) {
    scheme_ = scheme;
    LoopbackServer server(scheme == "https" ? TlsServer("good", readHead)
                                            : LoopbackServer::Handler(readHead));
    EXPECT_FALSE(Upload(server.Port())) << scheme;
    EXPECT_EQ(server.Received(), "accepted");
  }
}

TEST_F(TlsUpload, KeyUpdateAndABrokenRecordBeforeAResetNeitherKillNorLoseTheAnswer) {
  for (const bool broken : {false, true}) {
    LoopbackServer server(TlsServer("good", [broken](TlsServerSession& session, TcpConnection& c) {
      ReadHttpRequest(session);
      // Enough of the answer ahead that the reset arrives while the client
      // still reads, so whatever it writes then meets a dead connection.
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 90000\r\n\r\n<Upload"
                                 "FileResult>OK</UploadFileResult>" + std::string(60000, ' ');
      session.Write(answer.data(), answer.size());
      const bool updated = session.RequestKeyUpdate();
      const std::string forged = "\x17\x03\x03\x00\x20" + std::string(32, 'x');
      if (broken) c.Write(forged.data(), forged.size());  // the client answers with an alert
      ::shutdown(c.handle(), SHUT_WR);
      ResetConnection(c);
      return std::string(updated ? "updated" : "");
    }));
    // SIGPIPE is at its default here: a write meeting the reset would end the test process.
    EXPECT_TRUE(Upload(server.Port())) << "the OK before the reset is an OK";
    EXPECT_EQ(server.Received(), "updated");
  }
}

TEST_F(TlsUpload, NoRequestWithoutAHandshake) {
  settings_.timeoutSeconds = 1;
  for (const bool library : {true, false}) {
    if (!library) options_.tlsLibraries = {"libscanunix-no-such-tls.so.0", FAKE_TLS_LIBRARY};
    LoopbackServer server(ReadUntilHangUp);  // stalls in the handshake
    EXPECT_FALSE(Upload(server.Port()));
    EXPECT_EQ(logged_, library ? "TLS: handshake timed out\n" : "TLS: no TLS library found\n");
    // The hello, a TLS handshake record naming the server; and no plain text.
    const std::string received = server.Received();
    EXPECT_EQ(received.substr(0, 2), library ? "\x16\x03" : "");
    EXPECT_EQ(received.find("localhost") != std::string::npos, library);
  }
  auto library = TlsLibrary::Load({FAKE_TLS_LIBRARY, "libssl.so.3", "libssl.so.1.1"});
  ASSERT_NE(library, nullptr);  // the one lacking functions is skipped
  EXPECT_NE(library->name(), FAKE_TLS_LIBRARY);
}

}  // namespace
