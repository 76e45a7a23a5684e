#include "files/file_scan.h"

#include <iostream>

#include "files/scan_tree.h"
#include "scan/globals.h"

uint32_t nFileCounter = 0;
uint32_t nExeCounter = 0;
int32_t m_nSleepCount = 0;

int ScanDir(const char* path) {
  if (!path) return 1;
  FileScanOptions options;
  options.allFiles = ini.m_bAllFiles;
  options.crc = ini.m_bCRC;
  options.pauseMs = ini.m_nPause;
  options.logLevel = GLOBAL::m_bLogging;
  for (const CIniFile::Record& record : ini.m_IgnoreFolders) options.ignoreValues.push_back(record.Value);
  options.log = [](std::string_view text) { GLOBAL::LogMsg(text); };

  FileScanCounters counters{nFileCounter, nExeCounter, m_nSleepCount};
  ScanTree(file, std::cout, options, path, counters);
  nFileCounter = counters.files;
  nExeCounter = counters.exes;
  m_nSleepCount = counters.sleepCount;
  return 1;
}
