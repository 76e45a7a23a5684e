// The upload of a finished scan file to the inventory server: one SOAP 1.1
// UploadFile request over HTTP, or HTTPS for an https:// address, directly
// or through an HTTP proxy, tried again after failures before the server
// answered.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "base/log.h"
#include "config/settings.h"
#include "upload/proxy.h"
#include "upload/retry_policy.h"
#include "upload/tls_library.h"

// The most one upload may take, from connecting to the last byte of the
// answer, whatever the server does: twice the Timeout (an hour when it is 0)
// for connecting and the server's answer, a second for every 16 KiB of the
// scan file, so a link of about 200 kbit/s still carries any file, and the
// `waits` between attempts.
std::chrono::seconds UploadTimeLimit(int timeoutSeconds, uint64_t fileBytes,
                                     std::chrono::seconds waits = std::chrono::seconds(0));

// What the upload takes besides the settings.
struct UploadOptions {
  std::vector<std::string> tlsLibraries = DefaultTlsLibraryNames();  // tried in order
  ProxyEnvironment environment;  // used when the Proxy setting is empty
  std::vector<std::chrono::seconds> retryWaits = kRetryWaits;
};

// Which file was sent, so that only that one is deleted.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
};

struct UploadOutcome {
  bool ok = false;  // the server's result begins with "OK" in a 2xx response
  FileIdentity sent;
};

// Sends the file at `filePath` to the server of `settings.address` and judges
// the answer. Over https:// nothing is sent unless the TLS connection is
// made. What happens goes to `log`.
UploadOutcome UploadScanFile(const std::string& filePath, const UploadSettings& settings, Log& log,
                             const UploadOptions& options = {});
