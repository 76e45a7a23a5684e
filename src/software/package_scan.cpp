#include "software/package_scan.h"

#include <cstdlib>
#include <sstream>

#include "base/child_process.h"
#include "software/listing_frames.h"
#include "software/app_lists.h"
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
// reports to `observer` as they come.
Result<ChildEnd> RunListingChild(const std::function<int(int)>& body, Deadline deadline,
                                 RowSpool& spool, PackageScanObserver& observer,
                                 std::uint32_t& libraryPackages, size_t& listed,
                                 const std::function<bool()>& stopped) {
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
        case FrameKind::kLibraryPackage: {
          PackageRecord record;
          record.productName = std::string(payload);
          observer.LibraryPackage(++libraryPackages, record);
          return true;
        }
        case FrameKind::kFallback:
          observer.CommandFallback(payload);
          return true;
        case FrameKind::kApplicationFailure:
          observer.ApplicationListFailed(payload);
          return true;
        case FrameKind::kListed:
          listed += std::strtoull(std::string(payload).c_str(), nullptr, 10);
          return true;
      }
      return false;
    });
  }, stopped);
  if (!spooled) return spooled.failure();
  return end;
}

// The library's packages, one row and one progress line each.
int ListFromLibrary(int fd, const std::vector<std::string>& paths) {
  std::ostringstream row;
  DocumentWriter rows(row);
  const Result<size_t> listed = ReadRpmPackages(paths, [&](const PackageRecord& record) {
    row.str({});
    WriteInstalled(rows, record);
    SendFrames(fd, FrameKind::kRows, row.view());
    SendFrames(fd, FrameKind::kLibraryPackage, record.productName);
  });
  if (listed) SendFrames(fd, FrameKind::kListed, std::to_string(*listed));
  // A library that yields no package counts as none: the commands are asked.
  return listed && *listed > 0 ? kListed : kNoList;
}

int ListFromCommands(int fd, const PackageScanOptions& options) {
  std::ostringstream list;
  DocumentWriter rows(list);
  const auto listed = ListPackagesByCommands(
      options.commandPath, options.system, rows,
      [&](std::string_view program) { SendFrames(fd, FrameKind::kFallback, program); });
  if (!listed) return kNoList;
  SendFrames(fd, FrameKind::kRows, list.view());
  SendFrames(fd, FrameKind::kListed, std::to_string(*listed));
  return kListed;
}

int ListFromApplications(int fd, const PackageScanOptions& options) {
  OutputBounds bounds;
  bounds.maxWait = options.applicationListWait;
  std::ostringstream row;
  DocumentWriter rows(row);
  size_t listed = 0;
  const auto add = [&](const PackageRecord& record) {
    ++listed;
    row.str({});
    WriteInstalled(rows, record);
    SendFrames(fd, FrameKind::kRows, row.view());
  };
  for (const Failure& failure : ListApplications(options.commandPath, bounds, add))
    SendFrames(fd, FrameKind::kApplicationFailure, failure.Text());
  SendFrames(fd, FrameKind::kListed, std::to_string(listed));
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

Result<size_t> ScanPackages(const PackageScanOptions& options, DocumentWriter& document,
                            PackageScanObserver& observer) {
  const Deadline deadline = std::chrono::steady_clock::now() + options.deadline;
  const Failure late = ReasonFailure(
      "Package list left out", "not finished within the deadline of " + DeadlineText(options.deadline));
  const Failure stoppedFailure = ReasonFailure("Package list left out", "stopped");
  size_t listed = 0;
  const auto finish = [&](RowSpool* complete, Status status) -> Result<size_t> {
    document.Markup("\t<Msi>\r\n");
    if (complete) {
      if (Status copied = complete->CopyTo(document); !copied) status = copied;
    }
    document.Markup("\t</Msi>\r\n");
    if (!status) return status.failure();
    return complete ? listed : 0;
  };

  RowSpool spool;
  if (Status opened = spool.Open(options.spoolDirectory); !opened) return finish(nullptr, opened);
  std::vector<std::string> paths;
  for (const std::string& path : options.libraryPaths)
    paths.push_back(ForWidth(path, options.is64Bit));
  std::uint32_t libraryPackages = 0;
  // One listing child; how it ended, or what ends the scan: it could not
  // run, it ran past the deadline or a stop came.
  const auto list = [&](const std::function<int(int)>& body) -> Result<ChildEnd> {
    Result<ChildEnd> end =
        RunListingChild(body, deadline, spool, observer, libraryPackages, listed, options.stopped);
    if (!end) return end;
    if (end->kind == ChildEnd::kTimedOut) return late;
    if (options.stopped && options.stopped()) return stoppedFailure;
    return end;
  };
  const auto ended = [](const ChildEnd& end, int code) {
    return end.kind == ChildEnd::kExited && end.code == code;
  };
  Status status;
  // The library runs apart from the commands: when it crashes, its rows
  // so far are dropped and the commands are asked, as without a library.
  Result<ChildEnd> library = list([&](int fd) { return ListFromLibrary(fd, paths); });
  if (!library) return finish(nullptr, library.failure());
  if (!ended(*library, kListed)) {
    if (Status cleared = spool.Clear(); !cleared) return finish(nullptr, cleared);
    listed = 0;
    Result<ChildEnd> commands = list([&](int fd) { return ListFromCommands(fd, options); });
    if (!commands) return finish(nullptr, commands.failure());
    if (ended(*commands, kNoList))
      status = ReasonFailure("No package list", "dpkg-query, dpkg -l and rpm -qa all failed");
    else if (!ended(*commands, kListed))
      return finish(nullptr, ReasonFailure("package listing", EndText(*commands)));
  }
  // The applications follow, whichever method listed the packages.
  Result<ChildEnd> applications = list([&](int fd) { return ListFromApplications(fd, options); });
  if (!applications) return finish(nullptr, applications.failure());
  if (!ended(*applications, kListed))
    return finish(nullptr, ReasonFailure("application listing", EndText(*applications)));
  return finish(&spool, status);
}
