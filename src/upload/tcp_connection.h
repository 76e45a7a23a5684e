// A blocking IPv4 TCP connection with bounded connect, sends and receives.
// Failures are results, never messages.
#pragma once

#include <netinet/in.h>

#include <string>

#include "base/unique_fd.h"
#include "upload/transport.h"

class TcpConnection : public Transport {
 public:
  TcpConnection() = default;
  // Takes over a socket that is already connected.
  explicit TcpConnection(UniqueFd socket) : socket_(std::move(socket)) {}

  // Connects to a host name or dotted IPv4 address, always from a fresh
  // socket. A port outside 1-65535 is refused.
  bool Connect(const std::string& host, int port);
  // Bounds the connect and every later send and receive to `seconds`
  // (0: no bound), on this socket and on those Connect makes later.
  void SetTimeout(int seconds);
  void Close() { socket_.Reset(); }

  bool Write(const void* data, size_t size) override;
  int Read(void* buffer, int size) override;
  bool TimedOut() const override { return timedOut_; }
  int handle() const { return socket_.Get(); }

 private:
  bool ConnectWithin(const sockaddr_in& address);
  void ApplyTimeout();

  UniqueFd socket_;
  int timeoutSeconds_ = 0;
  bool timedOut_ = false;
};
