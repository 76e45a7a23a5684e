#include "upload/soap_upload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "base/unique_fd.h"
#include "upload/base64.h"
#include "upload/connect_tunnel.h"
#include "upload/deadline.h"
#include "upload/http_address.h"
#include "upload/http_response.h"
#include "upload/soap_request.h"
#include "upload/tcp_connection.h"
#include "upload/tls_session.h"

namespace {

// With Timeout=0 no single step is bounded, but the upload as a whole is.
constexpr int64_t kUnboundedStepsSeconds = 3600;
constexpr uint64_t kFileBytesPerSecond = 16 * 1024;

// What the upload tells as it goes: a message in the log when messages are
// on, else a line on standard output.
void Tell(Log& log, std::string_view logged, std::string_view printed) {
  if (log.messages())
    log.Message(logged);
  else
    log.Print(printed);
}

bool SendRequest(Transport& out, int fd, uint64_t size, const SoapRequestTexts& texts) {
  const std::string start = texts.head + texts.envelopeHead;
  return out.Write(start.data(), start.size()) && SendFileAsBase64(out, fd, size) &&
         out.Write(texts.envelopeTail.data(), texts.envelopeTail.size());
}

// The response as far as the log may show it: up to its first zero byte.
std::string_view LoggedText(const std::string& text) {
  return std::string_view(text).substr(0, text.find('\0'));
}

// How one attempt ended.
struct Attempt {
  bool ok = false;
  bool retryable = false;          // failed before the server answered, or a 503
  std::string why;                 // for the retry line
  std::vector<std::string> lines;  // what the log says when it is not tried again
};

Attempt Failed(std::vector<std::string> lines, bool retryable = false, std::string why = {}) {
  Attempt attempt;
  attempt.retryable = retryable;
  attempt.why = why.empty() && !lines.empty() ? lines.front() : std::move(why);
  attempt.lines = std::move(lines);
  return attempt;
}

// What every attempt shares.
struct Upload {
  const UploadSettings& settings;
  Log& log;
  int fd;
  uint64_t size;
  std::string fileName;
  HttpTarget target;
  std::optional<ProxyUrl> proxy;
  const TlsLibrary* tls;  // for https:// only
  Deadline deadline;
};

// Through the proxy, or directly.
Attempt Connect(const Upload& u, TcpConnection& connection) {
  const std::string host = UnbracketedHost(u.proxy ? u.proxy->host : u.target.host);
  if (connection.Connect(host, u.proxy ? u.proxy->port : u.target.port)) {
    Attempt connected;
    connected.ok = true;
    return connected;
  }
  const int error = errno;
  std::vector<std::string> lines = {"error connect HTTP\n"};
  if (connection.TimedOut()) lines.push_back("HTTP timeout");
  const std::string why = (u.proxy ? "connect to proxy: " : "connect: ") +
                          std::string(std::strerror(error));
  return Failed(std::move(lines), RetryableConnectError(error, connection.TimedOut()), why);
}

// Judges the answer the server gave to the request.
Attempt Judge(const Upload& u, const HttpResponseParser& response, bool timedOut,
              const TlsSession* tls) {
  std::vector<std::string> lines;
  if (timedOut) lines.push_back("HTTP timeout");
  // A server that ends the session with an alert (a client certificate it
  // wants) says so, not with an answer.
  if (tls && response.text().empty() && !tls->alert().empty()) {
    lines.push_back("TLS: " + tls->alert());
    return Failed(std::move(lines));
  }
  if (u.proxy && !u.target.tls && response.status() == 407) {
    lines.push_back("proxy authentication required");
    return Failed(std::move(lines));
  }
  const bool busy = RetryableStatus(response.status());
  const std::string why = "HTTP status " + std::to_string(response.status());
  const UploadVerdict verdict = JudgeHttpResponse(response.status(), response.body());
  if (!verdict.tagsFound) {
    lines.push_back("bad response from HTTP\n");
    lines.emplace_back(LoggedText(response.text()));
    return Failed(std::move(lines), busy, why);
  }
  if (!verdict.accepted) {
    lines.push_back(why);
    return Failed(std::move(lines), busy, why);
  }
  if (!verdict.ok) return Failed({});  // the server refused the file: nothing to say
  for (const std::string& line : lines) u.log.Message(line);  // a time-out after the OK
  Tell(u.log, verdict.resultText, "HTTP Uploaded OK\n");
  Attempt attempt;
  attempt.ok = true;
  return attempt;
}

Attempt TryUpload(const Upload& u) {
  TcpConnection connection;
  connection.SetTimeout(u.settings.timeoutSeconds);
  connection.SetDeadline(u.deadline);
  if (Attempt connected = Connect(u, connection); !connected.ok) return connected;
  Transport* transport = &connection;
  std::optional<TunnelTransport> tunnel;
  if (u.proxy && u.target.tls) {
    const ConnectAnswer answer = ExchangeConnect(connection, ConnectRequest(u.target, *u.proxy));
    if (std::string refusal = ConnectRefusal(answer); !refusal.empty()) {
      std::vector<std::string> lines = {refusal};
      if (answer.timedOut) lines.push_back("HTTP timeout");
      return Failed(std::move(lines), RetryableStatus(answer.status));
    }
    tunnel.emplace(connection, answer.early);
    transport = &*tunnel;
  }
  std::unique_ptr<TlsSession> tls;
  if (u.target.tls) {
    if (!u.tls) return Failed({"TLS: no TLS library found"});
    const TlsFiles files{u.settings.caFile, u.settings.certFile, u.settings.keyFile};
    TlsConnect connect =
        TlsSession::Connect(*u.tls, *transport, UnbracketedHost(u.target.host), files);
    if (!connect.session) return Failed({connect.failure}, connect.handshakeFailed);
    tls = std::move(connect.session);
    transport = tls.get();
  }
  Tell(u.log, "HTTP Connect OK\n", "HTTP Connect OK\n");

  // Through a proxy a plain request names the whole address.
  const bool proxied = u.proxy && !u.target.tls;
  const SoapRequestTexts texts = BuildSoapRequest(
      u.target.host, u.target.path, u.settings.username, u.settings.password, u.fileName,
      Base64Length(u.size), proxied ? AbsoluteOrigin(u.target) : std::string(),
      proxied ? ProxyAuthorizationLine(*u.proxy) : std::string());
  if (::lseek(u.fd, 0, SEEK_SET) != 0 || !SendRequest(*transport, u.fd, u.size, texts)) {
    std::vector<std::string> lines;
    if (transport->TimedOut()) lines.push_back("HTTP timeout");
    if (tls && !tls->alert().empty()) lines.push_back("TLS: " + tls->alert());
    return Failed(std::move(lines));
  }
  Tell(u.log, "HTTP Write OK\n", "HTTP Write OK\n");

  // A reset or a time-out ends the receiving, and what arrived is judged.
  const HttpResponseParser response = ReceiveHttpResponse(*transport);
  return Judge(u, response, transport->TimedOut(), tls.get());
}

// Warns once when the client key can be read by more than its owner.
void CheckKeyFile(const UploadSettings& settings, Log& log) {
  const std::string& key = settings.keyFile.empty() ? settings.certFile : settings.keyFile;
  struct stat st {};
  if (key.empty() || ::stat(key.c_str(), &st) != 0) return;
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
    log.Message("warning: KeyFile " + key + " can be read by group or others");
}

}  // namespace

std::chrono::seconds UploadTimeLimit(int timeoutSeconds, uint64_t fileBytes,
                                     std::chrono::seconds waits) {
  const int64_t steps = timeoutSeconds > 0 ? 2 * int64_t{timeoutSeconds} : kUnboundedStepsSeconds;
  const uint64_t transfer =
      fileBytes / kFileBytesPerSecond + (fileBytes % kFileBytesPerSecond != 0 ? 1 : 0);
  // Past any clock's range anyway; kept from overflowing the sum.
  const int64_t cap = int64_t{1} << 40;
  return std::chrono::seconds(steps + static_cast<int64_t>(std::min<uint64_t>(transfer, cap)) +
                              std::clamp<int64_t>(waits.count(), 0, cap));
}

UploadOutcome UploadScanFile(const std::string& filePath, const UploadSettings& settings, Log& log,
                             const UploadOptions& options) {
  log.Progress("UploadFileHttp\n");
  UploadOutcome outcome;
  UniqueFd fd(::open(filePath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return outcome;
  outcome.sent = {st.st_dev, st.st_ino};
  const HttpTarget target = ParseHttpAddress(settings.address);
  Result<std::optional<ProxyUrl>> proxy = ChooseProxy(settings.proxy, target, options.environment);
  if (!proxy) {
    log.Message(proxy.failure().reason);
    return outcome;
  }
  if (*proxy) log.Progress("HTTP proxy " + MaskedProxyUrl(**proxy));
  std::unique_ptr<TlsLibrary> tls;
  if (target.tls) {
    tls = TlsLibrary::Load(options.tlsLibraries);
    CheckKeyFile(settings, log);
  }
  const auto size = static_cast<uint64_t>(st.st_size);
  const std::chrono::seconds waits = RetryWaitsTotal(options.retryWaits, settings.retries);
  const Upload upload{settings,  log,   fd.Get(), size,
                      FileNameOf(filePath), target, *proxy, tls.get(),
                      Deadline::In(UploadTimeLimit(settings.timeoutSeconds, size, waits))};
  for (int retry = 0;; ++retry) {
    const Attempt attempt = TryUpload(upload);
    if (attempt.ok) {
      outcome.ok = true;
      return outcome;
    }
    const std::chrono::seconds wait = RetryWait(options.retryWaits, retry);
    if (!attempt.retryable || retry >= settings.retries || !upload.deadline.Allows(wait)) {
      for (const std::string& line : attempt.lines) log.Message(line);
      return outcome;
    }
    log.Message("upload failed, retrying in " + std::to_string(wait.count()) +
                " s: " + attempt.why);
    std::this_thread::sleep_for(wait);
  }
}
