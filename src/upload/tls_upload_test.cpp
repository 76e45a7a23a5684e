#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include <sstream>

#include "loopback_server.h"
#include "temp_dir.h"
#include "tls_server.h"
#include "upload/soap_upload.h"

namespace {

// A folder with a test CA, a certificate it signs for localhost and
// 127.0.0.1 ("good") and one for another host ("other"), made once by the
// openssl command; null when that failed.
const scanunix_test::TempDir* Certificates() {
  static scanunix_test::TempDir dir;
  static const bool made = [] {
    const std::string req = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                            "-nodes -days 2 ";
    const std::string leaf =
        " && " + req + "-CA ca.pem -CAkey ca.key -addext basicConstraints=CA:FALSE -subj /CN=";
    const std::string commands =
        "cd '" + dir.path().string() + "' && (" + req + "-keyout ca.key -out ca.pem -subj /CN=ca" +
        leaf + "localhost -keyout good.key -out good.pem -addext subjectAltName=DNS:localhost," +
        "IP:127.0.0.1" + leaf + "other.example -keyout other.key -out other.pem -addext " +
        "subjectAltName=DNS:other.example) >/dev/null 2>&1";
    return std::system(commands.c_str()) == 0;
  }();
  return made ? &dir : nullptr;
}

std::string AnswerOk(Transport& connection) { return Answer(connection, SoapAnswer("OK")); }

// A server that completes the handshake with the certificate `name` and then
// serves; gives the reason when the handshake fails.
LoopbackServer::Handler TlsServer(const std::string& name,
                                  std::string (*serve)(Transport&) = AnswerOk) {
  return [name, serve](TcpConnection& c) {
    std::string reason;
    auto session = TlsServerSession::Accept(c.handle(), *Certificates() / (name + ".pem"),
                                            *Certificates() / (name + ".key"), reason);
    return session ? serve(*session) : "[" + reason + "]";
  };
}

// Runs `upload` in a child process with SIGPIPE at its default action, so that
// a write to a closed connection shows as a death; gives its wait status.
int StatusOfChild(const std::function<bool()>& upload) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    ::_exit(upload() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

class TlsUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Certificates()) << "openssl could not make the test certificates";
    settings_.caFile = *Certificates() / "ca.pem";
    settings_.timeoutSeconds = 10;
    settings_.username = "admin";
    settings_.password = "pw";
  }

  // Uploads to `host`:`port` over TLS (or plain HTTP); keeps what is printed
  // and what is logged.
  bool Upload(int port, const std::string& host = "localhost") {
    settings_.address = scheme_ + "://" + host + ":" + std::to_string(port) + "/inv";
    std::ostringstream out, errors;
    std::filesystem::remove(dir_ / "log");
    Log log(Log::kDisplay, out, errors);
    log.SetFile(dir_ / "log");
    const bool ok = UploadScanFile(file_, settings_, log, tlsLibraries_);
    logged_ = scanunix_test::ReadFile(dir_ / "log");
    printed_ = out.str();
    return ok;
  }

  scanunix_test::TempDir dir_;
  std::filesystem::path file_ = dir_.Write("host.scn", "<?xml version=\"1.0\"?><scan/>\r\n");
  UploadSettings settings_;
  std::string scheme_ = "https";
  std::vector<std::string> tlsLibraries_ = DefaultTlsLibraryNames();
  std::string logged_, printed_;
};

TEST_F(TlsUpload, TrustedCertificateCarriesTheSameRequestAsPlainHttp) {
  LoopbackServer byAddress(TlsServer("good"));  // checked against the IP entry
  EXPECT_TRUE(Upload(byAddress.Port(), "127.0.0.1"));
  LoopbackServer tlsServer(TlsServer("good"));
  EXPECT_TRUE(Upload(tlsServer.Port()));
  EXPECT_EQ(printed_, "HTTP Connect OK\nHTTP Write OK\nHTTP Uploaded OK\n");
  LoopbackServer plainServer(AnswerWith(SoapAnswer("OK")));
  scheme_ = "http";
  EXPECT_TRUE(Upload(plainServer.Port()));
  EXPECT_NE(tlsServer.Received().find("POST"), std::string::npos);
  EXPECT_EQ(tlsServer.Received(), plainServer.Received());
}

TEST_F(TlsUpload, CertificatesThatDoNotVerifyFailBeforeAnythingIsSent) {
  using Case = std::tuple<std::string, std::string, std::string>;  // cert, CAFile, log line
  for (const auto& [cert, caFile, logged] : std::vector<Case>{
           {"good", "", "TLS: certificate verify failed"},  // the system's CAs only
           {"other", settings_.caFile, "TLS: certificate verify failed (hostname mismatch)"},
           {"good", dir_ / "absent.pem", "TLS: cannot load CAFile"}}) {
    settings_.caFile = caFile;
    LoopbackServer server(TlsServer(cert));
    EXPECT_FALSE(Upload(server.Port()));
    EXPECT_TRUE(logged_.starts_with(logged)) << logged_;
    EXPECT_EQ(server.Received().find("POST"), std::string::npos);
  }
}

TEST_F(TlsUpload, ServerStallingInTheHandshakeTimesOutAndGetsNoPlainText) {
  settings_.timeoutSeconds = 1;
  LoopbackServer server(ReadUntilHangUp);
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(logged_, "TLS: handshake timed out\n");
  const std::string received = server.Received();
  EXPECT_EQ(received.substr(0, 2), "\x16\x03");  // a TLS handshake record
  EXPECT_NE(received.find("localhost"), std::string::npos);  // the server name is sent
}

TEST_F(TlsUpload, ServerHangingUpMidRequestFailsWithoutEndingTheProcess) {
  scanunix_test::WriteFile(file_, std::string(8 << 20, 'r'));
  LoopbackServer server(TlsServer("good", [](Transport& t) {
    char head[64];
    return std::string(ReadExactly(t, head, sizeof head) == sizeof head ? "accepted" : "");
  }));  // then the connection is closed while the client is still sending
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(server.Received(), "accepted");
}

TEST_F(TlsUpload, KeyUpdateAndABrokenRecordBeforeAResetNeitherKillNorLoseTheAnswer) {
  for (const bool broken : {false, true}) {
    LoopbackServer server([broken](TcpConnection& c) {
      std::string reason;
      auto session = TlsServerSession::Accept(c.handle(), *Certificates() / "good.pem",
                                              *Certificates() / "good.key", reason);
      if (!session) return "[" + reason + "]";
      ReadHttpRequest(*session);
      // Enough of the answer ahead that the reset arrives while the client
      // still reads, so whatever it writes then meets a dead connection.
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 90000\r\n\r\n"
                                 "<UploadFileResult>OK</UploadFileResult>" +
                                 std::string(60000, ' ');
      session->Write(answer.data(), answer.size());
      const bool updated = session->RequestKeyUpdate();
      const std::string forged = "\x17\x03\x03\x00\x20" + std::string(32, 'x');
      if (broken) c.Write(forged.data(), forged.size());  // the client answers with an alert
      ::shutdown(c.handle(), SHUT_WR);
      ResetConnection(c);
      return std::string(updated ? "updated" : "");
    });
    const int status = StatusOfChild([&] { return Upload(server.Port()); });
    ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the OK before the reset is an OK";
    EXPECT_EQ(server.Received(), "updated");
  }
}

TEST_F(TlsUpload, NoUsableLibraryFailsWithAClearLine) {
  LoopbackServer server(ReadUntilHangUp);
  tlsLibraries_ = {"libscanunix-no-such-tls.so.0", FAKE_TLS_LIBRARY};
  EXPECT_FALSE(Upload(server.Port()));
  EXPECT_EQ(logged_, "TLS: no TLS library found\n");
  EXPECT_EQ(server.Received(), "");
  auto library = TlsLibrary::Load({FAKE_TLS_LIBRARY, "libssl.so.3", "libssl.so.1.1"});
  ASSERT_NE(library, nullptr);  // the one lacking functions is skipped
  EXPECT_NE(library->name(), FAKE_TLS_LIBRARY);
}

}  // namespace
