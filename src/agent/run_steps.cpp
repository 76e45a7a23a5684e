#include "agent/run_steps.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "base/progress_line.h"

namespace {

class PackageProgress : public PackageScanObserver {
 public:
  explicit PackageProgress(Log& log) : log_(log) {}

  void LibraryPackage(std::uint32_t number, const PackageRecord& record) override {
    if (log_.showsDisplay())
      log_.Display(FormatProgressLine(line_, {number}, EscapeMarkup(record.productName)));
  }
  void CommandFallback(std::string_view program) override {
    if (program == "rpm") log_.Print("dpkg failed, using rpm to get list of installed packages..\n");
  }
  void ApplicationListFailed(std::string_view why) override { log_.Error(why); }

 private:
  Log& log_;
  ProgressLine line_;
};

// What the upload tells as it goes: a message in the log when messages are
// on, else a line on standard output.
void Tell(Log& log, std::string_view logged, std::string_view printed) {
  if (log.wantsMessages())
    log.Message(logged);
  else
    log.Print(printed);
}

void TellUploadFailure(const Failure& failure, Log& log) {
  const bool timedOut = failure.reason == kUploadTimedOut;
  if (failure.what == kUploadNoConnection) {
    log.Message("error connect HTTP\n");
    if (timedOut) log.Message("HTTP timeout");
  } else if (failure.what == kUploadNoTls) {
    log.Message(failure.Text());
  } else if (failure.what == kUploadNoProxy) {
    log.Message(failure.reason);
  } else if (failure.what == kUploadNotSent) {
    if (timedOut) log.Message("HTTP timeout");
  } else if (failure.what == kUploadBadResponse) {
    log.Message("bad response from HTTP\n");
    log.Message(failure.reason);
  } else if (failure.what == kUploadRefused) {
    log.Message("HTTP status " + failure.reason);
  }
  // A file that cannot be read and a result other than OK fail quietly.
}

// A failed attempt in one line, for the retry that follows it.
std::string UploadFailureLine(const Failure& failure) {
  if (failure.what == kUploadRefused) return "HTTP status " + failure.reason;
  if (failure.what == kUploadBadResponse) return "bad response from HTTP";
  if (failure.what == kUploadNoProxy) return failure.reason;
  return failure.Text();
}

class UploadTeller : public UploadObserver {
 public:
  explicit UploadTeller(Log& log) : log_(log) {}

  void Reached(UploadProgress step) override {
    switch (step) {
      case UploadProgress::kConnected:
        Tell(log_, "HTTP Connect OK\n", "HTTP Connect OK\n");
        break;
      case UploadProgress::kSent:
        Tell(log_, "HTTP Write OK\n", "HTTP Write OK\n");
        break;
      case UploadProgress::kAnswerTimedOut:
        log_.Message("HTTP timeout");
        break;
    }
  }
  void ThroughProxy(std::string_view maskedUrl) override {
    log_.Progress("HTTP proxy " + std::string(maskedUrl) + "\n");
  }
  void KeyFileReadable(std::string_view path) override {
    log_.Message("warning: KeyFile " + std::string(path) + " can be read by group or others");
  }
  void Retrying(std::chrono::seconds wait, const Failure& why) override {
    log_.Message("upload failed, retrying in " + std::to_string(wait.count()) + " s: " +
                 UploadFailureLine(why));
  }

 private:
  Log& log_;
};

}  // namespace

size_t RunPackageScan(const PackageScanOptions& options, DocumentWriter& document, Log& log) {
  log.Progress("Scan RPM\n");
  log.Display("\n");
  PackageProgress progress(log);
  const Result<size_t> scanned = ScanPackages(options, document, progress);
  if (scanned) return *scanned;
  // A stop is said once, by the run's last line.
  if (!(options.stopped && options.stopped())) log.Failed(scanned.failure());
  return 0;
}

std::optional<FileIdentity> RunUpload(const std::string& filePath, const UploadSettings& settings,
                                      Log& log, const UploadOptions& options) {
  log.Progress("UploadFileHttp\n");
  UploadTeller teller(log);
  const Result<UploadReceipt> uploaded = UploadScanFile(filePath, settings, options, teller);
  if (!uploaded) {
    TellUploadFailure(uploaded.failure(), log);
    return std::nullopt;
  }
  Tell(log, uploaded->resultText, "HTTP Uploaded OK\n");
  return uploaded->sent;
}

void RemoveSentFile(const std::string& path, const FileIdentity& sent, Log& log) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return;  // gone already: nothing to keep
  if (S_ISREG(st.st_mode) && st.st_dev == sent.device && st.st_ino == sent.inode) {
    std::remove(path.c_str());
    return;
  }
  log.Message("scan file replaced during the upload, kept: " + path);
}
