// The built agent uploading its scan file to a loopback server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "agent_runner.h"

namespace {

// A one-connection HTTP server on 127.0.0.1 that records the request and
// answers with a fixed text, or never answers when `answer` is empty.
class UploadServer {
 public:
  explicit UploadServer(std::string answer) : answer_(std::move(answer)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&sa), len) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
      ADD_FAILURE() << "cannot listen on loopback";
      return;
    }
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~UploadServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  int Port() const { return port_; }
  std::string Request() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  // Waits for `fd` to be readable, giving up when the test is over.
  bool WaitReadable(int fd) {
    while (!stop_) {
      pollfd pfd{fd, POLLIN, 0};
      if (::poll(&pfd, 1, 100) > 0) return true;
    }
    return false;
  }
  void Serve() {
    if (!WaitReadable(listener_)) return;
    const int conn = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) return;
    size_t want = std::string::npos;
    char buffer[65536];
    while (request_.size() < want && WaitReadable(conn)) {
      const ssize_t n = ::recv(conn, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request_.append(buffer, static_cast<size_t>(n));
      const size_t end = request_.find("\r\n\r\n");
      const size_t field = request_.find("Content-Length: ");
      if (end != std::string::npos && field != std::string::npos && field < end)
        want = end + 4 + std::stoul(request_.substr(field + 16));
    }
    if (!answer_.empty()) {
      ::send(conn, answer_.data(), answer_.size(), MSG_NOSIGNAL);
    } else {
      while (!stop_) ::usleep(20000);  // a server that never answers
    }
    ::close(conn);
  }

  std::string answer_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::string request_;
  std::thread thread_;
};

std::string Answer(const std::string& result) {
  const std::string body = "<soap:Envelope><soap:Body><UploadFileResponse><UploadFileResult>" +
                           result + "</UploadFileResult></UploadFileResponse></soap:Body>"
                           "</soap:Envelope>";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string UploadSettings(const e2e::TempDir& dir, int port, const std::string& http) {
  return e2e::QuietSettings(dir.path(), "UploadByHttp=1") + "[HTTP]\nAddress=http://127.0.0.1:" +
         std::to_string(port) + "/inv\n" + http;
}

TEST(UploadE2E, ConfirmedUploadRemovesTheScanFileAndSendsTheDecryptedPassword) {
  const e2e::fs::path passwd = e2e::AgentPath().parent_path() / "scanunix-passwd";
  if (!e2e::fs::exists(passwd)) GTEST_SKIP() << "scanunix-passwd is not built";
  const e2e::AgentResult enc =
      e2e::Run("/bin/sh", {"-c", "printf '%s\\n' 'Pa55 w<rd' | '" + passwd.string() + "'"});
  ASSERT_EQ(enc.exitStatus, 0) << enc.err;
  const std::string hex = enc.out.substr(0, enc.out.find('\n'));
  ASSERT_EQ(hex.size(), 32u);

  e2e::TempDir dir;
  UploadServer server(Answer("OK"));
  e2e::WriteFile(dir / "scan.ini",
                 UploadSettings(dir, server.Port(),
                                "Username=inventory\nPassword=" + hex + "\nPasswordIsEncrypted=1\n"));
  const e2e::AgentResult r = e2e::RunAgent({(dir / "scan.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.out.find("HTTP Uploaded OK"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Finished, saved to: "), std::string::npos);
  EXPECT_TRUE(e2e::FindScanFile(dir.path()).empty()) << "the confirmed scan file must be gone";

  const std::string request = server.Request();
  EXPECT_EQ(request.rfind("POST /inv/Service.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\n", 0), 0u)
      << request.substr(0, 200);
  EXPECT_NE(request.find("<Username>inventory</Username><Password>Pa55 w<rd</Password>"),
            std::string::npos);
  EXPECT_NE(request.find(".scn</SOAPSDK4:fileName>"), std::string::npos);
  // The body starts with the Base64 text of "<?xml".
  EXPECT_NE(request.find("<SOAPSDK4:f SOAP-ENV:encodingStyle=\"\">PD94bWw"), std::string::npos);
}

TEST(UploadE2E, RefusedUploadKeepsTheScanFile) {
  e2e::TempDir dir;
  UploadServer server(Answer("ERROR: unknown computer"));
  e2e::WriteFile(dir / "scan.ini", UploadSettings(dir, server.Port(), ""));
  const e2e::AgentResult r = e2e::RunAgent({(dir / "scan.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_FALSE(e2e::FindScanFile(dir.path()).empty());
  EXPECT_EQ(server.Request().find("<SOAP-ENV:Header>"), std::string::npos);
}

TEST(UploadE2E, SilentServerTimesOutAndKeepsTheScanFile) {
  e2e::TempDir dir;
  UploadServer server("");
  e2e::WriteFile(dir / "scan.ini", UploadSettings(dir, server.Port(), "Timeout=1\n"));
  const e2e::AgentResult r = e2e::RunAgent({(dir / "scan.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.out.find("HTTP timeout"), std::string::npos) << r.out;
  const e2e::fs::path scan = e2e::FindScanFile(dir.path());
  ASSERT_FALSE(scan.empty());
  bool logged = false;
  for (const auto& entry : e2e::fs::directory_iterator(dir.path()))
    if (entry.path().extension() == ".log")
      logged |= e2e::ReadFile(entry.path()).find("HTTP timeout") != std::string::npos;
  EXPECT_TRUE(logged) << "the time-out goes through the log";
}

TEST(UploadE2E, HttpsAddressNeverSendsPlainText) {
  e2e::TempDir dir;
  UploadServer server("");  // a plain server that never answers the handshake
  e2e::WriteFile(dir / "scan.ini",
                 e2e::QuietSettings(dir.path(), "UploadByHttp=1") +
                     "[HTTP]\nAddress=https://127.0.0.1:" + std::to_string(server.Port()) +
                     "/inv\nUsername=u\nPassword=secret\nTimeout=1\n");
  const e2e::AgentResult r = e2e::RunAgent({(dir / "scan.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.out.find("TLS: "), std::string::npos) << r.out;
  EXPECT_FALSE(e2e::FindScanFile(dir.path()).empty());
  const std::string received = server.Request();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0], '\x16');  // a TLS handshake record, not a request
  EXPECT_EQ(received.find("POST"), std::string::npos);
  EXPECT_EQ(received.find("secret"), std::string::npos);
}

TEST(UploadE2E, NoServerKeepsTheScanFile) {
  e2e::TempDir dir;
  int port;
  {
    UploadServer probe("x");
    port = probe.Port();
  }
  e2e::WriteFile(dir / "scan.ini", UploadSettings(dir, port, ""));
  const e2e::AgentResult r = e2e::RunAgent({(dir / "scan.ini").string()});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.out.find("error connect HTTP"), std::string::npos);
  EXPECT_FALSE(e2e::FindScanFile(dir.path()).empty());
}

}  // namespace
