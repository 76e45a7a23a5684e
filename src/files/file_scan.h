// The file inventory: walks a tree and writes one rowset row per selected file.
#pragma once

#include <cstdint>

// Entries visited, rows written and entries since the last pause, over the whole run.
extern uint32_t nFileCounter;
extern uint32_t nExeCounter;
extern int32_t m_nSleepCount;

// Scans `path` and everything below it into the scan file, with the
// settings of `ini`. Always returns 1.
int ScanDir(const char* path);
