// The upload of a finished scan file to the inventory server: one SOAP 1.1
// UploadFile request over HTTP, or HTTPS for an https:// address, directly
// or through an HTTP proxy, tried again after failures before the server
// answered.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "upload/proxy.h"
#include "upload/retry_policy.h"

struct UploadSettings;

// The most one upload may take, from connecting to the last byte of the
// answer, whatever the server does: twice the Timeout (an hour when it is 0)
// for connecting and the server's answer, a second for every 16 KiB of the
// scan file, so a link of about 200 kbit/s still carries any file, and the
// `waits` between attempts.
std::chrono::seconds UploadTimeLimit(int timeoutSeconds, uint64_t fileBytes,
                                     std::chrono::seconds waits = std::chrono::seconds(0));

// The steps an upload reports as it reaches them.
enum class UploadProgress {
  kConnected,       // connected (and the TLS handshake made, over https://)
  kSent,            // the whole request went out
  kAnswerTimedOut,  // the answer stopped coming; what arrived is judged
};

// What the upload tells while it works; the run words it.
class UploadObserver {
 public:
  virtual ~UploadObserver() = default;
  virtual void Reached(UploadProgress step) = 0;
  // The proxy that carries the upload, its password masked.
  virtual void ThroughProxy(std::string_view maskedUrl) { (void)maskedUrl; }
  // The client key can be read by group or others; it is still used.
  virtual void KeyFileReadable(std::string_view path) { (void)path; }
  // An attempt failed with `why` and the next one follows after `wait`.
  virtual void Retrying(std::chrono::seconds wait, const Failure& why) {
    (void)wait;
    (void)why;
  }
};

// What the upload takes besides the settings.
struct UploadOptions {
  std::vector<std::string> tlsLibraries;  // tried in order; empty: the usual libssl names
  ProxyEnvironment environment;           // used when the Proxy setting is empty
  std::vector<std::chrono::seconds> retryWaits = kRetryWaits;
  std::function<bool()> stopped;  // once it says so, the upload ends at its next wait
};

// Which file was sent, so that only that one is deleted.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
};

struct UploadReceipt {
  std::string resultText;  // the server's, beginning with "OK"
  FileIdentity sent;
};

// How a failed upload failed, as Failure::what; the reason says more.
inline constexpr char kUploadNoFile[] = "file";            // not a regular file to read
inline constexpr char kUploadNoProxy[] = "proxy";          // reason: why, as the log says it
inline constexpr char kUploadNoConnection[] = "connect";   // reason kUploadTimedOut on a time-out
inline constexpr char kUploadNoTls[] = "TLS";              // reason: why, as the log says it
inline constexpr char kUploadNotSent[] = "send";           // reason kUploadTimedOut on a time-out
inline constexpr char kUploadBadResponse[] = "response";   // reason: the answer up to its first NUL
inline constexpr char kUploadRefused[] = "HTTP status";    // reason: the status code
inline constexpr char kUploadNotOk[] = "result";           // reason: the server's result text
inline constexpr char kUploadTimedOut[] = "timeout";

// Sends the file at `filePath` to the server of `settings.address` and judges
// the answer: the server's result text when it begins with "OK" in a 2xx
// response. Over https:// nothing is sent unless the TLS connection is made.
// A failure before the server answered, or its 503, is tried again up to
// `settings.retries` times after `options.retryWaits`. `observer` hears of
// each step as it is reached.
Result<UploadReceipt> UploadScanFile(const std::string& filePath, const UploadSettings& settings,
                                     const UploadOptions& options, UploadObserver& observer);
