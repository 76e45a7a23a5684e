#include "upload/soap_upload.h"

#include <cstdio>

#include "scan/globals.h"
#include "upload/http_address.h"
#include "upload/upload_core.h"

namespace {

class RunReporter : public UploadReporter {
 public:
  void Log(std::string_view text) override { GLOBAL::LogMsg(text); }
  void Print(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
};

}  // namespace

bool UploadFileHttp(const std::string& filePath, const std::string& host,
                    const std::string& path, int port, const std::string& user,
                    const std::string& password) {
  UploadOptions options;
  options.timeoutSeconds = ini.m_nHttpTimeout;
  options.tls = AddressWantsTls(ini.m_szHttpAddress);
  options.caFile = ini.m_szHttpCAFile;
  options.logging = GLOBAL::m_bLogging;
  RunReporter report;
  return UploadScanFile(filePath, host, path, port, user, password, options, report);
}
