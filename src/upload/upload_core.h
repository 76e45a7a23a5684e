// The SOAP upload of one scan file, with everything it depends on passed in,
// so that tests can run it against their own servers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "upload/tls_library.h"

struct UploadOptions {
  int timeoutSeconds = 300;  // connect, each send, each receive; 0 waits forever
  bool tls = false;          // the address asked for https://
  std::string caFile;        // PEM certificates trusted instead of the system's
  int logging = 0;           // the logging level
  std::vector<std::string> tlsLibraries = DefaultTlsLibraryNames();  // tried in order
};

// Where the upload's messages go: `Log` is the run's log, `Print` standard
// output (used at logging level 0 only).
class UploadReporter {
 public:
  virtual ~UploadReporter() = default;
  virtual void Log(std::string_view text) = 0;
  virtual void Print(std::string_view text) = 0;
};

// Sends the file with one SOAP UploadFile request to host:port (over TLS when
// `options.tls`; nothing is sent when the TLS connection cannot be made) and
// judges the answer; true when the server's result begins with "OK".
bool UploadScanFile(const std::string& filePath, const std::string& host,
                    const std::string& path, int port, const std::string& user,
                    const std::string& password, const UploadOptions& options,
                    UploadReporter& report);
