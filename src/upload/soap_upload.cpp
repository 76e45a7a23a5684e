#include "upload/soap_upload.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "base/regular_file.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "config/settings.h"
#include "upload/base64.h"
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

bool SendRequest(Transport& out, int fd, uint64_t size, const SoapRequestTexts& texts) {
  const std::string start = texts.head + texts.envelopeHead;
  return out.Write(start.data(), start.size()) && SendFileAsBase64(out, fd, size) &&
         out.Write(texts.envelopeTail.data(), texts.envelopeTail.size());
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

Result<std::string> UploadScanFile(const std::string& filePath, const UploadSettings& settings,
                                   const std::vector<std::string>& tlsLibraries,
                                   const std::function<bool()>& stopped,
                                   const std::function<void(UploadProgress)>& progress) {
  struct stat st {};
  auto opened = OpenRegularAt(AT_FDCWD, filePath.c_str(),
                              OpenMode{.followLinks = true, .keepAccessTime = false}, &st);
  if (!opened) return ErrnoFailure(kUploadNoFile, opened.failure().error);
  UniqueFd fd = opened.TakeValue();
  const auto size = static_cast<uint64_t>(st.st_size);
  const HttpTarget target = ParseHttpAddress(settings.address);

  TcpConnection connection;
  connection.SetTimeout(settings.timeoutSeconds);
  Deadline deadline = Deadline::In(UploadTimeLimit(settings.timeoutSeconds, size));
  if (stopped) deadline.EndWhen(stopped);
  connection.SetDeadline(deadline);
  if (Status connected = connection.Connect(target.host, target.port); !connected) {
    if (connection.TimedOut()) return ReasonFailure(kUploadNoConnection, kUploadTimedOut);
    return connected.failure();
  }
  Transport* transport = &connection;
  std::unique_ptr<TlsLibrary> tlsLibrary;
  std::unique_ptr<TlsSession> tls;
  if (target.tls) {
    tlsLibrary = TlsLibrary::Load(tlsLibraries);
    if (!tlsLibrary) return ReasonFailure(kUploadNoTls, "no TLS library found");
    auto session = TlsSession::Connect(*tlsLibrary, connection, target.host, settings.caFile);
    if (!session) return session.failure();
    tls = session.TakeValue();
    transport = tls.get();
  }
  progress(UploadProgress::kConnected);

  const SoapRequestTexts texts =
      BuildSoapRequest(target.host, target.path, settings.username, settings.password,
                       FileNameOf(filePath), Base64Length(size));
  if (!SendRequest(*transport, fd.Get(), size, texts))
    return ReasonFailure(kUploadNotSent, transport->TimedOut() ? kUploadTimedOut : "");
  fd.Reset();
  progress(UploadProgress::kSent);

  // A reset or a time-out ends the receiving, and what arrived is judged.
  const HttpResponseParser response = ReceiveHttpResponse(*transport);
  if (transport->TimedOut()) progress(UploadProgress::kAnswerTimedOut);
  const UploadVerdict verdict = JudgeHttpResponse(response.status(), response.body());
  if (!verdict.tagsFound)
    return ReasonFailure(kUploadBadResponse, std::string(TextUpToNul(response.text().data(), response.text().size())));
  if (!verdict.accepted) return ReasonFailure(kUploadRefused, std::to_string(response.status()));
  if (!verdict.ok) return ReasonFailure(kUploadNotOk, verdict.resultText);
  return verdict.resultText;
}
