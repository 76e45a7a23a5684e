#include "agent/run_steps.h"

#include <string_view>

#include "base/progress_line.h"
#include "upload/soap_upload.h"

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

bool RunUpload(const std::string& filePath, const UploadSettings& settings, Log& log,
               const std::vector<std::string>& tlsLibraries, const std::function<bool()>& stopped) {
  log.Progress("UploadFileHttp\n");
  const Result<std::string> uploaded =
      UploadScanFile(filePath, settings, tlsLibraries, stopped, [&](UploadProgress step) {
        switch (step) {
          case UploadProgress::kConnected:
            Tell(log, "HTTP Connect OK\n", "HTTP Connect OK\n");
            break;
          case UploadProgress::kSent:
            Tell(log, "HTTP Write OK\n", "HTTP Write OK\n");
            break;
          case UploadProgress::kAnswerTimedOut:
            log.Message("HTTP timeout");
            break;
        }
      });
  if (!uploaded) {
    TellUploadFailure(uploaded.failure(), log);
    return false;
  }
  Tell(log, *uploaded, "HTTP Uploaded OK\n");
  return true;
}
