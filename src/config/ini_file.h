// The settings file: INI text kept line by line as records, looked up by
// section and key.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One non-blank line of the file.
struct IniRecord {
  std::string section;
  std::string key;       // text before the first "="
  std::string value;     // text after the first "=" (or the whole line)
};

// The most of a settings file that is read; a longer one is cut there.
inline constexpr size_t kIniFileLimit = 1024 * 1024;

class IniFile {
 public:
  // The regular file at `path`, up to kIniFileLimit bytes; nothing when it
  // cannot be opened or is no regular file (a directory, a FIFO, a device).
  static std::optional<IniFile> Load(const std::string& path);
  // Lines end at "\n", and a last line without one is not read.
  static IniFile Parse(std::istream& in);

  // Every record of `section` that has a key or a value, in file order.
  std::vector<IniRecord> Section(std::string_view section) const;
  // The file has a header for `section`, even with nothing below it.
  bool HasSection(std::string_view section) const;
  // The first record of exactly this section and key (case-sensitive), or null.
  const IniRecord* Find(std::string_view section, std::string_view key) const;
  // Its value; empty when there is none.
  std::string String(std::string_view section, std::string_view key) const;
  // Its value read like atoi; `fallback` when it is missing or empty.
  int Number(std::string_view section, std::string_view key, int fallback) const;

 private:
  void ParseLine(std::string line, std::string& section);

  std::vector<IniRecord> records_;
};

