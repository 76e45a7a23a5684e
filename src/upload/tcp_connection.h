// A TCP connection (IPv6 or IPv4) whose every wait is bounded: by a time-out per
// step and by one deadline for the whole exchange. Failures are results,
// never messages, and no send raises SIGPIPE.
#pragma once

#include <netdb.h>

#include <string>

#include "base/failure.h"
#include "base/unique_fd.h"
#include "upload/deadline.h"
#include "upload/transport.h"

class TcpConnection : public Transport {
 public:
  TcpConnection() = default;
  // Takes over a socket that is already connected.
  explicit TcpConnection(UniqueFd socket) : socket_(std::move(socket)) {}

  // Connects to a host name or address literal (IPv6 without brackets),
  // trying each of its addresses in the resolver's order, each from a fresh
  // socket, all within the deadline. A port outside 1-65535 is refused.
  // Fails as "connect", with the errno of the last address tried
  // (ETIMEDOUT, and TimedOut(), when time ran out).
  Status Connect(const std::string& host, int port);
  // Bounds each wait for the peer (to connect, to take bytes, to send some)
  // to `seconds`; 0: no bound of its own.
  void SetTimeout(int seconds);
  // Ends every wait at `deadline` at the latest.
  void SetDeadline(Deadline deadline) { deadline_ = deadline; }
  void Close() { socket_.Reset(); }

  bool Write(const void* data, size_t size) override;
  int ReadSome(void* buffer, int size) override;
  bool TimedOut() const override { return timedOut_; }
  int Get() const { return socket_.Get(); }

 private:
  // Waits until the socket is ready for `events` (or has failed); false
  // when the wait ran out of time or could not be made.
  bool WaitFor(short events);
  // One address; the errno on failure.
  int ConnectTo(const addrinfo& address);

  UniqueFd socket_;
  int timeoutMs_ = -1;
  Deadline deadline_;
  bool timedOut_ = false;
};
