#include "upload/tcp_connection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>
#include <string>

namespace {

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// Frees what getaddrinfo found.
struct AddressList {
  addrinfo* first = nullptr;
  AddressList() = default;
  AddressList(const AddressList&) = delete;
  AddressList& operator=(const AddressList&) = delete;
  ~AddressList() {
    if (first) ::freeaddrinfo(first);
  }
};

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

// Non-blocking from the start: every wait goes through WaitFor, so the
// deadline bounds all the addresses together.
Status TcpConnection::Connect(const std::string& host, int port) {
  timedOut_ = false;
  socket_.Reset();
  // A port outside the 16-bit range is refused rather than cut to its low bits.
  if (port < 1 || port > 65535) return ErrnoFailure("connect", EINVAL);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  AddressList found;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found.first) != 0 ||
      !found.first)
    return ReasonFailure("connect", "cannot resolve " + host);
  int error = EADDRNOTAVAIL;
  for (const addrinfo* a = found.first; a && !deadline_.Passed(); a = a->ai_next) {
    error = ConnectTo(*a);
    if (error == 0) return {};
  }
  socket_.Reset();
  // An address that timed out on its own step gives way to the next one.
  if (deadline_.Passed()) error = ETIMEDOUT;
  timedOut_ = error == ETIMEDOUT;
  return ErrnoFailure("connect", error);
}

int TcpConnection::ConnectTo(const addrinfo& address) {
  socket_.Reset(::socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket_) return errno;
  if (::connect(socket_.Get(), address.ai_addr, address.ai_addrlen) == 0) return 0;
  // An interrupted connect goes on in the background, like one in progress.
  if ((errno != EINPROGRESS && errno != EINTR) || !WaitFor(POLLOUT)) return errno;
  int error = 0;
  socklen_t len = sizeof error;
  ::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &len);
  return error;
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
