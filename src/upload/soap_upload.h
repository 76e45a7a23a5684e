// The upload of a finished scan file to the inventory server: one SOAP 1.1
// UploadFile request over HTTP, or HTTPS for an https:// address.
#pragma once

#include <string>
#include <vector>

#include "base/log.h"
#include "config/settings.h"
#include "upload/tls_library.h"

// Sends the file at `filePath` to the server of `settings.address` and judges
// the answer; true when the server's result begins with "OK". Over https://
// nothing is sent unless the TLS connection is made; `tlsLibraries` are the
// libraries tried for it, in order. What happens goes to `log`.
bool UploadScanFile(const std::string& filePath, const UploadSettings& settings, Log& log,
                    const std::vector<std::string>& tlsLibraries = DefaultTlsLibraryNames());
