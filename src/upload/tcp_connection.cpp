#include "upload/tcp_connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>

namespace {

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

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
  timeoutMs_ = seconds <= 0 ? -1 : seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000;
}

bool TcpConnection::WaitFor(short events) {
  timedOut_ = false;
  for (;;) {
    if (deadline_.Passed()) break;
    pollfd pfd{socket_.Get(), events, 0};
    const int ready = ::poll(&pfd, 1, deadline_.WaitMs(timeoutMs_));
    if (ready > 0) return true;  // ready, or failed: the call that follows says which
    if (ready == 0) break;
    if (errno != EINTR) return false;
  }
  timedOut_ = true;
  errno = ETIMEDOUT;
  return false;
}

// Non-blocking from the start: every wait goes through WaitFor.
Status TcpConnection::Connect(const std::string& host, int port) {
  timedOut_ = false;
  socket_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket_) return ErrnoFailure("connect");
  // A port outside the 16-bit range is refused rather than cut to its low bits.
  if (port < 1 || port > 65535) return ErrnoFailure("connect", EINVAL);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (!ResolveIpv4(host, sa.sin_addr)) return ReasonFailure("connect", "cannot resolve " + host);
  if (::connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0)
    return {};
  // An interrupted connect goes on in the background, like one in progress.
  if ((errno != EINPROGRESS && errno != EINTR) || !WaitFor(POLLOUT)) return ErrnoFailure("connect");
  int error = 0;
  socklen_t len = sizeof error;
  ::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &len);
  if (error != 0) return ErrnoFailure("connect", error);
  return {};
}

int TcpConnection::ReadSome(void* buffer, int size) {
  timedOut_ = false;
  for (;;) {
    const ssize_t n = ::recv(socket_.Get(), buffer, static_cast<size_t>(size), MSG_DONTWAIT);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (!WouldBlock(errno) || !WaitFor(POLLIN)) return -1;
  }
}

bool TcpConnection::Write(const void* data, size_t size) {
  timedOut_ = false;
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    // MSG_NOSIGNAL: a peer that went away must not end the process.
    const ssize_t n = ::send(socket_.Get(), p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      p += n;
      size -= static_cast<size_t>(n);
    } else if (n == 0 || (errno != EINTR && (!WouldBlock(errno) || !WaitFor(POLLOUT)))) {
      return false;
    }
  }
  return true;
}
