#include "upload/soap_request.h"

#include <vector>

#include "base/document_text.h"
#include "base/fd_io.h"
#include "upload/base64.h"

namespace {

// A multiple of 3, so that no chunk but the last carries padding.
constexpr size_t kChunkBytes = 3 * 16384;

const std::string kRow1 = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>";
const std::string kRow2 =
    "<SOAP-ENV:Envelope SOAP-ENV:encodingStyle=\"\" "
    "xmlns:SOAPSDK1=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:SOAPSDK2=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:SOAPSDK3=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">";
const std::string kRow6 = "</SOAPSDK4:f>\r\n<SOAPSDK4:fileName SOAP-ENV:encodingStyle=\"\">";
const std::string kRow8 =
    "</SOAPSDK4:fileName></SOAPSDK4:UploadFile></SOAP-ENV:Body></SOAP-ENV:Envelope>";

}  // namespace

SoapRequestTexts BuildSoapRequest(const std::string& host, const std::string& path,
                                  const std::string& user, const std::string& password,
                                  const std::string& fileName, uint64_t base64Length,
                                  const std::string& origin, const std::string& proxyHeaders) {
  const std::string ns = kServiceNamespace;
  SoapRequestTexts t;
  t.envelopeHead = kRow1 + kRow2;
  if (!user.empty()) {
    t.envelopeHead += "<SOAP-ENV:Header><AuthHeader xmlns=\"" + ns + "\"><Username>" +
                      EscapeMarkup(user) + "</Username><Password>" + EscapeMarkup(password) +
                      "</Password></AuthHeader></SOAP-ENV:Header>";
  }
  t.envelopeHead +=
      "<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"\"><SOAPSDK4:UploadFile xmlns:SOAPSDK4=\"" + ns +
      "\" SOAP-ENV:encodingStyle=\"\"><SOAPSDK4:f SOAP-ENV:encodingStyle=\"\">";
  t.envelopeTail = kRow6 + EscapeMarkup(fileName) + kRow8;
  const uint64_t contentLength = t.envelopeHead.size() + base64Length + t.envelopeTail.size();
  t.head = "POST " + origin + path + "Service.asmx HTTP/1.1\r\nHost: " + host + "\r\n" +
           proxyHeaders + "Content-Type: text/xml; charset=utf-8\r\nContent-Length: " +
           std::to_string(contentLength) + "\r\nSOAPAction: \"" + ns + "UploadFile\"\r\n\r\n";
  return t;
}

std::string FileNameOf(const std::string& filePath) {
  const size_t slash = filePath.rfind('/');
  return slash == std::string::npos ? filePath : filePath.substr(slash + 1);
}

bool SendFileAsBase64(Transport& out, int fd, uint64_t size) {
  std::vector<unsigned char> chunk(kChunkBytes);
  std::string text;  // reused for every chunk
  uint64_t left = size;
  while (left > 0) {
    const size_t want = left < kChunkBytes ? static_cast<size_t>(left) : kChunkBytes;
    // A file that shrank after its size was announced cannot fill the request.
    if (ReadUpTo(fd, chunk.data(), want) != want) return false;
    text.clear();
    AppendBase64(text, chunk.data(), want);
    if (!out.Write(text.data(), text.size())) return false;
    left -= want;
  }
  return true;
}
