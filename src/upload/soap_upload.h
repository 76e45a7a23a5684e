// The upload of a finished scan file to the inventory server: one SOAP 1.1
// UploadFile request over HTTP, or HTTPS for an https:// address.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/failure.h"

struct UploadSettings;

// The most one upload may take, from connecting to the last byte of the
// answer, whatever the server does: twice the Timeout (an hour when it is 0)
// for connecting and the server's answer, and a second for every 16 KiB of
// the scan file, so a link of about 200 kbit/s still carries any file.
std::chrono::seconds UploadTimeLimit(int timeoutSeconds, uint64_t fileBytes);

// The steps an upload reports as it reaches them.
enum class UploadProgress {
  kConnected,       // connected (and the TLS handshake made, over https://)
  kSent,            // the whole request went out
  kAnswerTimedOut,  // the answer stopped coming; what arrived is judged
};

// How a failed upload failed, as Failure::what; the reason says more.
inline constexpr char kUploadNoFile[] = "file";            // not a regular file to read
inline constexpr char kUploadNoConnection[] = "connect";   // reason kUploadTimedOut on a time-out
inline constexpr char kUploadNoTls[] = "TLS";              // reason: why, as the log says it
inline constexpr char kUploadNotSent[] = "send";           // reason kUploadTimedOut on a time-out
inline constexpr char kUploadBadResponse[] = "response";   // reason: the answer up to its first NUL
inline constexpr char kUploadRefused[] = "HTTP status";    // reason: the status code
inline constexpr char kUploadNotOk[] = "result";           // reason: the server's result text
inline constexpr char kUploadTimedOut[] = "timeout";

// Sends the file at `filePath` to the server of `settings.address` and judges
// the answer: the server's result text when it begins with "OK" in a 2xx
// response. Over https:// nothing is sent unless the TLS connection is made;
// `tlsLibraries` are the libraries tried for it, in order. `progress` hears
// of each step as it is reached. Once `stopped` says so, the upload ends at
// its next wait.
Result<std::string> UploadScanFile(const std::string& filePath, const UploadSettings& settings,
                                   const std::vector<std::string>& tlsLibraries,
                                   const std::function<bool()>& stopped,
                                   const std::function<void(UploadProgress)>& progress);
