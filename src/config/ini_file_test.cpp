#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "config/password_cipher.h"
#include "scan/log.h"

namespace {

CIniFile LoadText(const std::string& text) {
  CIniFile ini;
  std::istringstream in(text);
  ini.LoadFromStream(in);
  return ini;
}

TEST(Trim, Modes) {
  const std::string chars = " \t\r\n";
  for (auto [mode, expected] : {std::pair{0, "ab c"}, {1, "ab c\r\n"}, {2, " \tab c"}}) {
    std::string s = " \tab c\r\n";
    Trim(s, chars, mode);
    EXPECT_EQ(s, expected) << mode;
  }
  std::string blank = " \t ";
  Trim(blank, chars, 1);
  EXPECT_EQ(blank, "");
}

TEST(IniFile, NoFileKeepsEverything) {
  CIniFile ini;
  GLOBAL::m_bLogging = 7;
  EXPECT_FALSE(ini.Load("/nonexistent/dir/scanunix.ini"));
  EXPECT_FALSE(ini.Load("/tmp"));  // a directory is no settings file
  EXPECT_EQ(GLOBAL::m_bLogging, 7);
  EXPECT_TRUE(ini.m_bFiles && ini.m_bMsi && ini.m_bShortcuts && ini.m_bCompress);
  EXPECT_FALSE(ini.m_bAllFiles || ini.m_bCRC || ini.m_bUploadByHttp);
  EXPECT_EQ(ini.m_nPause, 0);
  GLOBAL::m_bLogging = 0;
}

TEST(IniFile, ValuesAndKeys) {
  EXPECT_TRUE(LoadText("[Settings]\nFiles=\n").m_bFiles);      // empty: the default
  EXPECT_FALSE(LoadText("[Settings]\nFiles=abc\n").m_bFiles);  // not a number: 0
  EXPECT_TRUE(LoadText("[Settings]\nFiles=-1\n").m_bFiles);
  EXPECT_EQ(LoadText("[Settings]\nPause=250ms\n").m_nPause, 250);
  EXPECT_EQ(LoadText("[Settings]\nPause=99999999999999\n").m_nPause, INT_MAX);
  EXPECT_TRUE(LoadText("[Settings]\nFiles =0\n").m_bFiles);      // key "Files "
  EXPECT_TRUE(LoadText("[settings]\nMsi=0\n").m_bMsi);           // another section
  EXPECT_TRUE(LoadText("Files=0\n[Settings]\n").m_bFiles);       // nameless section
  EXPECT_FALSE(LoadText("[Settings\nMsi=0\n").m_bMsi);           // no "]": rest is the name
  EXPECT_FALSE(LoadText("[Settings]\nFiles=0\n[HTTP]\n[Settings]\nFiles=1\n").m_bFiles);
  EXPECT_EQ(LoadText("[Settings]\nOutputFolder= /var/scan ;here\n").m_szOutputFolder,
            " /var/scan ;here");
  const std::string longPath(600, 'p');
  EXPECT_EQ(LoadText("[Settings]\nOutputFolder=" + longPath + "\n").m_szOutputFolder, longPath);
}

TEST(IniFile, CommentsAndCommentedOutLines) {
  EXPECT_FALSE(LoadText("[Settings]\n#Files=0\n").m_bFiles);
  EXPECT_FALSE(LoadText("[Settings]\n; Files=0\n").m_bFiles);
  EXPECT_FALSE(LoadText("#[Settings]\nMsi=0\n").m_bMsi);  // a commented header still opens
  auto ini = LoadText("[Settings]\n# a comment\n;Msi=0\n");
  ASSERT_EQ(ini.m_Records.size(), 3u);
  EXPECT_EQ(ini.m_Records[1].Comments, "# a comment\n");
  EXPECT_EQ(ini.m_Records[1].Value, "# a comment");
  EXPECT_EQ(ini.m_Records[2].Commented, ';');
  EXPECT_EQ(ini.m_Records[0].Commented, ' ');
}

TEST(IniFile, LineEnds) {
  EXPECT_TRUE(LoadText("[Settings]\nMsi=0").m_bMsi);  // no final line feed: not read
  EXPECT_EQ(LoadText("[Settings]\r\nLog=2\r\nOutputFolder=/x\r\n").m_szOutputFolder, "/x");
  EXPECT_EQ(GLOBAL::m_bLogging, 2);
  LoadText("[Settings]\nLog=-1\n");
  EXPECT_EQ(GLOBAL::m_bLogging, -1);
  LoadText("");
  EXPECT_EQ(GLOBAL::m_bLogging, 0);
}

TEST(IniFile, IgnoreFoldersSection) {
  auto ini = LoadText("[IgnoreFolders]\n/proc\n1=/sys\n# skip these\n/data/[old]\n/tmp\n");
  std::vector<std::string> values;
  for (const auto& record : ini.m_IgnoreFolders) values.push_back(record.Value);
  EXPECT_EQ(values, (std::vector<std::string>{"/proc", "/sys", "# skip these", "/data/[old]", "/tmp"}));
}

TEST(IniFile, SecondLoadResetsMissingKeys) {
  CIniFile ini;
  std::istringstream first("[Settings]\nCRC=1\n[HTTP]\nAddress=srv\n");
  ini.LoadFromStream(first);
  EXPECT_TRUE(ini.m_bCRC);
  std::istringstream second("[Settings]\nFiles=1\n");
  ini.LoadFromStream(second);
  EXPECT_FALSE(ini.m_bCRC);
  EXPECT_EQ(ini.m_szHttpAddress, "");
  EXPECT_EQ(ini.GetNumber("Settings", "Missing", 42), 42);
}

TEST(PasswordStep, OnlyAnEncryptedPasswordIsDecryptedWhenLoading) {
  const std::string hex = BlowFish_EncodeToHexString("Secret=1 ;#");
  EXPECT_EQ(LoadText("[HTTP]\nPassword=" + hex + "\r\nPasswordIsEncrypted=1\r\n").m_szHttpPassword,
            "Secret=1 ;#");
  EXPECT_EQ(LoadText("[HTTP]\nPassword=ABCDEF\n").m_szHttpPassword, "ABCDEF");
  EXPECT_EQ(LoadText("[HTTP]\nPassword=\nPasswordIsEncrypted=1\n").m_szHttpPassword, "");
  EXPECT_EQ(LoadText("[HTTP]\nPasswordIsEncrypted=1\n").m_szHttpPassword, "");
  // The other upload keys beside it.
  EXPECT_EQ(LoadText("[HTTP]\nTimeout=-5\n").m_nHttpTimeout, 300);
  EXPECT_EQ(LoadText("[HTTP]\nTimeout=0\n").m_nHttpTimeout, 0);
  EXPECT_EQ(LoadText("[HTTP]\nCAFile=/etc/inv/ca.pem\n").m_szHttpCAFile, "/etc/inv/ca.pem");
}

}  // namespace
