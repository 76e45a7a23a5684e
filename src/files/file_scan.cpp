#include "files/file_scan.h"

#include <sys/resource.h>

#include <algorithm>

#include <iostream>

#include "files/scan_tree.h"
#include "scan/globals.h"

uint32_t nFileCounter = 0;
uint32_t nExeCounter = 0;
int32_t m_nSleepCount = 0;

namespace {

// Open directories stay well inside the descriptor limit, however low it is set.
size_t OpenDirectoryBudget() {
  constexpr size_t kDefault = 64;
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kDefault;
  return std::clamp<size_t>(static_cast<size_t>(limit.rlim_cur) / 4, 2, kDefault);
}

}  // namespace

int ScanDir(const char* path) {
  if (!path) return 1;
  FileScanOptions options;
  options.allFiles = ini.m_bAllFiles;
  options.crc = ini.m_bCRC;
  options.pauseMs = ini.m_nPause;
  options.logLevel = GLOBAL::m_bLogging;
  for (const CIniFile::Record& record : ini.m_IgnoreFolders)
    options.ignoreValues.push_back(record.Value);
  options.maxOpenDirs = OpenDirectoryBudget();
  options.log = [](std::string_view text) { GLOBAL::LogMsg(text); };

  FileScanCounters counters{nFileCounter, nExeCounter, m_nSleepCount};
  // std::cout shares stdio's buffer: no system call per progress line.
  ScanTree(file, std::cout, options, path, counters);
  nFileCounter = counters.files;
  nExeCounter = counters.exes;
  m_nSleepCount = counters.sleepCount;
  return 1;
}
