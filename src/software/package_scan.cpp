#include "software/package_scan.h"

#include <sstream>

#include "base/child_process.h"
#include "software/listing_frames.h"
#include "software/package_commands.h"
#include "software/package_record.h"
#include "software/row_spool.h"
#include "software/rpm_library.h"

namespace {

// How a listing child tells its parent what it found.
constexpr int kListed = 0;
constexpr int kNoList = 3;

std::string ForWidth(std::string path, bool is64Bit) {
  const size_t at = path.find("%s");
  if (at != std::string::npos) path.replace(at, 2, is64Bit ? "64" : "");
  return path;
}

std::string DeadlineText(std::chrono::milliseconds deadline) {
  const long long ms = deadline.count();
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// Runs `body` in a child until `deadline`: its rows go to `spool`, its
// progress lines and messages to `log` as they come.
Result<ChildEnd> RunListingChild(const std::function<int(int)>& body, Deadline deadline,
                                 RowSpool& spool, Log& log) {
  Result<ChildProcess> child = ChildProcess::Start(body);
  if (!child) return child.failure();
  FrameReader frames;
  Status spooled;
  const ChildEnd end = child->Wait(deadline, [&](std::string_view data) {
    return frames.Feed(data, [&](FrameKind kind, std::string_view payload) {
      switch (kind) {
        case FrameKind::kRows:
          spooled = spool.Append(payload);
          return spooled.ok();
        case FrameKind::kDisplay:
          log.Display(payload);
          return true;
        case FrameKind::kPrint:
          log.Print(payload);
          return true;
      }
      return false;
    });
  });
  if (!spooled) return spooled.failure();
  return end;
}

// The library's packages, one row and one progress line each.
int ListFromLibrary(int fd, const std::vector<std::string>& paths, bool display) {
  std::uint32_t counter = 0;
  std::ostringstream row;
  DocumentWriter rows(row);
  const size_t listed = ReadRpmPackages(paths, [&](const PackageRecord& record) {
    row.str({});
    WriteInstalled(rows, record);
    SendFrames(fd, FrameKind::kRows, row.view());
    ++counter;
    if (display)
      SendFrames(fd, FrameKind::kDisplay, PackageProgressLine(counter, EscapeMarkup(record.productName)));
  });
  return listed > 0 ? kListed : kNoList;
}

int ListFromCommands(int fd, const PackageScanOptions& options) {
  std::ostringstream list;
  DocumentWriter rows(list);
  const auto listed = ListPackagesByCommands(
      options.commandPath, options.system, rows,
      [&](std::string_view text) { SendFrames(fd, FrameKind::kPrint, text); });
  if (!listed) return kNoList;
  SendFrames(fd, FrameKind::kRows, list.view());
  return kListed;
}

std::string EndText(const ChildEnd& end) {
  return end.kind == ChildEnd::kSignaled ? "ended by signal " + std::to_string(end.code)
                                         : "ended with status " + std::to_string(end.code);
}

}  // namespace

std::vector<std::string> DefaultRpmLibraryPaths() {
  return {"/usr/lib%s/librpm-4.4.so", "/usr/lib%s/librpm-4.3.so", "/usr/lib%s/librpm-4.2.so",
          "/usr/lib%s/librpm.so.3",   "/usr/lib%s/librpm.so.1",   "/usr/lib%s/librpm.so",
          // Current libraries, then the same names through the loader's search
          // path, which also knows the multiarch directories.
          "/usr/lib%s/librpm.so.10",  "/usr/lib%s/librpm.so.9",   "/usr/lib%s/librpm.so.8",
          "librpm.so.10",             "librpm.so.9",              "librpm.so.8"};
}

Status ScanPackages(const PackageScanOptions& options, DocumentWriter& document, Log& log) {
  log.Progress("Scan RPM\n");
  log.Display("\n");
  const Deadline deadline = std::chrono::steady_clock::now() + options.deadline;
  const Failure late{{}, 0, "not finished within the deadline of " + DeadlineText(options.deadline)};

  RowSpool spool;
  if (Status opened = spool.Open(options.spoolDirectory); !opened) return opened;
  std::vector<std::string> paths;
  for (const std::string& path : options.libraryPaths)
    paths.push_back(ForWidth(path, options.is64Bit));
  const bool display = log.display();
  // The library runs apart from the commands: when it crashes, its rows
  // so far are dropped and the commands are asked, as without a library.
  Result<ChildEnd> library = RunListingChild(
      [&](int fd) { return ListFromLibrary(fd, paths, display); }, deadline, spool, log);
  if (!library) return library.failure();
  if (library->kind == ChildEnd::kTimedOut) return late;
  if (library->kind != ChildEnd::kExited || library->code != kListed) {
    if (Status cleared = spool.Clear(); !cleared) return cleared;
    Result<ChildEnd> commands = RunListingChild(
        [&](int fd) { return ListFromCommands(fd, options); }, deadline, spool, log);
    if (!commands) return commands.failure();
    if (commands->kind == ChildEnd::kTimedOut) return late;
    if (commands->kind == ChildEnd::kExited && commands->code == kNoList) {
      log.Error("No package list: dpkg-query, dpkg -l and rpm -qa all failed");
    } else if (commands->kind != ChildEnd::kExited || commands->code != kListed) {
      return ReasonFailure("package listing", EndText(*commands));
    }
  }
  document.Markup("\t<Msi>\r\n");
  if (Status copied = spool.CopyTo(document); !copied) return copied;
  document.Markup("\t</Msi>\r\n");
  return {};
}
