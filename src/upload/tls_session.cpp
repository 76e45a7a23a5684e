#include "upload/tls_session.h"

#include <arpa/inet.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>

namespace {

// Values of the library's public interface.
constexpr int kVerifyPeer = 0x01;
constexpr int kCtrlSetMinProtoVersion = 123;
constexpr long kTls12Version = 0x0303;
constexpr int kCtrlSetTlsextHostname = 55;
constexpr long kNameTypeHostName = 0;
constexpr uint64_t kOptIgnoreUnexpectedEof = uint64_t{1} << 7;
constexpr int kErrorWantRead = 2;
constexpr int kErrorWantWrite = 3;
constexpr int kErrorSyscall = 5;
constexpr int kErrorZeroReturn = 6;

// The library writes to the socket with write(), so a peer that went away
// would raise SIGPIPE; hold it back and drop it instead of ending the process.
class SigPipeHeld {
 public:
  SigPipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
  }
  ~SigPipeHeld() {
    if (!alreadyPending_) {
      const timespec none{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }
  SigPipeHeld(const SigPipeHeld&) = delete;
  SigPipeHeld& operator=(const SigPipeHeld&) = delete;

 private:
  sigset_t pipe_{};
  sigset_t saved_{};
  bool alreadyPending_ = false;
};

bool IsIpv4Literal(const std::string& host) {
  in_addr ignored{};
  return ::inet_pton(AF_INET, host.c_str(), &ignored) == 1;
}

}  // namespace

TlsConnect TlsSession::Connect(const TlsLibrary& library, int fd, const std::string& host,
                               const std::string& caFile) {
  const TlsFunctions& fn = library.fn();
  fn.ERR_clear_error();
  void* ctx = fn.SSL_CTX_new(fn.TLS_client_method());
  if (!ctx) return {nullptr, "TLS: cannot set up a TLS context"};
  std::unique_ptr<TlsSession> session(new TlsSession(fn, ctx));
  fn.SSL_CTX_ctrl(ctx, kCtrlSetMinProtoVersion, kTls12Version, nullptr);
  if (fn.SSL_CTX_set_options) fn.SSL_CTX_set_options(ctx, kOptIgnoreUnexpectedEof);
  if (!caFile.empty()) {
    if (fn.SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1)
      return {nullptr, "TLS: cannot load CAFile " + caFile};
  } else if (fn.SSL_CTX_set_default_verify_paths(ctx) != 1) {
    return {nullptr, "TLS: cannot load the system's trusted certificates"};
  }
  fn.SSL_CTX_set_verify(ctx, kVerifyPeer, nullptr);
  session->ssl_ = fn.SSL_new(ctx);
  if (!session->ssl_ || fn.SSL_set_fd(session->ssl_, fd) != 1)
    return {nullptr, "TLS: cannot set up a TLS connection"};
  bool named;
  if (IsIpv4Literal(host)) {
    // An address is checked against the certificate's IP entries; it is
    // never sent as a server name.
    named = fn.X509_VERIFY_PARAM_set1_ip_asc(fn.SSL_get0_param(session->ssl_), host.c_str()) == 1;
  } else {
    named = fn.SSL_ctrl(session->ssl_, kCtrlSetTlsextHostname, kNameTypeHostName,
                        const_cast<char*>(host.c_str())) == 1 &&
            fn.SSL_set1_host(session->ssl_, host.c_str()) == 1;
  }
  if (!named) return {nullptr, "TLS: cannot check the certificate against host " + host};
  std::string failure = session->Handshake();
  if (!failure.empty()) return {nullptr, std::move(failure)};
  return {std::move(session), {}};
}

TlsSession::~TlsSession() {
  if (ssl_) {
    if (established_) {
      SigPipeHeld held;
      fn_.SSL_shutdown(ssl_);
    }
    fn_.SSL_free(ssl_);
  }
  if (ctx_) fn_.SSL_CTX_free(ctx_);
}

bool TlsSession::IsTimeout(int result) const {
  const int error = fn_.SSL_get_error(ssl_, result);
  // On a blocking socket a "want" only comes from a receive or send time-out.
  return error == kErrorWantRead || error == kErrorWantWrite ||
         (error == kErrorSyscall && (errno == EAGAIN || errno == EWOULDBLOCK));
}

std::string TlsSession::Handshake() {
  SigPipeHeld held;
  errno = 0;
  const int result = fn_.SSL_connect(ssl_);
  if (result == 1) {
    established_ = true;
    return {};
  }
  const long verify = fn_.SSL_get_verify_result(ssl_);
  if (verify != 0)
    return std::string("TLS: certificate verify failed (") +
           fn_.X509_verify_cert_error_string(verify) + ")";
  if (IsTimeout(result)) {
    timedOut_ = true;
    return "TLS: handshake timed out";
  }
  return "TLS: handshake failed";
}

bool TlsSession::Write(const void* data, size_t size) {
  SigPipeHeld held;
  timedOut_ = false;
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const int piece = static_cast<int>(std::min<size_t>(size, INT_MAX));
    fn_.ERR_clear_error();
    const int n = fn_.SSL_write(ssl_, p, piece);
    if (n <= 0) {
      timedOut_ = IsTimeout(n);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int TlsSession::Read(void* buffer, int size) {
  timedOut_ = false;
  auto* p = static_cast<char*>(buffer);
  int got = 0;
  while (got < size) {
    fn_.ERR_clear_error();
    errno = 0;
    const int n = fn_.SSL_read(ssl_, p + got, size - got);
    if (n > 0) {
      got += n;
      continue;
    }
    const int error = fn_.SSL_get_error(ssl_, n);
    // A closed connection, with or without the peer's close notice.
    if (error == kErrorZeroReturn || (error == kErrorSyscall && errno == 0)) return got;
    timedOut_ = IsTimeout(n);
    return 0;
  }
  return size;
}
