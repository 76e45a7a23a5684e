#include "tls_server.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>

std::unique_ptr<TlsServerSession> TlsServerSession::Accept(int fd, const std::string& certFile,
                                                           const std::string& keyFile,
                                                           const std::string& clientCa) {
  const timeval limit{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  std::unique_ptr<TlsServerSession> session(new TlsServerSession);
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  session->ctx_ = ctx;
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
    return nullptr;
  if (!clientCa.empty()) {
    if (SSL_CTX_load_verify_locations(ctx, clientCa.c_str(), nullptr) != 1) return nullptr;
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
  }
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

const scanunix_test::TempDir* TestCertificates() {
  static scanunix_test::TempDir dir;
  static const bool made = [] {
    const std::string req =
        " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -addext ";
    const std::string leaf = req + "basicConstraints=CA:FALSE -CA ca.pem -CAkey ca.key -subj /CN=";
    const std::string commands = "exec >/dev/null 2>&1 && cd '" + dir.path().string() + "'" + req +
        "basicConstraints=CA:TRUE -keyout ca.key -out ca.pem -subj /CN=ca" + leaf +
        "good -keyout good.key -out good.pem -addext "
        "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" +
        leaf + "other -keyout other.key -out other.pem -addext subjectAltName=DNS:other.example" +
        leaf + "client -keyout client.key -out client.pem && chmod 600 client.key";
    return std::system(commands.c_str()) == 0;
  }();
  return made ? &dir : nullptr;
}

LoopbackServer::Handler TlsServer(const std::string& name, TlsHandler serve, bool clientCa) {
  if (!serve) serve = [](TlsServerSession& t, TcpConnection&) { return Answer(t, SoapAnswer("OK")); };
  return [name, serve, clientCa](TcpConnection& c) {
    const scanunix_test::TempDir& certs = *TestCertificates();
    auto session = TlsServerSession::Accept(c.Get(), certs / (name + ".pem"),
                                            certs / (name + ".key"),
                                            clientCa ? (certs / "ca.pem").string() : "");
    return session ? serve(*session, c) : "";
  };
}
