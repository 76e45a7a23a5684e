// A TLS connection carried by another Transport (the TCP connection), read
// and written through the same interface. The library only ever sees
// memory buffers: the session moves the records, so every wait keeps the
// connection's bounds and no write can raise SIGPIPE.
#pragma once

#include <memory>
#include <string>

#include "base/failure.h"
#include "upload/tls_library.h"
#include "upload/transport.h"

// The files the client's TLS context loads; empty names load nothing.
struct TlsFiles {
  std::string caFile;    // trusted certificates; empty: the system's
  std::string certFile;  // the client's certificate chain (PEM)
  std::string keyFile;   // its unencrypted key (PEM); empty: in certFile
};

// How a TLS connection failed, as Failure::what: the handshake itself (worth
// another try), or the set-up or the server's certificate (never better on
// a second try).
inline constexpr char kTlsFailed[] = "TLS";
inline constexpr char kTlsHandshakeFailed[] = "TLS handshake";

class TlsSession : public Transport {
 public:
  // Handshake as a client over `connection`, which must outlive the
  // session: server name sent, certificate verified against `files.caFile`
  // (or the system's trusted certificates when empty) and checked against
  // `host` (a name, or an IPv4 or IPv6 address without brackets); the
  // client certificate offered when `files` name one. Fails as kTlsFailed
  // or kTlsHandshakeFailed, with the reason as the log says it: the text of
  // the alert when the server ended the handshake with one.
  static Result<std::unique_ptr<TlsSession>> Connect(const TlsLibrary& library,
                                                     Transport& connection,
                                                     const std::string& host,
                                                     const TlsFiles& files);
  ~TlsSession() override;
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  bool Write(const void* data, size_t size) override;
  int ReadSome(void* buffer, int size) override;
  bool TimedOut() const override { return timedOut_; }
  // The text of the fatal alert the peer sent ("certificate required");
  // empty when none came.
  const std::string& alert() const { return alert_; }

 private:
  TlsSession(const TlsFunctions& fn, Transport& connection, void* ctx)
      : fn_(fn), connection_(connection), ctx_(ctx) {}
  // Runs the handshake.
  Status Handshake();
  // Calls `call` (a library call on ssl_) until it stops waiting for the
  // peer, sending what it wrote and feeding it what arrives: its result
  // when positive, 0 when the peer closed, -1 on failure. `mustSend`: the
  // call failed unless what it wrote went out.
  template <typename Call>
  int Drive(Call call, bool mustSend);
  // Sends what the library wrote; false once a send has failed.
  bool Flush();
  // Gives the library what arrives next; false on a reset or time-out.
  bool Fill();
  // Keeps the text of an alert the peer sent, found in the library's errors.
  void NoteAlert();

  const TlsFunctions& fn_;
  Transport& connection_;
  void* ctx_ = nullptr;
  void* ssl_ = nullptr;
  void* input_ = nullptr;   // memory buffers, owned by ssl_
  void* output_ = nullptr;
  bool established_ = false;
  bool peerClosed_ = false;
  bool sendFailed_ = false;
  bool timedOut_ = false;
  std::string alert_;
};
