#include "upload/wiz_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr int BUFF_SIZE = 2000;

bool IsTimeout(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == ETIMEDOUT; }

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

CWizSyncSocket::CWizSyncSocket(unsigned int handle) { Init(handle); }

CWizSyncSocket::CWizSyncSocket(int port, uint32_t address) {
  Init(static_cast<unsigned int>(-1));
  if (!Create(port, address)) {
    Close();
    throw XCannotCreate();
  }
}

CWizSyncSocket::~CWizSyncSocket() { Close(); }

void CWizSyncSocket::Init(unsigned int handle) { m_hSocket = static_cast<int>(handle); }

void CWizSyncSocket::Close() {
  if (m_hSocket == -1) return;
  ::close(m_hSocket);
  m_hSocket = -1;
}

int CWizSyncSocket::SetIntOption(int level, int name, int value) {
  return ::setsockopt(m_hSocket, level, name, &value, sizeof value);
}

bool CWizSyncSocket::InitializeSocket(int port, uint32_t address) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(address);
  return ::bind(m_hSocket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
         ::listen(m_hSocket, 5) == 0;
}

bool CWizSyncSocket::Create(int port, uint32_t address) {
  m_hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_hSocket == -1) return false;
  return InitializeSocket(port, address);
}

int CWizSyncSocket::Accept() {
  int fd;
  do fd = ::accept4(m_hSocket, nullptr, nullptr, SOCK_CLOEXEC);
  while (fd == -1 && errno == EINTR);
  return fd;
}

void CWizSyncSocket::SetTimeout(int seconds) {
  m_nTimeout = seconds > 0 ? seconds : 0;
  if (m_hSocket != -1) ApplyTimeout();
}

void CWizSyncSocket::ApplyTimeout() {
  timeval tv{};
  tv.tv_sec = m_nTimeout;
  ::setsockopt(m_hSocket, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(m_hSocket, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int CWizSyncSocket::LocalPort() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return -1;
  return ntohs(sa.sin_port);
}

bool CWizSyncSocket::Connect(const std::string& host, int port) {
  Close();
  m_bTimedOut = false;
  m_hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_hSocket == -1) return false;
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
bool CWizSyncSocket::ConnectWithin(const sockaddr_in& sa) {
  const auto* addr = reinterpret_cast<const sockaddr*>(&sa);
  if (m_nTimeout == 0) {
    int rc;
    do rc = ::connect(m_hSocket, addr, sizeof sa);
    while (rc == -1 && errno == EINTR);
    return rc == 0;
  }
  const int flags = ::fcntl(m_hSocket, F_GETFL);
  ::fcntl(m_hSocket, F_SETFL, flags | O_NONBLOCK);
  bool ok = ::connect(m_hSocket, addr, sizeof sa) == 0;
  if (!ok && errno == EINPROGRESS) {
    pollfd pfd{m_hSocket, POLLOUT, 0};
    int rc;
    do rc = ::poll(&pfd, 1, m_nTimeout * 1000);
    while (rc == -1 && errno == EINTR);
    if (rc == 0) {
      m_bTimedOut = true;
      errno = ETIMEDOUT;
    } else if (rc > 0) {
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &err, &len);
      ok = err == 0;
      errno = err;
    }
  }
  const int saved = errno;
  ::fcntl(m_hSocket, F_SETFL, flags);
  errno = saved;
  return ok;
}

int CWizReadWriteSocket::Read(void* buffer, int size) {
  m_bTimedOut = false;
  auto* p = static_cast<char*>(buffer);
  int got = 0;
  while (got < size) {
    const ssize_t n = ::recv(m_hSocket, p + got, static_cast<size_t>(size - got), 0);
    if (n == -1) {
      if (errno == EINTR) continue;
      m_bTimedOut = IsTimeout(errno);
      return 0;
    }
    if (n == 0) return got;
    got += static_cast<int>(n);
  }
  return size;
}

int CWizReadWriteSocket::Write(const void* data, int size) {
  m_bTimedOut = false;
  const auto* p = static_cast<const char*>(data);
  int sent = 0;
  while (sent < size) {
    // MSG_NOSIGNAL: a peer that went away must not end the process.
    const ssize_t n =
        ::send(m_hSocket, p + sent, static_cast<size_t>(size - sent), MSG_NOSIGNAL);
    if (n == -1 && errno == EINTR) continue;
    if (n <= 0) {
      m_bTimedOut = n == -1 && IsTimeout(errno);
      return 0;
    }
    sent += static_cast<int>(n);
  }
  return size;
}

int CWizReadWriteSocket::ReadString(char* buffer, int size) {
  unsigned char header[8];
  if (Read(header, 8) < 8) return 0;
  const uint32_t length = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 |
                          uint32_t(header[2]) << 8 | uint32_t(header[3]);
  if (length < 1 || size < 1 || length > static_cast<uint32_t>(size - 1)) return 0;
  const int n = static_cast<int>(length);
  if (Read(buffer, n) < n) return 0;
  buffer[n] = '\0';
  return n;
}

int CWizReadWriteSocket::WriteString(const char* text, int length) {
  if (length < 0) length = Length(text);
  if (length > BUFF_SIZE) return 0;
  std::vector<char> frame(static_cast<size_t>(BUFF_SIZE) + 8, 0);
  const uint32_t n = static_cast<uint32_t>(length);
  frame[0] = static_cast<char>(n >> 24);
  frame[1] = static_cast<char>(n >> 16);
  frame[2] = static_cast<char>(n >> 8);
  frame[3] = static_cast<char>(n);
  if (length > 0) std::memcpy(frame.data() + 8, text, static_cast<size_t>(length));
  return Write(frame.data(), 8 + length);
}

int Length(const char* text) { return static_cast<int>(std::strlen(text)); }
