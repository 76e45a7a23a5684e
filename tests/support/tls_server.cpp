#include "tls_server.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>

std::unique_ptr<TlsServerSession> TlsServerSession::Accept(int fd, const std::string& certFile,
                                                           const std::string& keyFile) {
  const timeval limit{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  std::unique_ptr<TlsServerSession> session(new TlsServerSession);
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  session->ctx_ = ctx;
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
    return nullptr;
  SSL* ssl = SSL_new(ctx);
  session->ssl_ = ssl;
  if (!ssl || SSL_set_fd(ssl, fd) != 1 || SSL_accept(ssl) != 1) return nullptr;
  return session;
}

TlsServerSession::~TlsServerSession() {
  if (ssl_) SSL_free(static_cast<SSL*>(ssl_));
  if (ctx_) SSL_CTX_free(static_cast<SSL_CTX*>(ctx_));
}

bool TlsServerSession::Write(const void* data, size_t size) {
  return SSL_write(static_cast<SSL*>(ssl_), data, static_cast<int>(size)) == static_cast<int>(size);
}

int TlsServerSession::ReadSome(void* buffer, int size) {
  const int n = SSL_read(static_cast<SSL*>(ssl_), buffer, size);
  return n > 0 ? n : SSL_get_error(static_cast<SSL*>(ssl_), n) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
}

bool TlsServerSession::RequestKeyUpdate() {
  auto* ssl = static_cast<SSL*>(ssl_);
  return SSL_key_update(ssl, SSL_KEY_UPDATE_REQUESTED) == 1 && SSL_do_handshake(ssl) == 1;
}
