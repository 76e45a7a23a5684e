// The texts of one SOAP 1.1 UploadFile request around the Base64 body, and
// sending a file as that body in chunks.
#pragma once

#include <cstdint>
#include <string>

#include "upload/transport.h"

// Namespace of the inventory server's upload service.
inline constexpr const char* kServiceNamespace = "http://tempuri.org/";

struct SoapRequestTexts {
  std::string head;          // HTTP request line and headers, blank line included
  std::string envelopeHead;  // XML declaration up to the opening <SOAPSDK4:f>
  std::string envelopeTail;  // from </SOAPSDK4:f> to the end, file name included
};

// The request for a file whose Base64 text is `base64Length` characters.
// An empty `user` leaves out the authentication header. User, password and
// file name are entity-escaped; the request is declared UTF-8 and their
// bytes are sent as they are. Through a proxy, `origin` ("http://host:port")
// goes before the path and `proxyHeaders` (whole lines) after Host.
SoapRequestTexts BuildSoapRequest(const std::string& host, const std::string& path,
                                  const std::string& user, const std::string& password,
                                  const std::string& fileName, uint64_t base64Length,
                                  const std::string& origin = {},
                                  const std::string& proxyHeaders = {});

// The part of `filePath` after its last "/".
std::string FileNameOf(const std::string& filePath);

// Sends `size` bytes read from `fd` as Base64 text, encoding chunk by chunk;
// false when the file ends early, cannot be read, or a send fails.
bool SendFileAsBase64(Transport& out, int fd, uint64_t size);
