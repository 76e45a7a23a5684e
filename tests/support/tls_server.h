// The server side of a TLS connection for tests, on the system's OpenSSL.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "loopback_server.h"
#include "temp_dir.h"
#include "upload/transport.h"

class TlsServerSession : public Transport {
 public:
  // Handshake as a server over the connected socket `fd` with the PEM
  // certificate chain and key; null on failure.
  // Each receive and send on `fd` gives up after ten seconds, so a client
  // that stalls cannot hold a test. With `clientCa` a client certificate
  // it signed is required.
  static std::unique_ptr<TlsServerSession> Accept(int fd, const std::string& certFile,
                                                  const std::string& keyFile,
                                                  const std::string& clientCa = {});
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

// A folder with a test CA (ca.pem), certificates it signs for localhost,
// 127.0.0.1 and ::1 ("good"), for another host ("other") and for a client
// ("client"), each with its .key, made once by the openssl command; null
// when that failed.
const scanunix_test::TempDir* TestCertificates();

// A server that completes the handshake with the certificate `name` (asking
// for a client certificate when `clientCa`) and then serves (by default:
// answers OK); gives nothing when the handshake fails.
using TlsHandler = std::function<std::string(TlsServerSession&, TcpConnection&)>;
LoopbackServer::Handler TlsServer(const std::string& name, TlsHandler serve = nullptr,
                                  bool clientCa = false);
