#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "config/password_cipher.h"
#include "config/settings.h"

namespace {

Settings Load(const std::string& text) {
  std::istringstream in(text);
  return SettingsFrom(IniFile::Parse(in));
}

// The value a test reads back, by its key's name, as text.
std::string Field(const Settings& s, const std::string& key) {
  if (key == "Files") return std::to_string(s.files.enabled);
  if (key == "Pause") return std::to_string(s.files.pauseMs);
  if (key == "Msi") return std::to_string(s.packages);
  if (key == "Log") return std::to_string(s.logLevel);
  if (key == "OutputFolder") return s.outputFolder;
  if (key == "Password") return s.upload.password;
  if (key == "Timeout") return std::to_string(s.upload.timeoutSeconds);
  if (key == "CAFile") return s.upload.caFile;
  if (key == "CertFile") return s.upload.certFile;
  if (key == "KeyFile") return s.upload.keyFile;
  if (key == "Retries") return std::to_string(s.upload.retries);
  return "<unknown key " + key + ">";
}

struct FieldCase {
  std::string text;
  const char* key;
  std::string expected;
};

void ExpectFields(const std::vector<FieldCase>& cases) {
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << " of \"" << c.text << '"');
    EXPECT_EQ(Field(Load(c.text), c.key), c.expected);
  }
}

TEST(IniFile, KeysSectionsCommentsAndLineEnds) {
  ExpectFields({
      {"[Settings]\nFiles=\n", "Files", "1"},     // empty: the default
      {"[Settings]\nFiles=abc\n", "Files", "0"},  // not a number: 0
      {"[Settings]\nPause=250ms\n", "Pause", "250"},
      {"[Settings]\nPause=99999999999999\n", "Pause", std::to_string(INT_MAX)},
      {"[Settings]\nFiles =0\n", "Files", "1"},  // key "Files "
      {"[settings]\nMsi=0\n", "Msi", "1"},       // another section
      {"Msi=0\n[Settings]\n", "Msi", "1"},       // nameless section
      {"[Settings\nMsi=0\n", "Msi", "0"},        // no "]": rest is the name
      {"[Settings]\nFiles=0\n[HTTP]\n[Settings]\nFiles=1\n", "Files", "0"},
      {"[Settings]\nOutputFolder= /var/scan ;here\n", "OutputFolder", " /var/scan ;here"},
      // A commented-out key still counts, and so does a commented header.
      {"[Settings]\n; Files=0\n", "Files", "0"},
      {"#[Settings]\nMsi=0\n", "Msi", "0"},
      {"[Settings]\nMsi=0", "Msi", "1"},  // no final line feed: not read
      {"[Settings]\r\n\tLog=-1 \r\n", "Log", "-1"},
  });
}

TEST(IniFile, NoSettingsFileWhereThereIsNoneOrItNeverEnds) {
  for (const char* path : {"/nonexistent/dir/scanunix.ini", "/tmp", "/dev/zero"})
    EXPECT_FALSE(IniFile::Load(path)) << path;
}

// [IgnoreFileSystems]: absent gives the defaults, present (even empty) replaces them.
TEST(IniFile, ListSectionsTakeEveryLineOrTheValue) {
  using Strings = std::vector<std::string>;
  EXPECT_EQ(Load("[IgnoreFolders]\n/proc\n1=/sys\n# skip these\n/data/[old]\n").files.ignoreFolders,
            (Strings{"/proc", "/sys", "# skip these", "/data/[old]"}));
  EXPECT_EQ(Load("[Settings]\nMsi=0\n").files.ignoreFileSystems, DefaultIgnoredFileSystems());
  EXPECT_EQ(Load("[IgnoreFileSystems]\n[HTTP]\n").files.ignoreFileSystems, Strings{});
  EXPECT_EQ(Load("[IgnoreFileSystems]\n# fuse\nfuse*\n1=nfs\n").files.ignoreFileSystems,
            (Strings{"fuse*", "nfs"}));
}

TEST(IniFile, UploadKeysAndOnlyAnEncryptedPasswordDecrypted) {
  ExpectFields({
      {"[HTTP]\nPassword=" + EncryptPassword("Secret=1 ;#") + "\r\nPasswordIsEncrypted=1\r\n",
       "Password", "Secret=1 ;#"},
      {"[HTTP]\nPassword=ABCDEF\n", "Password", "ABCDEF"},
      {"[HTTP]\nPassword=\nPasswordIsEncrypted=1\n", "Password", ""},
      {"[HTTP]\nTimeout=-5\n", "Timeout", "300"},
      {"[HTTP]\nTimeout=0\n", "Timeout", "0"},
      {"[HTTP]\nCAFile=/etc/inv/ca.pem\n", "CAFile", "/etc/inv/ca.pem"},
      {"[HTTP]\nCertFile=/c.pem\nKeyFile=/k.pem\n", "CertFile", "/c.pem"},
      {"[HTTP]\nCertFile=/c.pem\nKeyFile=/k.pem\n", "KeyFile", "/k.pem"},
      {"[HTTP]\nRetries=0\n", "Retries", "0"},
      {"[HTTP]\nRetries=-1\n", "Retries", "2"},
  });
}

}  // namespace
