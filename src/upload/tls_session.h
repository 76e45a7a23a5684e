// A TLS connection over an already connected socket, read and written
// through the same Transport interface as a plain one.
#pragma once

#include <memory>
#include <string>

#include "upload/tls_library.h"
#include "upload/transport.h"

class TlsSession : public Transport {
 public:
  // Handshake as a client: server name sent, certificate verified against
  // `caFile` (or the system's trusted certificates when empty) and checked
  // against `host`. Null on failure, with a one-line `reason`.
  static std::unique_ptr<TlsSession> Connect(const TlsLibrary& library, int fd,
                                             const std::string& host, const std::string& caFile,
                                             std::string& reason);
  ~TlsSession() override;
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  bool Write(const void* data, size_t size) override;
  int Read(void* buffer, int size) override;
  bool TimedOut() const override { return timedOut_; }

 private:
  TlsSession(const TlsFunctions& fn, void* ctx) : fn_(fn), ctx_(ctx) {}
  // Runs the handshake; on failure fills `reason`.
  bool Handshake(std::string& reason);
  // True when `result` of a call failed because the socket ran out of time.
  bool IsTimeout(int result) const;

  const TlsFunctions& fn_;
  void* ctx_ = nullptr;
  void* ssl_ = nullptr;
  bool established_ = false;
  bool timedOut_ = false;
};
