#include "upload/soap_upload.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "base/unique_fd.h"
#include "upload/base64.h"
#include "upload/http_address.h"
#include "upload/http_response.h"
#include "upload/soap_request.h"
#include "upload/tcp_connection.h"
#include "upload/tls_session.h"

namespace {

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

}  // namespace

bool UploadScanFile(const std::string& filePath, const UploadSettings& settings, Log& log,
                    const std::vector<std::string>& tlsLibraries) {
  log.Progress("UploadFileHttp\n");
  const HttpTarget target = ParseHttpAddress(settings.address);

  TcpConnection connection;
  connection.SetTimeout(settings.timeoutSeconds);
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
    TlsConnect connect =
        TlsSession::Connect(*tlsLibrary, connection.handle(), target.host, settings.caFile);
    if (!connect.session) {
      log.Message(connect.failure);
      return false;
    }
    tls = std::move(connect.session);
    transport = tls.get();
  }
  Tell(log, "HTTP Connect OK\n", "HTTP Connect OK\n");

  UniqueFd fd(::open(filePath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const auto size = static_cast<uint64_t>(st.st_size);

  const SoapRequestTexts texts =
      BuildSoapRequest(target.host, target.path, settings.username, settings.password,
                       FileNameOf(filePath), Base64Length(size));
  if (!SendRequest(*transport, fd.Get(), size, texts)) {
    if (transport->TimedOut()) log.Message("HTTP timeout");
    return false;
  }
  fd.Reset();
  Tell(log, "HTTP Write OK\n", "HTTP Write OK\n");

  const std::string response = ReceiveHttpResponse(*transport);
  if (transport->TimedOut()) log.Message("HTTP timeout");
  const UploadVerdict verdict = JudgeHttpResponse(response);
  if (!verdict.tagsFound) {
    log.Message("bad response from HTTP\n");
    log.Message(response.substr(0, response.find('\0')));
    return false;
  }
  if (verdict.ok) Tell(log, verdict.resultText, "HTTP Uploaded OK\n");
  return verdict.ok;
}
