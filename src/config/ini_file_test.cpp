#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "scan/log.h"

namespace {

CIniFile LoadText(const std::string& text) {
  CIniFile ini;
  std::istringstream in(text);
  ini.LoadFromStream(in);
  return ini;
}

TEST(Trim, Modes) {
  std::string s = " \tab c\r\n";
  Trim(s, " \t\r\n", 0);
  EXPECT_EQ(s, "ab c");
  s = "  x  ";
  Trim(s, " ", 1);
  EXPECT_EQ(s, "x  ");
  s = "  x  ";
  Trim(s, " ", 2);
  EXPECT_EQ(s, "  x");
  s = " \t ";
  Trim(s, " \t", 1);
  EXPECT_EQ(s, "");
}

TEST(IniFile, DefaultsWithoutAFile) {
  CIniFile ini;
  GLOBAL::m_bLogging = 7;
  EXPECT_FALSE(ini.Load("/nonexistent/dir/scanunix.ini"));
  EXPECT_FALSE(ini.Load("/tmp"));  // a directory is no settings file
  EXPECT_EQ(GLOBAL::m_bLogging, 7);
  EXPECT_TRUE(ini.m_bFiles);
  EXPECT_FALSE(ini.m_bAllFiles);
  EXPECT_FALSE(ini.m_bCRC);
  EXPECT_TRUE(ini.m_bMsi);
  EXPECT_TRUE(ini.m_bShortcuts);
  EXPECT_TRUE(ini.m_bCompress);
  EXPECT_EQ(ini.m_nPause, 0);
  EXPECT_FALSE(ini.m_bUploadByHttp);
  EXPECT_TRUE(ini.m_Records.empty());
  GLOBAL::m_bLogging = 0;
}

TEST(IniFile, NumberConversionFollowsAtoi) {
  EXPECT_TRUE(LoadText("[Settings]\nFiles=\n").m_bFiles);        // empty: default
  EXPECT_FALSE(LoadText("[Settings]\nFiles=abc\n").m_bFiles);    // letters: 0
  EXPECT_TRUE(LoadText("[Settings]\nFiles=-1\n").m_bFiles);      // any non-zero
  EXPECT_EQ(LoadText("[Settings]\nPause=250ms\n").m_nPause, 250);
  EXPECT_EQ(LoadText("[Settings]\nPause=  -3\n").m_nPause, -3);
  EXPECT_EQ(LoadText("[Settings]\nPause=99999999999999\n").m_nPause, INT_MAX);
}

TEST(IniFile, KeysMatchExactly) {
  EXPECT_TRUE(LoadText("[Settings]\nFiles =0\n").m_bFiles);
  EXPECT_TRUE(LoadText("[settings]\nFiles=0\nMsi=0\n").m_bMsi);
  // Value keeps its spaces and anything after a comment marker.
  auto ini = LoadText("[Settings]\nOutputFolder= /var/scan ;here\n");
  EXPECT_EQ(ini.m_szOutputFolder, " /var/scan ;here");
  // Keys above any header belong to the nameless section.
  EXPECT_TRUE(LoadText("Files=0\n[Settings]\n").m_bFiles);
}

TEST(IniFile, CommentsAndCommentedOutLines) {
  EXPECT_FALSE(LoadText("[Settings]\n#Files=0\n").m_bFiles);
  EXPECT_FALSE(LoadText("[Settings]\n; Files=0\n").m_bFiles);
  auto ini = LoadText("[Settings]\n# a comment\nFiles=0\n");
  EXPECT_FALSE(ini.m_bFiles);
  ASSERT_EQ(ini.m_Records.size(), 3u);
  EXPECT_EQ(ini.m_Records[1].Comments, "# a comment\n");
  EXPECT_EQ(ini.m_Records[1].Value, "# a comment");
  EXPECT_EQ(ini.m_Records[2].Commented, ' ');
  // A commented-out header still opens its section.
  EXPECT_FALSE(LoadText("#[Settings]\nMsi=0\n").m_bMsi);
  EXPECT_EQ(LoadText("[Settings]\n;Msi=0\n").m_Records[1].Commented, ';');
}

TEST(IniFile, FirstOccurrenceWinsAcrossRepeatedSections) {
  EXPECT_FALSE(LoadText("[Settings]\nFiles=0\nFiles=1\n").m_bFiles);
  EXPECT_FALSE(LoadText("[Settings]\nFiles=0\n[HTTP]\n[Settings]\nFiles=1\n").m_bFiles);
}

TEST(IniFile, LineEnds) {
  EXPECT_TRUE(LoadText("[Settings]\nMsi=0").m_bMsi);  // no final line feed
  auto crlf = LoadText("[Settings]\r\nLog=2\r\nOutputFolder=/x\r\n");
  EXPECT_EQ(crlf.m_szOutputFolder, "/x");
  EXPECT_EQ(GLOBAL::m_bLogging, 2);
  LoadText("[Settings]\nLog=-1\n");
  EXPECT_EQ(GLOBAL::m_bLogging, -1);
  LoadText("");
  EXPECT_EQ(GLOBAL::m_bLogging, 0);
}

TEST(IniFile, IgnoreFoldersSection) {
  auto ini = LoadText(
      "[IgnoreFolders]\n/proc\n1=/sys\n# skip these\n/data/[old]\n/tmp\n"
      "[Settings]\nCRC=1\n");
  ASSERT_EQ(ini.m_IgnoreFolders.size(), 5u);
  EXPECT_EQ(ini.m_IgnoreFolders[0].Value, "/proc");
  EXPECT_EQ(ini.m_IgnoreFolders[1].Value, "/sys");
  EXPECT_EQ(ini.m_IgnoreFolders[2].Value, "# skip these");
  EXPECT_EQ(ini.m_IgnoreFolders[3].Value, "/data/[old]");
  EXPECT_EQ(ini.m_IgnoreFolders[4].Value, "/tmp");
  EXPECT_TRUE(ini.m_bCRC);
}

TEST(IniFile, HeaderWithoutClosingBracketNamesTheRest) {
  auto ini = LoadText("[Settings\nMsi=0\n");
  EXPECT_FALSE(ini.m_bMsi);
}

TEST(IniFile, LongValuesAreKeptWhole) {
  const std::string longPath(600, 'p');
  auto ini = LoadText("[Settings]\nOutputFolder=" + longPath + "\n");
  EXPECT_EQ(ini.m_szOutputFolder, longPath);
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
  EXPECT_EQ(ini.GetString("Settings", "Files"), "1");
  EXPECT_EQ(ini.GetNumber("Settings", "Missing", 42), 42);
}

}  // namespace
