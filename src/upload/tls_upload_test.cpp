#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "temp_dir.h"
#include "upload/loopback_server.h"
#include "upload/tls_session.h"
#include "upload/upload_core.h"
#include "upload/upload_test_support.h"

namespace {

// A test CA, a certificate it signs for localhost and 127.0.0.1 ("good") and
// one for another host ("other"), all made by the openssl command.
bool MakeCertificates(const std::filesystem::path& dir) {
  const std::string req = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                          "-nodes -days 2 ";
  const std::string leaf = req + "-CA ca.pem -CAkey ca.key -addext basicConstraints=CA:FALSE ";
  const std::string commands =
      "cd '" + dir.string() + "' && (" + req + "-keyout ca.key -out ca.pem -subj /CN=ca && " +
      leaf + "-keyout good.key -out good.pem -subj /CN=localhost "
             "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 && " +
      leaf + "-keyout other.key -out other.pem -subj /CN=other.example "
             "-addext subjectAltName=DNS:other.example) >openssl.log 2>&1";
  return std::system(commands.c_str()) == 0;
}

class TlsUpload : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    certs_ = new scanunix_test::TempDir;
    certsMade_ = MakeCertificates(certs_->path());
    library_ = TlsLibrary::Load(DefaultTlsLibraryNames()).release();
  }
  static void TearDownTestSuite() {
    delete library_;
    delete certs_;
  }

  void SetUp() override {
    ASSERT_TRUE(certsMade_) << scanunix_test::ReadFile(*certs_ / "openssl.log");
    ASSERT_NE(library_, nullptr) << "no TLS library on this machine";
    dir_.Write("host.scn", "<?xml version=\"1.0\"?><scan/>\r\n");
    options_.tls = true;
    options_.caFile = (*certs_ / "ca.pem").string();
    options_.timeoutSeconds = 10;
  }

  // A server that completes the handshake with the certificate `name`,
  // returns the decrypted request (or the failure) and answers OK.
  static LoopbackServer::Handler TlsServer(const std::string& name) {
    return [name](CWizReadWriteSocket& c) -> std::string {
      c.SetTimeout(10);  // a client that gives up must not hold the test
      std::string reason;
      auto session = TlsSession::Accept(*library_, c.Handle(), (*certs_ / (name + ".pem")).string(),
                                        (*certs_ / (name + ".key")).string(), reason);
      if (!session) return "[" + reason + "]";
      std::string request = ReadHttpRequest(*session);
      const std::string answer = SoapAnswer("OK");
      session->Write(answer.data(), answer.size());
      return request;
    };
  }

  bool Upload(int port, const std::string& host = "localhost") {
    return UploadScanFile(file_.string(), host, "/inv/", port, "admin", "pw", options_, report_);
  }

  static inline scanunix_test::TempDir* certs_ = nullptr;
  static inline bool certsMade_ = false;
  static inline TlsLibrary* library_ = nullptr;

  scanunix_test::TempDir dir_;
  std::filesystem::path file_ = dir_ / "host.scn";
  UploadOptions options_;
  RecordingReporter report_;
};

TEST_F(TlsUpload, TrustedCertificateCarriesTheSameRequestAsPlainHttp) {
  LoopbackServer tlsServer(TlsServer("good"));
  EXPECT_TRUE(Upload(tlsServer.Port()));
  EXPECT_EQ(report_.printed, "HTTP Connect OK\nHTTP Write OK\nHTTP Uploaded OK\n");
  LoopbackServer plainServer(AnswerWith(SoapAnswer("OK")));
  RecordingReporter plainReport;
  EXPECT_TRUE(UploadScanFile(file_.string(), "localhost", "/inv/", plainServer.Port(), "admin",
                             "pw", UploadOptions{}, plainReport));
  EXPECT_NE(tlsServer.Received().find("POST"), std::string::npos);
  EXPECT_EQ(tlsServer.Received(), plainServer.Received());
  LoopbackServer byAddress(TlsServer("good"));  // checked against the IP entry
  EXPECT_TRUE(Upload(byAddress.Port(), "127.0.0.1"));
}

TEST_F(TlsUpload, CertificatesThatDoNotVerifyFailBeforeAnythingIsSent) {
  struct Case {
    std::string cert, caFile, logged;
  };
  const std::string absent = (dir_ / "absent.pem").string();
  for (const Case& c : std::vector<Case>{
           {"good", "", "TLS: certificate verify failed"},  // the system's CAs only
           {"other", options_.caFile, "TLS: certificate verify failed (hostname mismatch)"},
           {"good", absent, "TLS: cannot load CAFile"}}) {
    options_.caFile = c.caFile;
    report_ = {};
    LoopbackServer server(TlsServer(c.cert));
    EXPECT_FALSE(Upload(server.Port()));
    EXPECT_TRUE(report_.Logged(c.logged)) << ::testing::PrintToString(report_.logged);
    EXPECT_EQ(server.Received().find("POST"), std::string::npos);
    EXPECT_EQ(report_.printed, "");
  }
}

TEST_F(TlsUpload, ServerStallingInTheHandshakeTimesOut) {
  options_.timeoutSeconds = 1;
  LoopbackServer server([](CWizReadWriteSocket& c) { WaitForHangUp(c); return ""; });
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_TRUE(report_.Logged("TLS: handshake timed out"));
}

TEST_F(TlsUpload, OnlyAHandshakeReachesThePort) {
  // A plain server: it keeps the first record the client sends, then hangs up.
  LoopbackServer server([](CWizReadWriteSocket& c) {
    c.SetTimeout(10);
    unsigned char header[5];
    if (c.Read(header, 5) != 5) return std::string();
    std::string body(size_t{header[3]} << 8 | header[4], '\0');
    body.resize(static_cast<size_t>(c.Read(body.data(), static_cast<int>(body.size()))));
    return std::string(reinterpret_cast<char*>(header), 5) + body;
  });
  EXPECT_FALSE(Upload(server.Port()));
  const std::string first = server.Received();
  ASSERT_GE(first.size(), 5u);
  EXPECT_EQ(first.substr(0, 2), "\x16\x03");  // a TLS handshake record
  EXPECT_NE(first.find("localhost"), std::string::npos);  // the server name is sent
  EXPECT_EQ(first.find("POST"), std::string::npos);
  EXPECT_TRUE(report_.Logged("TLS: handshake failed"));
}

TEST_F(TlsUpload, ServerHangingUpMidRequestFailsWithoutEndingTheProcess) {
  scanunix_test::WriteFile(file_, std::string(8 << 20, 'r'));
  LoopbackServer server([](CWizReadWriteSocket& c) -> std::string {
    std::string reason;
    auto session = TlsSession::Accept(*library_, c.Handle(), (*certs_ / "good.pem").string(),
                                      (*certs_ / "good.key").string(), reason);
    char head[64];
    return session && session->Read(head, sizeof head) == sizeof head ? "accepted" : reason;
  });  // then the connection is closed while the client is still sending
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(server.Received(), "accepted");
}

TEST_F(TlsUpload, NoUsableLibraryFailsWithAClearLine) {
  LoopbackServer server([](CWizReadWriteSocket& c) {
    char byte;
    c.SetTimeout(5);
    return c.Read(&byte, 1) == 1 ? "sent" : "";
  });
  options_.tlsLibraries = {"libscanunix-no-such-tls.so.0", FAKE_TLS_LIBRARY};
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(report_.logged, (std::vector<std::string>{"TLS: no TLS library found"}));
  EXPECT_EQ(server.Received(), "");
  auto library = TlsLibrary::Load({FAKE_TLS_LIBRARY, "libssl.so.3", "libssl.so.1.1"});
  ASSERT_NE(library, nullptr);  // the one lacking functions is skipped
  EXPECT_NE(library->name(), FAKE_TLS_LIBRARY);
}

}  // namespace
