#include "software/package_list.h"

#include <gtest/gtest.h>

#include <sstream>

#include "software/test_support.h"

namespace {

using software_test::TempDir;
using software_test::WriteFile;

std::string Row(const PackageRecord& record) {
  std::ostringstream out;
  WriteInstalled(out, record);
  return out.str();
}

TEST(FieldLine, FiveFieldsGoToTheirAttributes) {
  const PackageRecord r = ParseFieldLine("bash|||5.2-15|||shells|||Matthias <m@x>|||http://b");
  EXPECT_EQ(Row(r),
            "\t\t<Installed ProductName=\"bash\" VersionString=\"5.2-15\" HelpLink=\"http://b\" "
            "InstallLocation=\"shells\" InstallSource=\"\" InstallDate=\"\" "
            "Publisher=\"Matthias &lt;m@x&gt;\" UseCount=\"\" LastUsed=\"\" UserName=\"\" "
            "OrgName=\"\" Serial=\"\" />\r\n");
}

TEST(FieldLine, MissingSeparatorsLeaveTheRestEmpty) {
  const PackageRecord whole = ParseFieldLine("just a name");
  EXPECT_EQ(whole.productName, "just a name");
  EXPECT_EQ(whole.versionString + whole.installLocation + whole.publisher + whole.helpLink, "");

  const PackageRecord two = ParseFieldLine("pkg|||1.0");
  EXPECT_EQ(two.productName, "pkg");
  EXPECT_EQ(two.versionString, "1.0");
  EXPECT_EQ(two.installLocation + two.publisher + two.helpLink, "");

  const PackageRecord emptyFields = ParseFieldLine("pkg||||||||||||");
  EXPECT_EQ(emptyFields.productName, "pkg");
  EXPECT_EQ(emptyFields.helpLink, "");
}

TEST(FieldLine, LastFieldKeepsFurtherSeparators) {
  const PackageRecord r = ParseFieldLine("a|||b|||c|||d|||e|||f|||g");
  EXPECT_EQ(r.helpLink, "e|||f|||g");
  EXPECT_EQ(r.publisher, "d");
}

const char* const kDpkgHeader =
    "Desired=Unknown/Install/Remove/Purge/Hold\n"
    "| Status=Not/Inst/Conf-files/Unpacked/halF-conf/Half-inst/trig-aWait/Trig-pend\n"
    "|/ Err?=(none)/Reinst-required (Status,Err: uppercase=bad)\n"
    "||/ Name           Version      Architecture Description\n"
    "+++-==============-============-============-=================================\n";

TEST(ColumnList, ReadsByHeaderColumnsWithSystemAsPublisher) {
  TempDir dir;
  WriteFile(dir / "list", std::string(kDpkgHeader) +
                              "ii  adduser        3.134        all          add & remove users\n"
                              "rc  old-thing      0.9-1        amd64        gone <mostly>\n");
  std::ostringstream out;
  EXPECT_EQ(ReadPackageList(dir / "list", ListForm::kColumns, "Debian \"12\"", out), 2u);
  EXPECT_EQ(out.str(),
            "\t\t<Installed ProductName=\"adduser\" VersionString=\"3.134\" "
            "HelpLink=\"add &amp; remove users\" InstallLocation=\"\" InstallSource=\"\" "
            "InstallDate=\"\" Publisher=\"Debian &quot;12&quot;\" UseCount=\"\" LastUsed=\"\" "
            "UserName=\"\" OrgName=\"\" Serial=\"\" />\r\n"
            "\t\t<Installed ProductName=\"old-thing\" VersionString=\"0.9-1\" "
            "HelpLink=\"gone &lt;mostly&gt;\" InstallLocation=\"\" InstallSource=\"\" "
            "InstallDate=\"\" Publisher=\"Debian &quot;12&quot;\" UseCount=\"\" LastUsed=\"\" "
            "UserName=\"\" OrgName=\"\" Serial=\"\" />\r\n");
}

TEST(ColumnList, HeaderWithoutDescriptionAndShortLines) {
  ColumnListParser parser("sys");
  EXPECT_FALSE(parser.Feed("junk before the header"));
  EXPECT_FALSE(parser.Feed("||/ Name   Version  Architecture"));
  EXPECT_FALSE(parser.Feed("+++-======-========"));
  const auto full = parser.Feed("ii  zlib   1.2.13   amd64   compression library");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->productName, "zlib");
  EXPECT_EQ(full->versionString, "1.2.13");
  EXPECT_EQ(full->helpLink, "");
  const auto shortLine = parser.Feed("ii  ab");
  ASSERT_TRUE(shortLine);
  EXPECT_EQ(shortLine->productName, "ab");
  EXPECT_EQ(shortLine->versionString, "");
  const auto empty = parser.Feed("");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->productName, "");
}

TEST(ColumnList, NoHeaderMeansNoPackages) {
  TempDir dir;
  WriteFile(dir / "list", "ii  adduser 3.134 all add users\n");
  std::ostringstream out;
  EXPECT_EQ(ReadPackageList(dir / "list", ListForm::kColumns, "", out), 0u);
  EXPECT_EQ(out.str(), "");
}

TEST(ListFile, OnlyLinesEndedByLineFeedCount) {
  TempDir dir;
  std::string big(100000, 'x');  // spans several reads
  WriteFile(dir / "list", "one|||1\n" + big + "|||2\nlast-without-feed|||3");
  std::ostringstream out;
  EXPECT_EQ(ReadPackageList(dir / "list", ListForm::kFields, "", out), 2u);
  EXPECT_NE(out.str().find("ProductName=\"one\""), std::string::npos);
  EXPECT_NE(out.str().find("ProductName=\"" + big + "\" VersionString=\"2\""), std::string::npos);
  EXPECT_EQ(out.str().find("last-without-feed"), std::string::npos);
}

TEST(ListFile, MissingFileOrLinkIsNotRead) {
  TempDir dir;
  std::ostringstream out;
  EXPECT_FALSE(ReadPackageList(dir / "absent", ListForm::kFields, "", out));
  WriteFile(dir / "real", "pkg|||1\n");
  std::filesystem::create_symlink(dir / "real", dir / "link");
  EXPECT_FALSE(ReadPackageList(dir / "link", ListForm::kFields, "", out));
  EXPECT_EQ(out.str(), "");
}

TEST(Progress, NumberPaddedAndLineCutAtEighty) {
  EXPECT_EQ(ProgressLine(7, "bash"), "\r00000007 bash" + std::string(66, ' '));
  EXPECT_EQ(ProgressLine(123456789, "x"), "\r123456789 x" + std::string(68, ' '));
  const std::string longName(200, 'p');
  EXPECT_EQ(ProgressLine(1, longName), "\r00000001 " + std::string(70, 'p'));
}

TEST(InstallDate, LocalTimeInDayMonthYearOrder) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(FormatInstallDate(1700000000), "14.11.2023 22:13:20");
  EXPECT_EQ(FormatInstallDate(0), "01.01.1970 00:00:00");
  EXPECT_EQ(FormatInstallDate(-1), "31.12.1969 23:59:59");
}

}  // namespace
