// The file inventory: walks a tree and writes one z:row per selected file
// (every ELF file, or every non-empty regular file).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/document_text.h"
#include "base/log.h"

struct FileScanOptions {
  bool allFiles = false;     // every non-empty regular file, not only ELF files
  bool crc = false;          // checksum each selected file
  int pauseMs = 0;           // sleep this long once per 11 entries when > 0
  std::vector<std::string> ignoreValues;  // [IgnoreFolders] values, file order
  // Mount types left out besides the kernel ones ("nfs", "fuse.*", ...).
  std::vector<std::string> ignoreFileSystems;
  std::string mountInfoPath = "/proc/self/mountinfo";
  size_t maxOpenDirs = 64;   // directories held open at once
  std::function<void(int ms)> sleep;      // the pause; a real sleep when empty
  // Asked at every directory and entry; once true the scan ends early.
  std::function<bool()> stopped;
  // Trust the types the directories report to spare a stat per entry; false
  // stats every entry, as on file systems that report none.
  bool useEntryTypes = true;
};

struct FileScanCounters {
  uint32_t entries = 0;        // entries visited
  uint32_t rows = 0;           // rows written
  int32_t sinceLastPause = 0;  // entries since the last pause
};

// Scans `root` and everything below it into `document`, counting on from
// `counters`. Directories on kernel file systems (proc, sysfs, ...), mount
// points of the types `options` ignores and duplicates of mounts walked
// elsewhere (both known from the mount table, so never touched), and
// entries whose path is longer than kMaxWalkPath are left out. The ignore
// messages, the progress display, the entries and directories the level asks
// for, the mounts skipped and a count of the entries left out
// for their path go to `log`.
FileScanCounters ScanFiles(const std::string& root, const FileScanOptions& options,
                           DocumentWriter& document, Log& log, FileScanCounters counters = {});

// Directories the scan may hold open: a quarter of the descriptor limit, at
// least 2 and at most 64.
size_t OpenDirectoryBudget();

