// The file scan's core: walks a tree and writes one row per selected file.
// Everything it needs comes in as parameters, so tests need no globals.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct FileScanOptions {
  bool allFiles = false;     // every non-empty regular file, not only ELF
  bool crc = false;          // checksum each selected file
  int pauseMs = 0;           // sleep this long once per 11 entries when > 0
  int logLevel = 0;          // 0 progress line; >= 1 log directories; 2 log entries
  std::vector<std::string> ignoreValues;  // [IgnoreFolders] values, file order
  size_t maxOpenDirs = 64;   // directories held open at once
  std::function<void(std::string_view)> log;      // progress messages
  std::function<void(int ms)> sleep;              // the pause; real sleep when empty
};

struct FileScanCounters {
  uint32_t files = 0;       // entries visited
  uint32_t exes = 0;        // rows written
  int32_t sleepCount = 0;   // entries since the last pause
};

// Scans `root` and everything below it into `out`. `console` stands for
// standard output: the progress line and the ignore messages go there.
void ScanTree(std::ostream& out, std::ostream& console, const FileScanOptions& options,
              const std::string& root, FileScanCounters& counters);

// The progress line for level 0: "\r", both counters in at least eight
// digits, the directory, padded with spaces and cut to 80 bytes.
void WriteProgressLine(std::ostream& console, uint32_t files, uint32_t exes,
                       std::string_view directory);
