#include "upload/tcp_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>

namespace {

bool IsTimeout(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == ETIMEDOUT; }

// The first IPv4 address of `host`, dotted text taken as it is.
bool ResolveIpv4(const std::string& host, in_addr& out) {
  if (::inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return true;
}

}  // namespace

void TcpConnection::SetTimeout(int seconds) {
  timeoutSeconds_ = seconds > 0 ? seconds : 0;
  if (socket_) ApplyTimeout();
}

void TcpConnection::ApplyTimeout() {
  timeval tv{};
  tv.tv_sec = timeoutSeconds_;
  ::setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(socket_.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool TcpConnection::Connect(const std::string& host, int port) {
  timedOut_ = false;
  socket_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket_) return false;
  // A port outside the 16-bit range is refused rather than cut to its low bits.
  if (port < 1 || port > 65535) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (!ResolveIpv4(host, sa.sin_addr)) return false;
  ApplyTimeout();
  return ConnectWithin(sa);
}

// A connect that gives up after the timeout: non-blocking connect, then poll.
bool TcpConnection::ConnectWithin(const sockaddr_in& sa) {
  const int fd = socket_.Get();
  const auto* addr = reinterpret_cast<const sockaddr*>(&sa);
  if (timeoutSeconds_ == 0) {
    int rc;
    do rc = ::connect(fd, addr, sizeof sa);
    while (rc == -1 && errno == EINTR);
    return rc == 0;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  bool ok = ::connect(fd, addr, sizeof sa) == 0;
  if (!ok && errno == EINPROGRESS) {
    pollfd pfd{fd, POLLOUT, 0};
    int rc;
    do rc = ::poll(&pfd, 1, timeoutSeconds_ * 1000);
    while (rc == -1 && errno == EINTR);
    if (rc == 0) {
      timedOut_ = true;
      errno = ETIMEDOUT;
    } else if (rc > 0) {
      int error = 0;
      socklen_t len = sizeof error;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
      ok = error == 0;
      errno = error;
    }
  }
  const int saved = errno;
  ::fcntl(fd, F_SETFL, flags);
  errno = saved;
  return ok;
}

int TcpConnection::Read(void* buffer, int size) {
  timedOut_ = false;
  auto* p = static_cast<char*>(buffer);
  int got = 0;
  while (got < size) {
    const ssize_t n = ::recv(socket_.Get(), p + got, static_cast<size_t>(size - got), 0);
    if (n == -1) {
      if (errno == EINTR) continue;
      timedOut_ = IsTimeout(errno);
      return 0;
    }
    if (n == 0) return got;
    got += static_cast<int>(n);
  }
  return size;
}

bool TcpConnection::Write(const void* data, size_t size) {
  timedOut_ = false;
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    // MSG_NOSIGNAL: a peer that went away must not end the process.
    const ssize_t n = ::send(socket_.Get(), p, size, MSG_NOSIGNAL);
    if (n == -1 && errno == EINTR) continue;
    if (n <= 0) {
      timedOut_ = n == -1 && IsTimeout(errno);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}
