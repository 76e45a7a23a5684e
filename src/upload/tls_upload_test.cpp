#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "upload/loopback_server.h"
#include "upload/tls_session.h"
#include "upload/tls_test_support.h"
#include "upload/upload_core.h"
#include "upload/upload_test_support.h"

namespace {

class TlsUpload : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    certs_ = new TestCertificates;
    std::string error;
    certsMade_ = MakeTestCertificates(folder_->path(), *certs_, error);
    certError_ = error;
    library_ = TlsLibrary::Load(DefaultTlsLibraryNames()).release();
  }
  static void TearDownTestSuite() {
    delete library_;
    delete certs_;
    delete folder_;
  }

  void SetUp() override {
    ASSERT_TRUE(certsMade_) << certError_;
    ASSERT_NE(library_, nullptr) << "no TLS library on this machine";
    WriteBytes(file_, "<?xml version=\"1.0\"?><scan/>\r\n");
    options_.tls = true;
    options_.caFile = certs_->ca.string();
    options_.timeoutSeconds = 10;
  }

  bool Upload(int port, const std::string& host = "localhost") {
    return UploadScanFile(file_.string(), host, "/inv/", port, "admin", "pw", options_, report_);
  }

  bool LoggedStartingWith(const std::string& prefix) const {
    for (const std::string& line : report_.logged)
      if (line.rfind(prefix, 0) == 0) return true;
    return false;
  }

  static TempFolder* folder_;
  static TestCertificates* certs_;
  static bool certsMade_;
  static std::string certError_;
  static TlsLibrary* library_;

  TempFolder dir_;
  std::filesystem::path file_ = dir_ / "host.scn";
  UploadOptions options_;
  RecordingReporter report_;
};

TempFolder* TlsUpload::folder_ = nullptr;
TestCertificates* TlsUpload::certs_ = nullptr;
bool TlsUpload::certsMade_ = false;
std::string TlsUpload::certError_;
TlsLibrary* TlsUpload::library_ = nullptr;

TEST_F(TlsUpload, TrustedCertificateCarriesTheSameRequestAsPlainHttp) {
  LoopbackServer tlsServer(
      TlsAnswerWith(*library_, certs_->goodCert, certs_->goodKey, SoapAnswer("OK")));
  EXPECT_TRUE(Upload(tlsServer.Port()));
  tlsServer.Join();

  UploadOptions plainOptions;
  LoopbackServer plainServer(AnswerWith(SoapAnswer("OK")));
  RecordingReporter plainReport;
  EXPECT_TRUE(UploadScanFile(file_.string(), "localhost", "/inv/", plainServer.Port(), "admin",
                             "pw", plainOptions, plainReport));
  plainServer.Join();
  EXPECT_FALSE(tlsServer.Received().empty());
  EXPECT_EQ(tlsServer.Received(), plainServer.Received());
  EXPECT_EQ(report_.printed, "HTTP Connect OK\nHTTP Write OK\nHTTP Uploaded OK\n");
}

TEST_F(TlsUpload, AddressIsCheckedAgainstTheCertificatesIpEntries) {
  LoopbackServer server(
      TlsAnswerWith(*library_, certs_->goodCert, certs_->goodKey, SoapAnswer("OK")));
  EXPECT_TRUE(Upload(server.Port(), "127.0.0.1"));
}

TEST_F(TlsUpload, UntrustedCertificateFailsBeforeAnythingIsSent) {
  LoopbackServer server(
      TlsAnswerWith(*library_, certs_->selfCert, certs_->selfKey, SoapAnswer("OK")));
  EXPECT_FALSE(Upload(server.Port()));
  server.Join();
  EXPECT_TRUE(LoggedStartingWith("TLS: certificate verify failed")) << ::testing::PrintToString(report_.logged);
  EXPECT_EQ(server.Received().find("POST"), std::string::npos);
  EXPECT_EQ(report_.printed, "");
}

TEST_F(TlsUpload, CertificateOfOurCaIsNotTrustedWithoutCAFile) {
  options_.caFile.clear();  // the system's trusted certificates only
  LoopbackServer server(
      TlsAnswerWith(*library_, certs_->goodCert, certs_->goodKey, SoapAnswer("OK")));
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_TRUE(LoggedStartingWith("TLS: certificate verify failed"));
}

TEST_F(TlsUpload, CertificateForAnotherHostFails) {
  LoopbackServer server(
      TlsAnswerWith(*library_, certs_->otherCert, certs_->otherKey, SoapAnswer("OK")));
  EXPECT_FALSE(Upload(server.Port()));
  server.Join();
  EXPECT_TRUE(LoggedStartingWith("TLS: certificate verify failed (hostname mismatch)"))
      << ::testing::PrintToString(report_.logged);
  EXPECT_EQ(server.Received().find("POST"), std::string::npos);
}

TEST_F(TlsUpload, MissingCAFileFails) {
  options_.caFile = (dir_ / "absent.pem").string();
  LoopbackServer server([](CWizReadWriteSocket&, LoopbackServer&) {});
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_TRUE(LoggedStartingWith("TLS: cannot load CAFile"));
}

TEST_F(TlsUpload, ServerStallingInTheHandshakeTimesOut) {
  options_.timeoutSeconds = 1;
  LoopbackServer server([](CWizReadWriteSocket&, LoopbackServer& self) { self.WaitForStop(); });
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_TRUE(LoggedStartingWith("TLS: handshake timed out"));
}

TEST_F(TlsUpload, OnlyAHandshakeReachesThePort) {
  // A plain server: it keeps the first record the client sends, then hangs up.
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer& self) {
    c.SetTimeout(10);
    unsigned char header[5];
    if (c.Read(header, 5) != 5) return;
    std::string record(reinterpret_cast<char*>(header), 5);
    std::string body(size_t{header[3]} << 8 | header[4], '\0');
    body.resize(static_cast<size_t>(c.Read(body.data(), static_cast<int>(body.size()))));
    self.Record(record + body);
  });
  EXPECT_FALSE(Upload(server.Port()));
  server.Join();
  const std::string first = server.Received();
  ASSERT_GE(first.size(), 5u);
  EXPECT_EQ(first[0], '\x16');  // a TLS handshake record
  EXPECT_EQ(first[1], '\x03');
  EXPECT_NE(first.find("localhost"), std::string::npos);  // the server name is sent
  EXPECT_EQ(first.find("POST"), std::string::npos);
  EXPECT_TRUE(LoggedStartingWith("TLS: handshake failed"));
}

TEST_F(TlsUpload, ServerHangingUpMidRequestFailsWithoutEndingTheProcess) {
  WriteBytes(file_, std::string(8 << 20, 'r'));
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer& self) {
    std::string reason;
    auto session =
        TlsSession::Accept(*library_, c.Handle(), certs_->goodCert.string(),
                           certs_->goodKey.string(), reason);
    self.Record(session ? "accepted" : reason);
    char head[64];
    if (session) session->Read(head, sizeof head);
  });  // then the connection is closed while the client is still sending
  EXPECT_FALSE(Upload(server.Port()));
  server.Join();
  EXPECT_EQ(server.Received(), "accepted");
}

TEST_F(TlsUpload, NoUsableLibraryFailsWithAClearLine) {
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer& self) {
    char byte;
    c.SetTimeout(5);
    if (c.Read(&byte, 1) == 1) self.Record("sent");
  });
  options_.tlsLibraries = {"libscanunix-no-such-tls.so.0", FAKE_TLS_LIBRARY};
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(report_.logged, (std::vector<std::string>{"TLS: no TLS library found"}));
  server.Join();
  EXPECT_EQ(server.Received(), "");
}

TEST(TlsLibraryLoading, SkipsLibrariesThatLackFunctions) {
  EXPECT_EQ(TlsLibrary::Load({FAKE_TLS_LIBRARY}), nullptr);
  auto library = TlsLibrary::Load({FAKE_TLS_LIBRARY, "libssl.so.3", "libssl.so.1.1"});
  ASSERT_NE(library, nullptr);
  EXPECT_NE(library->name(), FAKE_TLS_LIBRARY);
}

}  // namespace
