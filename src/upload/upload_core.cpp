#include "upload/upload_core.h"

#include <fcntl.h>
#include <sys/stat.h>


#include "scan/unique_fd.h"
#include "upload/base64.h"
#include "upload/http_response.h"
#include "upload/soap_request.h"
#include "upload/socket_transport.h"
#include "upload/tls_session.h"
#include "upload/wiz_socket.h"

namespace {

// A message that goes to the log when logging is on, else to standard output.
void Progress(const UploadOptions& options, UploadReporter& report, std::string_view logged,
              std::string_view printed) {
  if (options.logging != 0)
    report.Log(logged);
  else
    report.Print(printed);
}

bool SendRequest(CTransport& out, int fd, uint64_t size, const SoapRequestTexts& texts) {
  const std::string start = texts.head + texts.envelopeHead;
  return out.Write(start.data(), start.size()) && SendFileAsBase64(out, fd, size) &&
         out.Write(texts.envelopeTail.data(), texts.envelopeTail.size());
}

}  // namespace

bool UploadScanFile(const std::string& filePath, const std::string& host,
                    const std::string& path, int port, const std::string& user,
                    const std::string& password, const UploadOptions& options,
                    UploadReporter& report) {
  if (options.logging != 0) report.Log("UploadFileHttp\n");

  CWizReadWriteSocket socket(static_cast<unsigned int>(-1));
  socket.SetTimeout(options.timeoutSeconds);
  if (!socket.Connect(host, port)) {
    report.Log("error connect HTTP\n");
    if (socket.TimedOut()) report.Log("HTTP timeout");
    return false;
  }
  SocketTransport plain(socket);
  CTransport* transport = &plain;
  std::unique_ptr<TlsLibrary> tlsLibrary;
  std::unique_ptr<TlsSession> tls;
  if (options.tls) {
    tlsLibrary = TlsLibrary::Load(options.tlsLibraries);
    if (!tlsLibrary) {
      report.Log("TLS: no TLS library found");
      return false;
    }
    std::string reason;
    tls = TlsSession::Connect(*tlsLibrary, socket.Handle(), host, options.caFile, reason);
    if (!tls) {
      report.Log(reason);
      return false;
    }
    transport = tls.get();
  }
  Progress(options, report, "HTTP Connect OK\n", "HTTP Connect OK\n");

  UniqueFd fd(::open(filePath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const auto size = static_cast<uint64_t>(st.st_size);

  const SoapRequestTexts texts = BuildSoapRequest(host, path, user, password,
                                                  FileNameOf(filePath), Base64Length(size));
  if (!SendRequest(*transport, fd.Get(), size, texts)) {
    if (transport->TimedOut()) report.Log("HTTP timeout");
    return false;
  }
  fd.Reset();
  Progress(options, report, "HTTP Write OK\n", "HTTP Write OK\n");

  const std::string response = ReceiveHttpResponse(*transport);
  if (transport->TimedOut()) report.Log("HTTP timeout");
  const UploadVerdict verdict = JudgeHttpResponse(response);
  if (!verdict.tagsFound) {
    report.Log("bad response from HTTP\n");
    report.Log(response.substr(0, response.find('\0')));
    return false;
  }
  if (verdict.ok) Progress(options, report, verdict.resultText, "HTTP Uploaded OK\n");
  return verdict.ok;
}
