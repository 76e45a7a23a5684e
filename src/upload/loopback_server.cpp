#include "upload/loopback_server.h"

#include <sys/socket.h>

#include <cstdlib>

#include "upload/socket_transport.h"

LoopbackServer::LoopbackServer(Handler handler) : listener_(0, INADDR_LOOPBACK) {
  port_ = listener_.LocalPort();
  thread_ = std::thread([this, handler = std::move(handler)] {
    const int fd = listener_.Accept();
    if (fd == -1) return;
    CWizReadWriteSocket connection(static_cast<unsigned int>(fd));
    handler(connection, *this);
  });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
  ::shutdown(listener_.Handle(), SHUT_RDWR);  // ends an Accept still waiting
  Join();
}

void LoopbackServer::Join() {
  if (thread_.joinable()) thread_.join();
}

void LoopbackServer::WaitForStop() {
  std::unique_lock<std::mutex> lock(mutex_);
  stopped_.wait(lock, [this] { return stop_; });
}

std::string LoopbackServer::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void LoopbackServer::Record(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  received_ += bytes;
}

std::string ReadHttpRequest(CWizReadWriteSocket& connection) {
  SocketTransport transport(connection);
  return ReadHttpRequest(transport);
}

std::string ReadHttpRequest(CTransport& connection) {
  std::string text;
  char c;
  while (text.find("\r\n\r\n") == std::string::npos) {
    if (connection.Read(&c, 1) != 1) return text;
    text.push_back(c);
  }
  const size_t at = text.find("Content-Length: ");
  if (at == std::string::npos) return text;
  const size_t length = std::strtoull(text.c_str() + at + 16, nullptr, 10);
  std::string body(length, '\0');
  const int chunk = 1 << 20;
  size_t got = 0;
  while (got < length) {
    const int want = static_cast<int>(std::min<size_t>(chunk, length - got));
    const int n = connection.Read(body.data() + got, want);
    got += static_cast<size_t>(n);
    if (n < want) break;
  }
  body.resize(got);
  return text + body;
}

void SendAll(CWizReadWriteSocket& connection, const std::string& text) {
  if (!text.empty()) connection.Write(text.data(), static_cast<int>(text.size()));
}

LoopbackServer::Handler AnswerWith(std::string response) {
  return [response = std::move(response)](CWizReadWriteSocket& connection,
                                          LoopbackServer& self) {
    self.Record(ReadHttpRequest(connection));
    SendAll(connection, response);
  };
}

std::string SoapAnswer(const std::string& result) {
  const std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
      "<UploadFileResponse xmlns=\"http://tempuri.org/\"><UploadFileResult>" +
      result + "</UploadFileResult></UploadFileResponse></soap:Body></soap:Envelope>";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}
