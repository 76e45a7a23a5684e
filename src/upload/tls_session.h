// A TLS connection over an already connected socket, read and written
// through the same Transport interface as a plain one.
#pragma once

#include <memory>
#include <string>

#include "upload/tls_library.h"
#include "upload/transport.h"

class TlsSession;

// A TLS connection, or the one line that says why there is none.
struct TlsConnect {
  std::unique_ptr<TlsSession> session;
  std::string failure;
};

class TlsSession : public Transport {
 public:
  // Handshake as a client: server name sent, certificate verified against
  // `caFile` (or the system's trusted certificates when empty) and checked
  // against `host`.
  static TlsConnect Connect(const TlsLibrary& library, int fd, const std::string& host,
                            const std::string& caFile);
  ~TlsSession() override;
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  bool Write(const void* data, size_t size) override;
  int Read(void* buffer, int size) override;
  bool TimedOut() const override { return timedOut_; }

 private:
  TlsSession(const TlsFunctions& fn, void* ctx) : fn_(fn), ctx_(ctx) {}
  // Runs the handshake; empty when it succeeded, else why it failed.
  std::string Handshake();
  // True when `result` of a call failed because the socket ran out of time.
  bool IsTimeout(int result) const;

  const TlsFunctions& fn_;
  void* ctx_ = nullptr;
  void* ssl_ = nullptr;
  bool established_ = false;
  bool timedOut_ = false;
};
