#include "config/ini_file.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "base/read_file.h"
#include "base/text.h"

namespace {

bool IsCommentMarker(char c) { return c == '#' || c == ';'; }

}  // namespace

std::optional<IniFile> IniFile::Load(const std::string& path) {
  const auto file = ReadFileUpTo(path, kIniFileLimit);
  if (!file) return std::nullopt;
  std::istringstream in(file->text);
  return Parse(in);
}

IniFile IniFile::Parse(std::istream& in) {
  IniFile ini;
  std::string section;
  std::string line;
  // A last line without a line feed is not read.
  while (std::getline(in, line) && !in.eof()) ini.ParseLine(std::move(line), section);
  return ini;
}

bool IniFile::HasSection(std::string_view section) const {
  for (const IniRecord& record : records_)
    if (record.section == section) return true;
  return false;
}

void IniFile::ParseLine(std::string line, std::string& section) {
  line = Trimmed(line);
  if (line.empty()) return;

  IniRecord record;
  if (IsCommentMarker(line[0])) {
    if (line.find_first_of("[=") == std::string::npos) {
      record.section = section;
      record.value = line;
      records_.push_back(std::move(record));
      return;
    }
    line = Trimmed(std::string_view(line).substr(1));
  }

  bool header = false;
  if (!line.empty() && line[0] == '[') {
    // A header without "]" takes the rest of the line as its name.
    line.erase(0, 1);
    line.erase(std::min(line.find(']'), line.size()));
    section = line;
    header = true;
  }
  record.section = section;
  if (const size_t eq = line.find('='); eq != std::string::npos) {
    record.key = line.substr(0, eq);
    record.value = line.substr(eq + 1);
  } else if (!header) {
    record.value = line;
  }
  records_.push_back(std::move(record));
}

std::vector<IniRecord> IniFile::Section(std::string_view section) const {
  std::vector<IniRecord> out;
  for (const IniRecord& r : records_) {
    if (r.section == section && (!r.key.empty() || !r.value.empty())) out.push_back(r);
  }
  return out;
}

const IniRecord* IniFile::Find(std::string_view section, std::string_view key) const {
  const auto it = std::find_if(records_.begin(), records_.end(), [&](const IniRecord& r) {
    return r.section == section && r.key == key;
  });
  return it == records_.end() ? nullptr : &*it;
}

std::string IniFile::String(std::string_view section, std::string_view key) const {
  const IniRecord* record = Find(section, key);
  return record ? record->value : std::string();
}

int IniFile::Number(std::string_view section, std::string_view key, int fallback) const {
  const std::string text = String(section, key);
  if (text.empty()) return fallback;
  // atoi's reading, without its undefined behaviour on overflow.
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}
