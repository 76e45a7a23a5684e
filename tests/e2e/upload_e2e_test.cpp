// The built agent uploading its scan file to a loopback server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <utility>

#include "agent_runner.h"

namespace {

// A one-connection HTTP server on 127.0.0.1 that keeps what arrives until the
// agent hangs up, answering `answer` (nothing when empty) after the header.
class UploadServer {
 public:
  explicit UploadServer(std::string answer) {
    sockaddr_in sa{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof sa;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(fd_, 1) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
      ADD_FAILURE() << "cannot listen on loopback";
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this, answer = std::move(answer)] {
      const int conn = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (conn < 0) return;
      char buffer[65536];
      bool answered = false;
      for (ssize_t n; (n = ::recv(conn, buffer, sizeof buffer, 0)) > 0;) {
        request_.append(buffer, static_cast<size_t>(n));
        // Answering after the header is safe: the agent's sending goes on.
        if (!answered && request_.find("\r\n\r\n") != std::string::npos)
          answered = ::send(conn, answer.data(), answer.size(), MSG_NOSIGNAL) >= 0;
      }
      ::close(conn);
    });
  }
  ~UploadServer() {
    ::shutdown(fd_, SHUT_RDWR);  // ends an accept still waiting
    Request();
    ::close(fd_);
  }
  std::string Address(const std::string& scheme) const {
    return scheme + "://127.0.0.1:" + std::to_string(port_) + "/inv";
  }
  std::string Request() {
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

// Runs the agent with the upload to `address` on and the [HTTP] keys `http`;
// `uploaded` is whether the upload is to succeed.
e2e::AgentResult Upload(const e2e::TempDir& dir, const std::string& address,
                        const std::string& http, bool uploaded) {
  e2e::WriteFile(dir / "scan.ini", e2e::QuietSettings(dir.path(), "UploadByHttp=1") +
                                       "[HTTP]\nAddress=" + address + "\n" + http);
  const e2e::AgentResult r = e2e::RunAgent({(dir / "scan.ini").string()});
  EXPECT_EQ(r.exitStatus, uploaded ? 0 : 2) << r.err;
  EXPECT_NE(r.out.find(uploaded ? ", uploaded\n" : ", upload failed\n"), std::string::npos) << r.out;
  return r;
}

// The logs the agent wrote into `dir`.
std::string LogOf(const e2e::TempDir& dir) {
  std::string log;
  for (const auto& entry : e2e::fs::directory_iterator(dir.path()))
    if (entry.path().extension() == ".log") log += e2e::ReadFile(entry.path());
  return log;
}

// The text of the first element `name` in `xml`, its entities resolved.
std::string ElementText(const std::string& xml, const std::string& name) {
  const size_t start = xml.find("<" + name + ">");
  const size_t end = xml.find("</" + name + ">", start);
  if (start == std::string::npos || end == std::string::npos) return "(no " + name + ")";
  std::string text = xml.substr(start + name.size() + 2, end - start - name.size() - 2);
  for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                                  {"&apos;", "'"}, {"&amp;", "&"}}) {
    for (size_t at; (at = text.find(entity)) != std::string::npos;)
      text.replace(at, std::string(entity).size(), c);
  }
  return text;
}

TEST(UploadE2E, ConfirmedUploadRemovesTheScanFileAndSendsTheDecryptedPassword) {
  const e2e::fs::path passwd = e2e::AgentPath().parent_path() / "scanunix-passwd";
  if (!e2e::fs::exists(passwd)) GTEST_SKIP() << "scanunix-passwd is not built";
  const e2e::AgentResult hex =
      e2e::Run("/bin/sh", {"-c", "printf '%s\\n' 'p&w<d>' | '" + passwd.string() + "'"});
  ASSERT_EQ(hex.out.size(), 17u) << hex.err;  // one block: 16 digits and the line end
  e2e::TempDir dir;
  // Lower-case names, a chunked body, and the connection kept open after it.
  UploadServer server(
      "HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\ncontent-type: text/xml\r\n\r\n"
      "12\r\n<UploadFileResult>\r\n15\r\nOK</UploadFileResult>\r\n0\r\n\r\n");
  const e2e::AgentResult r = Upload(dir, server.Address("http"),
                                    "Username=inventory\nPassword=" + hex.out.substr(0, 16) +
                                        "\nPasswordIsEncrypted=1\nTimeout=5\n",
                                    true);
  EXPECT_TRUE(e2e::FindScanFile(dir.path()).empty()) << r.out;  // confirmed, so removed
  EXPECT_EQ(LogOf(dir).find("HTTP timeout"), std::string::npos) << "it waited for the close";
  const std::string request = server.Request();
  EXPECT_EQ(request.substr(0, 50), "POST /inv/Service.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\n");
  EXPECT_EQ(ElementText(request, "Username"), "inventory");
  EXPECT_EQ(ElementText(request, "Password"), "p&w<d>");
  // The body starts with the Base64 text of "<?xml".
  EXPECT_NE(request.find("<SOAPSDK4:f SOAP-ENV:encodingStyle=\"\">PD94bWw"), std::string::npos);
}

TEST(UploadE2E, SilentServerTimesOutAndKeepsTheScanFile) {
  e2e::TempDir dir;
  UploadServer server("");
  Upload(dir, server.Address("http"), "Timeout=1\n", false);
  EXPECT_FALSE(e2e::FindScanFile(dir.path()).empty());
  EXPECT_NE(LogOf(dir).find("HTTP timeout"), std::string::npos)
      << "the time-out goes through the log";
}

TEST(UploadE2E, HttpsAddressNeverSendsPlainText) {
  e2e::TempDir dir;
  UploadServer server("");  // a plain server that never answers the handshake
  const e2e::AgentResult r =
      Upload(dir, server.Address("https"), "Username=u\nPassword=secret\nTimeout=1\n", false);
  EXPECT_NE(r.out.find("TLS: "), std::string::npos) << r.out;
  EXPECT_FALSE(e2e::FindScanFile(dir.path()).empty());
  const std::string received = server.Request();
  EXPECT_EQ(received.substr(0, 1), "\x16");  // a TLS handshake record, not a request
  EXPECT_EQ(received.find("secret"), std::string::npos);
}

}  // namespace
