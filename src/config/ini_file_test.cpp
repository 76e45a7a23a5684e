#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "config/password_cipher.h"
#include "config/settings.h"

namespace {

IniFile Parse(const std::string& text) {
  std::istringstream in(text);
  return IniFile::Parse(in);
}

Settings Load(const std::string& text) { return SettingsFrom(Parse(text)); }

TEST(Trim, Ends) {
  const std::string chars = " \t\r\n";
  for (auto [ends, expected] : {std::pair{TrimEnds::kBoth, "ab c"}, {TrimEnds::kStart, "ab c\r\n"},
                                {TrimEnds::kEnd, " \tab c"}}) {
    std::string s = " \tab c\r\n";
    Trim(s, chars, ends);
    EXPECT_EQ(s, expected);
  }
  std::string blank = " \t ";
  Trim(blank, chars, TrimEnds::kStart);
  EXPECT_EQ(blank, "");
}

TEST(IniFile, NoFileGivesTheDefaults) {
  EXPECT_FALSE(IniFile::Load("/nonexistent/dir/scanunix.ini"));
  for (const char* other : {"/tmp", "/dev/zero"})  // no settings file, and never read without end
    EXPECT_FALSE(IniFile::Load(other)) << other;
  const Settings s;
  EXPECT_TRUE(s.files.enabled && s.packages && s.shortcuts && s.compress);
  EXPECT_FALSE(s.files.allFiles || s.files.crc || s.upload.enabled);
  EXPECT_EQ(s.files.pauseMs, 0);
  EXPECT_EQ(s.logLevel, 0);
}

TEST(IniFile, ValuesAndKeys) {
  EXPECT_TRUE(Load("[Settings]\nFiles=\n").files.enabled);      // empty: the default
  EXPECT_FALSE(Load("[Settings]\nFiles=abc\n").files.enabled);  // not a number: 0
  EXPECT_TRUE(Load("[Settings]\nFiles=-1\n").files.enabled);
  EXPECT_EQ(Load("[Settings]\nPause=250ms\n").files.pauseMs, 250);
  EXPECT_EQ(Load("[Settings]\nPause=99999999999999\n").files.pauseMs, INT_MAX);
  EXPECT_TRUE(Load("[Settings]\nFiles =0\n").files.enabled);      // key "Files "
  EXPECT_TRUE(Load("[settings]\nMsi=0\n").packages);              // another section
  EXPECT_TRUE(Load("Files=0\n[Settings]\n").files.enabled);       // nameless section
  EXPECT_FALSE(Load("[Settings\nMsi=0\n").packages);              // no "]": rest is the name
  EXPECT_FALSE(Load("[Settings]\nFiles=0\n[HTTP]\n[Settings]\nFiles=1\n").files.enabled);
  EXPECT_EQ(Load("[Settings]\nOutputFolder= /var/scan ;here\n").outputFolder, " /var/scan ;here");
  const std::string longPath(600, 'p');
  EXPECT_EQ(Load("[Settings]\nOutputFolder=" + longPath + "\n").outputFolder, longPath);
  EXPECT_EQ(Parse("[Settings]\n").Number("Settings", "Missing", 42), 42);
}

TEST(IniFile, CommentsAndCommentedOutLines) {
  EXPECT_FALSE(Load("[Settings]\n#Files=0\n").files.enabled);
  EXPECT_FALSE(Load("[Settings]\n; Files=0\n").files.enabled);
  EXPECT_FALSE(Load("#[Settings]\nMsi=0\n").packages);  // a commented header still opens
  const IniFile ini = Parse("[Settings]\n# a comment\n;Msi=0\n");
  ASSERT_EQ(ini.records().size(), 3u);
  EXPECT_EQ(ini.records()[1].comments, "# a comment\n");
  EXPECT_EQ(ini.records()[1].value, "# a comment");
  EXPECT_EQ(ini.records()[2].commented, ';');
  EXPECT_EQ(ini.records()[0].commented, ' ');
}

TEST(IniFile, LineEnds) {
  EXPECT_TRUE(Load("[Settings]\nMsi=0").packages);  // no final line feed: not read
  const Settings crlf = Load("[Settings]\r\nLog=2\r\nOutputFolder=/x\r\n");
  EXPECT_EQ(crlf.outputFolder, "/x");
  EXPECT_EQ(crlf.logLevel, 2);
  EXPECT_EQ(Load("[Settings]\nLog=-1\n").logLevel, -1);
  EXPECT_EQ(Load("").logLevel, 0);
}

TEST(IniFile, IgnoreFoldersSection) {
  EXPECT_EQ(Load("[IgnoreFolders]\n/proc\n1=/sys\n# skip these\n/data/[old]\n/tmp\n").files.ignoreFolders,
            (std::vector<std::string>{"/proc", "/sys", "# skip these", "/data/[old]", "/tmp"}));
}

TEST(PasswordStep, OnlyAnEncryptedPasswordIsDecryptedWhenLoading) {
  const std::string hex = EncryptPassword("Secret=1 ;#");
  EXPECT_EQ(Load("[HTTP]\nPassword=" + hex + "\r\nPasswordIsEncrypted=1\r\n").upload.password,
            "Secret=1 ;#");
  EXPECT_EQ(Load("[HTTP]\nPassword=ABCDEF\n").upload.password, "ABCDEF");
  EXPECT_EQ(Load("[HTTP]\nPassword=\nPasswordIsEncrypted=1\n").upload.password, "");
  EXPECT_EQ(Load("[HTTP]\nPasswordIsEncrypted=1\n").upload.password, "");
  // The other upload keys beside it.
  EXPECT_EQ(Load("[HTTP]\nTimeout=-5\n").upload.timeoutSeconds, 300);
  EXPECT_EQ(Load("[HTTP]\nTimeout=0\n").upload.timeoutSeconds, 0);
  EXPECT_EQ(Load("[HTTP]\nCAFile=/etc/inv/ca.pem\n").upload.caFile, "/etc/inv/ca.pem");
}

}  // namespace
