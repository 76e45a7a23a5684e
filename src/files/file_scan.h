// The file inventory: walks a tree and writes one rowset row per selected file.
#pragma once

// Scans `path` and everything below it into the scan file, with the
// settings of `ini`. Always returns 1.
int ScanDir(const char* path);
