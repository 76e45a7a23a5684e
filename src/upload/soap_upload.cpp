#include "upload/soap_upload.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "base/unique_fd.h"
#include "upload/base64.h"
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

}  // namespace

std::chrono::seconds UploadTimeLimit(int timeoutSeconds, uint64_t fileBytes) {
  const int64_t steps = timeoutSeconds > 0 ? 2 * int64_t{timeoutSeconds} : kUnboundedStepsSeconds;
  const uint64_t transfer =
      fileBytes / kFileBytesPerSecond + (fileBytes % kFileBytesPerSecond != 0 ? 1 : 0);
  // Past any clock's range anyway; kept from overflowing the sum.
  const int64_t cap = int64_t{1} << 40;
  return std::chrono::seconds(steps + static_cast<int64_t>(std::min<uint64_t>(transfer, cap)));
}

bool UploadScanFile(const std::string& filePath, const UploadSettings& settings, Log& log,
                    const std::vector<std::string>& tlsLibraries,
                    const std::function<bool()>& stopped) {
  log.Progress("UploadFileHttp\n");
  UniqueFd fd(::open(filePath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const auto size = static_cast<uint64_t>(st.st_size);
  const HttpTarget target = ParseHttpAddress(settings.address);

  TcpConnection connection;
  connection.SetTimeout(settings.timeoutSeconds);
  Deadline deadline = Deadline::In(UploadTimeLimit(settings.timeoutSeconds, size));
  if (stopped) deadline.EndWhen(stopped);
  connection.SetDeadline(deadline);
  if (!connection.Connect(target.host, target.port)) {
    log.Message("error connect HTTP\n");
    if (connection.TimedOut()) log.Message("HTTP timeout");
    return false;
  }
  Transport* transport = &connection;
  std::unique_ptr<TlsLibrary> tlsLibrary;
  std::unique_ptr<TlsSession> tls;
  if (target.tls) {
    tlsLibrary = TlsLibrary::Load(tlsLibraries);
    if (!tlsLibrary) {
      log.Message("TLS: no TLS library found");
      return false;
    }
    TlsConnect connect = TlsSession::Connect(*tlsLibrary, connection, target.host, settings.caFile);
    if (!connect.session) {
      log.Message(connect.failure);
      return false;
    }
    tls = std::move(connect.session);
    transport = tls.get();
  }
  Tell(log, "HTTP Connect OK\n", "HTTP Connect OK\n");

  const SoapRequestTexts texts =
      BuildSoapRequest(target.host, target.path, settings.username, settings.password,
                       FileNameOf(filePath), Base64Length(size));
  if (!SendRequest(*transport, fd.Get(), size, texts)) {
    if (transport->TimedOut()) log.Message("HTTP timeout");
    return false;
  }
  fd.Reset();
  Tell(log, "HTTP Write OK\n", "HTTP Write OK\n");

  // A reset or a time-out ends the receiving, and what arrived is judged.
  const HttpResponseParser response = ReceiveHttpResponse(*transport);
  if (transport->TimedOut()) log.Message("HTTP timeout");
  const UploadVerdict verdict = JudgeHttpResponse(response.status(), response.body());
  if (!verdict.tagsFound) {
    log.Message("bad response from HTTP\n");
    log.Message(LoggedText(response.text()));
    return false;
  }
  if (!verdict.accepted) {
    log.Message("HTTP status " + std::to_string(response.status()));
    return false;
  }
  if (verdict.ok) Tell(log, verdict.resultText, "HTTP Uploaded OK\n");
  return verdict.ok;
}
