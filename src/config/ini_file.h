// The settings file: INI text kept line by line as records, and the typed
// settings the agent reads from it.
#pragma once

#include <istream>
#include <string>
#include <vector>

// Removes characters of `chars` from the ends of `str`: mode 0 both ends,
// 1 only the start, 2 only the end. A string made only of such characters
// becomes empty.
void Trim(std::string& str, const std::string& chars, int mode);

class CIniFile {
 public:
  // One non-blank line of the settings file.
  struct Record {
    std::string Comments;  // a comment line followed by "\n"; else empty
    char Commented = ' ';  // '#' or ';' for a commented-out line
    std::string Section;
    std::string Key;       // text before the first "="
    std::string Value;     // text after the first "=" (or the whole line)
  };

  // True for records of exactly this section and key (case-sensitive).
  struct RecordSectionKeyIs {
    RecordSectionKeyIs(std::string section, std::string key)
        : Section(std::move(section)), Key(std::move(key)) {}
    bool operator()(const Record& record) const {
      return record.Section == Section && record.Key == Key;
    }
    std::string Section;
    std::string Key;
  };

  CIniFile() = default;
  virtual ~CIniFile() = default;

  // Reads the file at `path` and fills the settings from it. False when the
  // file cannot be opened (or is a directory); nothing changes then.
  bool Load(std::string path);
  // The same for text already at hand; lines end at "\n", and a last line
  // without one is not read.
  void LoadFromStream(std::istream& in);

  std::vector<Record> GetSection(std::string section) const;
  std::vector<Record> GetRecord(std::string section, std::string key) const;
  std::string GetString(std::string section, std::string key) const;
  int GetNumber(std::string section, std::string key, int def) const;

  bool m_bFiles = true;
  bool m_bAllFiles = false;
  bool m_bCRC = false;
  bool m_bMsi = true;
  bool m_bShortcuts = true;
  bool m_bCompress = true;
  int m_nPause = 0;
  std::string m_szComputerData;
  std::string m_szOutputFolder;
  std::vector<Record> m_IgnoreFolders;
  bool m_bUploadByHttp = false;
  std::string m_szHttpAddress;
  std::string m_szHttpUsername;
  std::string m_szHttpPassword;
  bool m_bPasswordIsEncrypted = false;
  int m_nHttpTimeout = 300;     // seconds for connect, each send and receive; 0 waits forever
  std::string m_szHttpCAFile;   // PEM certificates trusted for https:// instead of the system's
  std::vector<Record> m_Records;

 private:
  void ParseLine(std::string line, std::string& section);
  void FillSettings();
};
