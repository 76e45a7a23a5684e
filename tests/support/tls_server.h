// The server side of a TLS connection for tests, on the system's OpenSSL.
#pragma once

#include <memory>
#include <string>

#include "upload/transport.h"

class TlsServerSession : public Transport {
 public:
  // Handshake as a server over the connected socket `fd` with the PEM
  // certificate chain and key; null on failure.
  // Each receive and send on `fd` gives up after ten seconds, so a client
  // that stalls cannot hold a test.
  static std::unique_ptr<TlsServerSession> Accept(int fd, const std::string& certFile,
                                                  const std::string& keyFile);
  ~TlsServerSession() override;

  bool Write(const void* data, size_t size) override;
  int ReadSome(void* buffer, int size) override;
  bool TimedOut() const override { return false; }
  // Sends a KeyUpdate that asks the peer to update its keys as well, which
  // makes the peer write while it reads.
  bool RequestKeyUpdate();

 private:
  TlsServerSession() = default;
  void* ctx_ = nullptr;
  void* ssl_ = nullptr;
};
