#include "upload/tls_session.h"

#include <arpa/inet.h>

#include <algorithm>
#include <string_view>

namespace {

// Values of the library's public interface.
constexpr int kVerifyPeer = 0x01;
constexpr int kCtrlSetMinProtoVersion = 123;
constexpr long kTls12Version = 0x0303;
constexpr int kCtrlSetTlsextHostname = 55;
constexpr long kNameTypeHostName = 0;
constexpr uint64_t kOptIgnoreUnexpectedEof = uint64_t{1} << 7;
constexpr int kCtrlSetBufMemEofReturn = 130;
constexpr int kFileTypePem = 1;
constexpr int kErrorNone = 0;
constexpr int kErrorSsl = 1;
constexpr int kErrorWantRead = 2;
constexpr int kErrorSyscall = 5;
constexpr int kErrorZeroReturn = 6;

// The most one TLS record carries, and one whole record: what is moved per step.
constexpr size_t kRecordPayload = 16384;
constexpr int kRecordBytes = kRecordPayload + 512;

Failure TlsFailure(std::string why) { return ReasonFailure(kTlsFailed, std::move(why)); }

bool IsIpLiteral(const std::string& host) {
  in6_addr ignored{};
  return ::inet_pton(AF_INET, host.c_str(), &ignored) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), &ignored) == 1;
}

// An encrypted key fails at once instead of asking on the terminal.
int NoPassphrase(char*, int, int, void*) { return 0; }

}  // namespace

Result<std::unique_ptr<TlsSession>> TlsSession::Connect(const TlsLibrary& library,
                                                       Transport& connection,
                                                       const std::string& host,
                                                       const TlsFiles& files) {
  const std::string& caFile = files.caFile;
  const TlsFunctions& fn = library.fn();
  fn.ERR_clear_error();
  void* ctx = fn.SSL_CTX_new(fn.TLS_client_method());
  if (!ctx) return TlsFailure("cannot set up a TLS context");
  std::unique_ptr<TlsSession> session(new TlsSession(fn, connection, ctx));
  fn.SSL_CTX_ctrl(ctx, kCtrlSetMinProtoVersion, kTls12Version, nullptr);
  if (fn.SSL_CTX_set_options) fn.SSL_CTX_set_options(ctx, kOptIgnoreUnexpectedEof);
  if (!caFile.empty()) {
    if (fn.SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1)
      return TlsFailure("cannot load CAFile " + caFile);
  } else if (fn.SSL_CTX_set_default_verify_paths(ctx) != 1) {
    return TlsFailure("cannot load the system's trusted certificates");
  }
  if (!files.certFile.empty()) {
    const std::string& keyFile = files.keyFile.empty() ? files.certFile : files.keyFile;
    fn.SSL_CTX_set_default_passwd_cb(ctx, NoPassphrase);
    if (fn.SSL_CTX_use_certificate_chain_file(ctx, files.certFile.c_str()) != 1)
      return TlsFailure("cannot load CertFile " + files.certFile);
    if (fn.SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), kFileTypePem) != 1)
      return TlsFailure("cannot load KeyFile " + keyFile);
    if (fn.SSL_CTX_check_private_key(ctx) != 1)
      return TlsFailure("KeyFile " + keyFile + " does not match CertFile " + files.certFile);
  }
  fn.SSL_CTX_set_verify(ctx, kVerifyPeer, nullptr);
  session->ssl_ = fn.SSL_new(ctx);
  if (!session->ssl_) return TlsFailure("cannot set up a TLS connection");
  void* input = fn.BIO_new(fn.BIO_s_mem());
  void* output = fn.BIO_new(fn.BIO_s_mem());
  if (!input || !output) {
    if (input) fn.BIO_free(input);
    if (output) fn.BIO_free(output);
    return TlsFailure("cannot set up a TLS connection");
  }
  fn.SSL_set_bio(session->ssl_, input, output);
  session->input_ = input;
  session->output_ = output;
  bool named;
  if (IsIpLiteral(host)) {
    // An address is checked against the certificate's IP entries; it is
    // never sent as a server name.
    named = fn.X509_VERIFY_PARAM_set1_ip_asc(fn.SSL_get0_param(session->ssl_), host.c_str()) == 1;
  } else {
    named = fn.SSL_ctrl(session->ssl_, kCtrlSetTlsextHostname, kNameTypeHostName,
                        const_cast<char*>(host.c_str())) == 1 &&
            fn.SSL_set1_host(session->ssl_, host.c_str()) == 1;
  }
  if (!named) return TlsFailure("cannot check the certificate against host " + host);
  if (Status handshake = session->Handshake(); !handshake) return handshake.failure();
  return session;
}

TlsSession::~TlsSession() {
  if (ssl_) {
    if (established_ && !sendFailed_) {
      fn_.SSL_shutdown(ssl_);
      Flush();
    }
    fn_.SSL_free(ssl_);
  }
  if (ctx_) fn_.SSL_CTX_free(ctx_);
}

template <typename Call>
int TlsSession::Drive(Call call, bool mustSend) {
  for (;;) {
    fn_.ERR_clear_error();
    const int result = call();
    // Asked before the buffers are touched again, which would change the answer.
    const int error = result > 0 ? kErrorNone : fn_.SSL_get_error(ssl_, result);
    if (error == kErrorSsl) NoteAlert();
    if (!Flush() && mustSend) return -1;
    if (error == kErrorNone) return result;
    if (error != kErrorWantRead) {
      const bool closed = error == kErrorZeroReturn || (error == kErrorSyscall && peerClosed_);
      return closed ? 0 : -1;
    }
    if (peerClosed_) return 0;  // nothing more will come
    if (!Fill()) return -1;
  }
}

bool TlsSession::Flush() {
  if (sendFailed_) return false;
  char buffer[kRecordBytes];
  for (int n; (n = fn_.BIO_read(output_, buffer, sizeof buffer)) > 0;) {
    if (!connection_.Write(buffer, static_cast<size_t>(n))) {
      sendFailed_ = true;
      return false;
    }
  }
  return true;
}

bool TlsSession::Fill() {
  char buffer[kRecordBytes];
  const int n = connection_.ReadSome(buffer, sizeof buffer);
  if (n < 0) return false;
  if (n == 0) {
    // From now on an empty buffer reads as the end of the stream.
    peerClosed_ = true;
    fn_.BIO_ctrl(input_, kCtrlSetBufMemEofReturn, 0, nullptr);
    return true;
  }
  return fn_.BIO_write(input_, buffer, n) == n;
}

// The library names a received alert "tlsv13 alert certificate required",
// "sslv3 alert handshake failure", ...: the words after "alert " are its text.
void TlsSession::NoteAlert() {
  constexpr std::string_view kMark = " alert ";
  for (unsigned long code; (code = fn_.ERR_get_error()) != 0;) {
    const char* reason = fn_.ERR_reason_error_string(code);
    const std::string_view text = reason ? reason : "";
    if (const size_t at = text.find(kMark); at != std::string_view::npos && alert_.empty())
      alert_ = text.substr(at + kMark.size());
  }
}

Status TlsSession::Handshake() {
  const int result = Drive([this] { return fn_.SSL_connect(ssl_); }, true);
  if (result == 1) {
    established_ = true;
    return {};
  }
  const long verify = fn_.SSL_get_verify_result(ssl_);
  if (verify != 0)
    return TlsFailure(std::string("certificate verify failed (") +
                      fn_.X509_verify_cert_error_string(verify) + ")");
  if (connection_.TimedOut()) {
    timedOut_ = true;
    return ReasonFailure(kTlsHandshakeFailed, "handshake timed out");
  }
  return ReasonFailure(kTlsHandshakeFailed, alert_.empty() ? "handshake failed" : alert_);
}

bool TlsSession::Write(const void* data, size_t size) {
  timedOut_ = false;
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    // A record at a time, so the library's buffer stays small.
    const int piece = static_cast<int>(std::min<size_t>(size, kRecordPayload));
    const int n = Drive([&] { return fn_.SSL_write(ssl_, p, piece); }, true);
    if (n <= 0) {
      timedOut_ = connection_.TimedOut();
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int TlsSession::ReadSome(void* buffer, int size) {
  timedOut_ = false;
  // What the library writes meanwhile (an alert, a KeyUpdate answer) may be
  // lost without losing what arrives.
  const int n = Drive([&] { return fn_.SSL_read(ssl_, buffer, size); }, false);
  if (n < 0) timedOut_ = connection_.TimedOut();
  return n;
}
