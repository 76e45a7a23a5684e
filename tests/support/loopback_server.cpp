#include "loopback_server.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <stdexcept>

UniqueFd ListenOnLoopback(int& port, const std::string& address) {
  const bool v6 = address.find(':') != std::string::npos;
  UniqueFd fd(::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const uint16_t networkPort = htons(static_cast<uint16_t>(port));
  sockaddr_in6 sa6{AF_INET6, networkPort, 0, {}, 0};
  sockaddr_in sa4{AF_INET, networkPort, {}, {}};
  const int one = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  auto* sa = v6 ? reinterpret_cast<sockaddr*>(&sa6) : reinterpret_cast<sockaddr*>(&sa4);
  socklen_t len = v6 ? sizeof sa6 : sizeof sa4;
  if (!fd ||
      ::inet_pton(v6 ? AF_INET6 : AF_INET, address.c_str(),
                  v6 ? static_cast<void*>(&sa6.sin6_addr) : &sa4.sin_addr) != 1 ||
      ::bind(fd.Get(), sa, len) != 0 || ::listen(fd.Get(), 5) != 0 ||
      ::getsockname(fd.Get(), sa, &len) != 0)
    throw std::runtime_error("cannot listen on " + address);
  port = ntohs(v6 ? sa6.sin6_port : sa4.sin_port);
  return fd;
}

LoopbackServer::LoopbackServer(std::vector<Handler> handlers, int port, const std::string& address)
    : port_(port), listener_(ListenOnLoopback(port_, address)) {
  // A client that never comes (or never finishes) cannot hold a test.
  const timeval limit{kServeSeconds, 0};
  ::setsockopt(listener_.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  thread_ = std::thread([this, handlers = std::move(handlers)] {
    for (const Handler& handler : handlers) {
      int fd;
      do fd = ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
      while (fd == -1 && errno == EINTR);
      if (fd == -1) return;
      TcpConnection connection{UniqueFd(fd)};
      connection.SetTimeout(kServeSeconds);
      received_ += handler(connection);
    }
  });
}

LoopbackServer::~LoopbackServer() { Finish(); }

std::string LoopbackServer::Finish() {
  ::shutdown(listener_.Get(), SHUT_RDWR);  // ends a wait for a connection
  return Received();
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
