// One z:row of the scan file's rowset: the values of a selected file and
// their text.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

struct FileRow {
  std::string_view name;       // bare entry name, unescaped
  std::string_view directory;  // the scanned directory's path as walked
  int64_t size = 0;
  time_t changed = 0;          // st_ctime
  time_t modified = 0;         // st_mtime
  time_t accessed = 0;         // st_atime
  std::string_view owner;      // user name, empty when unknown
  uint32_t crc = 0;            // 0: no checksum
};

// "%Y-%m-%d %H:%M:%S" in UTC; empty when the time cannot be converted.
std::string FormatUtc(time_t when);

// The directory as the row shows it: one trailing "/" removed ("" for "/").
std::string_view RowDirectory(std::string_view directory);

// Appends the row's line, CR LF included, to `line`.
void AppendFileRow(std::string& line, const FileRow& row);

// True for the first bytes of a file that are an ELF identification the scan
// selects: more than 8 bytes, magic, class and encoding 1 or 2, version 1,
// ABI byte 0 (System V) or 3 (GNU, which Linux's own libraries and programs carry).
bool IsElfHeader(const unsigned char* data, long size);
