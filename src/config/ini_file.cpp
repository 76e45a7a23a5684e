#include "config/ini_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

#include "config/password_cipher.h"
#include "scan/log.h"

namespace {
const std::string kBlanks = " \t\n\r";

bool IsCommentMarker(char c) { return c == '#' || c == ';'; }
}  // namespace

void Trim(std::string& str, const std::string& chars, int mode) {
  const size_t first = str.find_first_not_of(chars);
  if (first == std::string::npos) {
    str.clear();
    return;
  }
  if (mode <= 1) str.erase(0, first);
  if (mode == 1) return;
  str.erase(str.find_last_not_of(chars) + 1);
}

bool CIniFile::Load(std::string path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  std::ifstream in(path);
  if (!in.is_open()) return false;
  LoadFromStream(in);
  return true;
}

void CIniFile::LoadFromStream(std::istream& in) {
  m_Records.clear();
  std::string section;
  std::string line;
  // A last line without a line feed is not read.
  while (std::getline(in, line) && !in.eof()) ParseLine(std::move(line), section);
  FillSettings();
  if (m_bPasswordIsEncrypted && !m_szHttpPassword.empty())
    m_szHttpPassword = BlowFish_DecodeFromHexString(m_szHttpPassword);
}

void CIniFile::ParseLine(std::string line, std::string& section) {
  Trim(line, kBlanks, 0);
  if (line.empty()) return;

  Record record;
  if (IsCommentMarker(line[0])) {
    if (line.find_first_of("[=") == std::string::npos) {
      record.Comments = line + "\n";
      record.Section = section;
      record.Value = line;
      m_Records.push_back(std::move(record));
      return;
    }
    record.Commented = line[0];
    line.erase(0, 1);
    Trim(line, kBlanks, 0);
  }

  bool header = false;
  if (!line.empty() && line[0] == '[') {
    // A header without "]" takes the rest of the line as its name.
    line.erase(0, 1);
    line.erase(std::min(line.find(']'), line.size()));
    section = line;
    header = true;
  }
  record.Section = section;
  if (const size_t eq = line.find('='); eq != std::string::npos) {
    record.Key = line.substr(0, eq);
    record.Value = line.substr(eq + 1);
  } else if (!header) {
    record.Value = line;
  }
  m_Records.push_back(std::move(record));
}

std::vector<CIniFile::Record> CIniFile::GetSection(std::string section) const {
  std::vector<Record> out;
  for (const Record& r : m_Records) {
    if (r.Section == section && (!r.Key.empty() || !r.Value.empty())) out.push_back(r);
  }
  return out;
}

std::vector<CIniFile::Record> CIniFile::GetRecord(std::string section,
                                                  std::string key) const {
  auto it = std::find_if(m_Records.begin(), m_Records.end(),
                         RecordSectionKeyIs(std::move(section), std::move(key)));
  if (it == m_Records.end()) return {};
  return {*it};
}

std::string CIniFile::GetString(std::string section, std::string key) const {
  auto found = GetRecord(std::move(section), std::move(key));
  return found.empty() ? std::string() : found.front().Value;
}

int CIniFile::GetNumber(std::string section, std::string key, int def) const {
  const std::string text = GetString(std::move(section), std::move(key));
  if (text.empty()) return def;
  // atoi semantics, without its undefined behaviour on overflow.
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

void CIniFile::FillSettings() {
  GLOBAL::m_bLogging = GetNumber("Settings", "Log", 0);
  m_bFiles = GetNumber("Settings", "Files", 1) != 0;
  m_bAllFiles = GetNumber("Settings", "AllFiles", 0) != 0;
  m_bMsi = GetNumber("Settings", "Msi", 1) != 0;
  m_bShortcuts = GetNumber("Settings", "Shortcuts", 1) != 0;
  m_bCRC = GetNumber("Settings", "CRC", 0) != 0;
  m_bCompress = GetNumber("Settings", "Compress", 1) != 0;
  m_nPause = GetNumber("Settings", "Pause", 0);
  m_IgnoreFolders = GetSection("IgnoreFolders");
  m_szComputerData = GetString("Settings", "ComputerData");
  m_szOutputFolder = GetString("Settings", "OutputFolder");
  m_bUploadByHttp = GetNumber("Settings", "UploadByHttp", 0) != 0;
  m_szHttpAddress = GetString("HTTP", "Address");
  m_szHttpUsername = GetString("HTTP", "Username");
  m_szHttpPassword = GetString("HTTP", "Password");
  m_bPasswordIsEncrypted = GetNumber("HTTP", "PasswordIsEncrypted", 0) != 0;
  m_nHttpTimeout = GetNumber("HTTP", "Timeout", 300);
  if (m_nHttpTimeout < 0) m_nHttpTimeout = 300;  // a negative bound means nothing; keep the default
  m_szHttpCAFile = GetString("HTTP", "CAFile");
}
