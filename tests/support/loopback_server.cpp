#include "loopback_server.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <stdexcept>

UniqueFd ListenOnLoopback(int& port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in sa{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof sa;
  if (!fd || ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&sa), len) != 0 ||
      ::listen(fd.Get(), 5) != 0 ||
      ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  port = ntohs(sa.sin_port);
  return fd;
}

LoopbackServer::LoopbackServer(Handler handler) : listener_(ListenOnLoopback(port_)) {
  thread_ = std::thread([this, handler = std::move(handler)] {
    int fd;
    do fd = ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
    while (fd == -1 && errno == EINTR);
    if (fd == -1) return;
    TcpConnection connection{UniqueFd(fd)};
    received_ = handler(connection);
  });
}

LoopbackServer::~LoopbackServer() {
  ::shutdown(listener_.Get(), SHUT_RDWR);  // ends an accept still waiting
  Received();
}

std::string LoopbackServer::Received() {
  if (thread_.joinable()) thread_.join();
  return received_;
}

int UnusedPort() {
  int port = 0;
  ListenOnLoopback(port);  // closed again at once
  return port;
}

void ResetConnection(TcpConnection& connection) {
  const linger reset{1, 0};
  ::setsockopt(connection.Get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  connection.Close();
}

int ReadExactly(Transport& connection, void* buffer, int size) {
  auto* p = static_cast<char*>(buffer);
  int got = 0;
  for (int n; got < size && (n = connection.ReadSome(p + got, size - got)) > 0;) got += n;
  return got;
}

std::string ReadHttpRequest(Transport& connection) {
  std::string text;
  char c;
  while (!text.ends_with("\r\n\r\n") && connection.ReadSome(&c, 1) == 1) text += c;
  const size_t at = text.find("Content-Length: ");
  if (at == std::string::npos) return text;
  std::string body(std::stoul(text.substr(at + 16)), '\0');
  const int got = ReadExactly(connection, body.data(), static_cast<int>(body.size()));
  body.resize(static_cast<size_t>(got));
  return text + body;
}

std::string ReadUntilHangUp(TcpConnection& connection) {
  std::string text;
  char buffer[4096];
  for (int n; (n = connection.ReadSome(buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

std::string Answer(Transport& connection, const std::string& response) {
  std::string request = ReadHttpRequest(connection);
  connection.Write(response.data(), response.size());
  return request;
}

LoopbackServer::Handler AnswerWith(std::string response, AfterAnswer after) {
  return [response = std::move(response), after](TcpConnection& connection) {
    std::string request = Answer(connection, response);
    if (after == AfterAnswer::kKeepOpen) ReadUntilHangUp(connection);
    if (after == AfterAnswer::kReset) ResetConnection(connection);
    return request;
  };
}

std::string SoapAnswer(const std::string& result) {
  std::string body = "<soap:Envelope><soap:Body><UploadFileResponse><UploadFileResult>";
  body += result;
  body += "</UploadFileResult></UploadFileResponse></soap:Body></soap:Envelope>";
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
