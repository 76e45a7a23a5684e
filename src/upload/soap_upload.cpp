#include "upload/soap_upload.h"

void ParseHttpAddress(const std::string&, std::string&, std::string&, int&) {}

bool UploadFileHttp(const std::string&, const std::string&, const std::string&,
                    int, const std::string&, const std::string&) {
  return false;
}
