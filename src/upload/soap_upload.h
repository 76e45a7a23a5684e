// The upload of a finished scan file to the inventory server: one SOAP 1.1
// UploadFile request over HTTP, or HTTPS for an https:// address.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/log.h"
#include "config/settings.h"
#include "upload/tls_library.h"

// The most one upload may take, from connecting to the last byte of the
// answer, whatever the server does: twice the Timeout (an hour when it is 0)
// for connecting and the server's answer, and a second for every 16 KiB of
// the scan file, so a link of about 200 kbit/s still carries any file.
std::chrono::seconds UploadTimeLimit(int timeoutSeconds, uint64_t fileBytes);

// Sends the file at `filePath` to the server of `settings.address` and judges
// the answer; true when the server's result begins with "OK" in a 2xx
// response. Over https:// nothing is sent unless the TLS connection is made;
// `tlsLibraries` are the libraries tried for it, in order. What happens goes
// to `log`. Once `stopped` says so, the upload ends at its next wait.
bool UploadScanFile(const std::string& filePath, const UploadSettings& settings, Log& log,
                    const std::vector<std::string>& tlsLibraries = DefaultTlsLibraryNames(),
                    const std::function<bool()>& stopped = {});
