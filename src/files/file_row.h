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

// Times as "%Y-%m-%d %H:%M:%S" in UTC, the text gmtime and strftime give,
// made by arithmetic. The date of the last day seen is kept: the times of
// one column of rows mostly share their day.
class UtcText {
 public:
  // Appends the text of `when`; nothing when gmtime cannot convert it.
  void Append(std::string& out, time_t when);

 private:
  static constexpr int64_t kNoDay = INT64_MIN;
  int64_t day_ = kNoDay;  // days since 1970-01-01 that date_ shows
  char date_[11] = {};    // "YYYY-MM-DD "
};

// The directory as the row shows it: one trailing "/" removed ("" for "/").
std::string_view RowDirectory(std::string_view directory);

// Makes the rows' lines. The text of the directory and of the owner is kept
// from one row to the next, where they mostly repeat: a row costs no
// allocation once `out` has grown.
class FileRowFormatter {
 public:
  // Appends the row's line, CR LF included, to `out`.
  void Append(std::string& out, const FileRow& row);

 private:
  struct CachedText {
    std::string raw, text;  // text: AttributeText of raw
  };
  static const std::string& TextOf(CachedText& cache, std::string_view raw);

  CachedText directory_, owner_;
  UtcText changed_, modified_, accessed_;
};

// True for the first bytes of a file that are an ELF identification the scan
// selects: more than 8 bytes, magic, class and encoding 1 or 2, version 1,
// ABI byte 0 (System V) or 3 (GNU, which Linux's own libraries and programs carry).
bool IsElfHeader(const unsigned char* data, long size);
