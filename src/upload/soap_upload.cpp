#include "upload/soap_upload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

#include "base/regular_file.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "config/settings.h"
#include "upload/base64.h"
#include "upload/connect_tunnel.h"
#include "upload/deadline.h"
#include "upload/http_address.h"
#include "upload/http_response.h"
#include "upload/soap_request.h"
#include "upload/tcp_connection.h"
#include "upload/tls_library.h"
#include "upload/tls_session.h"

namespace {

// With Timeout=0 no single step is bounded, but the upload as a whole is.
constexpr int64_t kUnboundedStepsSeconds = 3600;
constexpr uint64_t kFileBytesPerSecond = 16 * 1024;
// How often a wait between attempts looks whether the run was stopped.
constexpr std::chrono::milliseconds kStopCheck(50);

bool SendRequest(Transport& out, int fd, uint64_t size, const SoapRequestTexts& texts) {
  const std::string start = texts.head + texts.envelopeHead;
  return out.Write(start.data(), start.size()) && SendFileAsBase64(out, fd, size) &&
         out.Write(texts.envelopeTail.data(), texts.envelopeTail.size());
}

// What every attempt shares.
struct Upload {
  const UploadSettings& settings;
  UploadObserver& observer;
  int fd;
  uint64_t size;
  std::string fileName;
  HttpTarget target;
  std::optional<ProxyUrl> proxy;
  const TlsLibrary* tls;  // for https:// only
  Deadline deadline;
};

// How one attempt ended: the server's result text, or why not and whether
// another attempt may do better.
struct Attempt {
  Result<std::string> result;
  bool retryable = false;
};

Attempt Failed(Failure failure, bool retryable = false) { return {std::move(failure), retryable}; }

// To the proxy, or directly to the server.
Status Connect(const Upload& u, TcpConnection& connection, bool& retryable) {
  const std::string host = UnbracketedHost(u.proxy ? u.proxy->host : u.target.host);
  Status connected = connection.Connect(host, u.proxy ? u.proxy->port : u.target.port);
  if (connected) return connected;
  retryable = RetryableConnectError(connected.failure().error, connection.TimedOut());
  if (connection.TimedOut()) return ReasonFailure(kUploadNoConnection, kUploadTimedOut);
  return connected;
}

// Judges the answer to the request.
Attempt Judge(const Upload& u, const HttpResponseParser& response, const TlsSession* tls) {
  // A server that ends the session with an alert (a client certificate it
  // wants) says so, not with an answer.
  if (tls && response.text().empty() && !tls->alert().empty())
    return Failed(ReasonFailure(kUploadNoTls, tls->alert()));
  if (u.proxy && !u.target.tls && response.status() == 407)
    return Failed(ReasonFailure(kUploadNoProxy, std::string(kProxyAuthenticationRequired)));
  const bool busy = RetryableStatus(response.status());
  const UploadVerdict verdict = JudgeHttpResponse(response.status(), response.body());
  if (!verdict.tagsFound)
    return Failed(ReasonFailure(kUploadBadResponse, std::string(TextUpToNul(
                                                        response.text().data(), response.text().size()))),
                  busy);
  if (!verdict.accepted)
    return Failed(ReasonFailure(kUploadRefused, std::to_string(response.status())), busy);
  if (!verdict.ok) return Failed(ReasonFailure(kUploadNotOk, verdict.resultText));
  return {verdict.resultText};
}

Attempt TryUpload(const Upload& u) {
  TcpConnection connection;
  connection.SetTimeout(u.settings.timeoutSeconds);
  connection.SetDeadline(u.deadline);
  bool retryable = false;
  if (Status connected = Connect(u, connection, retryable); !connected)
    return Failed(connected.failure(), retryable);
  Transport* transport = &connection;
  std::optional<TunnelTransport> tunnel;
  if (u.proxy && u.target.tls) {
    const ConnectAnswer answer = ExchangeConnect(connection, ConnectRequest(u.target, *u.proxy));
    if (std::string refusal = ConnectRefusal(answer); !refusal.empty())
      return Failed(ReasonFailure(kUploadNoProxy, std::move(refusal)), RetryableStatus(answer.status));
    tunnel.emplace(connection, answer.early);
    transport = &*tunnel;
  }
  std::unique_ptr<TlsSession> tls;
  if (u.target.tls) {
    if (!u.tls) return Failed(ReasonFailure(kUploadNoTls, "no TLS library found"));
    const TlsFiles files{u.settings.caFile, u.settings.certFile, u.settings.keyFile};
    auto session = TlsSession::Connect(*u.tls, *transport, UnbracketedHost(u.target.host), files);
    if (!session) {
      const Failure& failure = session.failure();
      return Failed(ReasonFailure(kUploadNoTls, failure.reason), failure.what == kTlsHandshakeFailed);
    }
    tls = session.TakeValue();
    transport = tls.get();
  }
  u.observer.Reached(UploadProgress::kConnected);

  // Through a proxy a plain request names the whole address.
  const bool proxied = u.proxy && !u.target.tls;
  const SoapRequestTexts texts = BuildSoapRequest(
      u.target.host, u.target.path, u.settings.username, u.settings.password, u.fileName,
      Base64Length(u.size), proxied ? AbsoluteOrigin(u.target) : std::string(),
      proxied ? ProxyAuthorizationLine(*u.proxy) : std::string());
  if (::lseek(u.fd, 0, SEEK_SET) != 0 || !SendRequest(*transport, u.fd, u.size, texts)) {
    if (tls && tls->alert().empty() && !transport->TimedOut()) {
      // A server that refused the session may have said why before it went.
      char ignored;
      (void)tls->ReadSome(&ignored, 1);
    }
    if (tls && !tls->alert().empty()) return Failed(ReasonFailure(kUploadNoTls, tls->alert()));
    return Failed(ReasonFailure(kUploadNotSent, transport->TimedOut() ? kUploadTimedOut : ""));
  }
  u.observer.Reached(UploadProgress::kSent);

  // A reset or a time-out ends the receiving, and what arrived is judged.
  const HttpResponseParser response = ReceiveHttpResponse(*transport);
  if (transport->TimedOut()) u.observer.Reached(UploadProgress::kAnswerTimedOut);
  return Judge(u, response, tls.get());
}

// Whether the client key can be read by more than its owner.
bool KeyFileReadableByOthers(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

// Sleeps `wait`, or less when the deadline passes (or the run is stopped).
void WaitBeforeRetry(std::chrono::seconds wait, const Deadline& deadline) {
  const auto end = Deadline::Clock::now() + wait;
  while (!deadline.Passed() && Deadline::Clock::now() < end)
    std::this_thread::sleep_for(std::min<Deadline::Clock::duration>(kStopCheck, end - Deadline::Clock::now()));
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

Result<UploadReceipt> UploadScanFile(const std::string& filePath, const UploadSettings& settings,
                                     const UploadOptions& options, UploadObserver& observer) {
  struct stat st {};
  auto opened = OpenRegularAt(AT_FDCWD, filePath.c_str(),
                              OpenMode{.followLinks = true, .keepAccessTime = false}, &st);
  if (!opened) return ErrnoFailure(kUploadNoFile, opened.failure().error);
  UniqueFd fd = opened.TakeValue();
  const HttpTarget target = ParseHttpAddress(settings.address);
  Result<std::optional<ProxyUrl>> proxy = ChooseProxy(settings.proxy, target, options.environment);
  if (!proxy) return proxy.failure();
  if (*proxy) observer.ThroughProxy(MaskedProxyUrl(**proxy));
  std::unique_ptr<TlsLibrary> tls;
  if (target.tls) {
    tls = TlsLibrary::Load(options.tlsLibraries.empty() ? DefaultTlsLibraryNames()
                                                        : options.tlsLibraries);
    const std::string& key = settings.keyFile.empty() ? settings.certFile : settings.keyFile;
    if (KeyFileReadableByOthers(key)) observer.KeyFileReadable(key);
  }
  const auto size = static_cast<uint64_t>(st.st_size);
  const std::chrono::seconds waits = RetryWaitsTotal(options.retryWaits, settings.retries);
  Deadline deadline = Deadline::In(UploadTimeLimit(settings.timeoutSeconds, size, waits));
  if (options.stopped) deadline.EndWhen(options.stopped);
  const Upload upload{settings, observer, fd.Get(), size, FileNameOf(filePath),
                      target,   *proxy,   tls.get(), deadline};
  for (int retry = 0;; ++retry) {
    Attempt attempt = TryUpload(upload);
    if (attempt.result) return UploadReceipt{attempt.result.TakeValue(), {st.st_dev, st.st_ino}};
    const std::chrono::seconds wait = RetryWait(options.retryWaits, retry);
    if (!attempt.retryable || retry >= settings.retries || !deadline.Allows(wait))
      return attempt.result.failure();
    observer.Retrying(wait, attempt.result.failure());
    WaitBeforeRetry(wait, deadline);
    if (deadline.Passed()) return attempt.result.failure();
  }
}
