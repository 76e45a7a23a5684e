#include "scan/identity.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace {
namespace fs = std::filesystem;

class ReleaseFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/release_test.XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const char* name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  fs::path dir_;
};

TEST_F(ReleaseFiles, NoFilesGiveNoDescription) { EXPECT_EQ(OsDescriptionFrom(dir_), ""); }

TEST_F(ReleaseFiles, SystemReleaseWinsEvenWhenEmpty) {
  Write("os-release", "PRETTY_NAME=\"Debian\"\n");
  Write("system-release", "");
  EXPECT_EQ(OsDescriptionFrom(dir_), "");
  Write("system-release", "\"Fedora\" release 40 (Forty)\nsecond\n");
  EXPECT_EQ(OsDescriptionFrom(dir_), "\"Fedora\" release 40 (Forty)");
}

TEST_F(ReleaseFiles, RedhatReleaseWhenNoSystemRelease) {
  Write("redhat-release", "Red Hat Enterprise Linux release 9.4 (Plow)\n");
  Write("os-release", "PRETTY_NAME=\"other\"\n");
  EXPECT_EQ(OsDescriptionFrom(dir_), "Red Hat Enterprise Linux release 9.4 (Plow)");
}

TEST_F(ReleaseFiles, OsReleasePrettyName) {
  Write("os-release", "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  EXPECT_EQ(OsDescriptionFrom(dir_), "Debian GNU/Linux 12 (bookworm)");
}

TEST_F(ReleaseFiles, UnquotedPrettyNameFallsThroughToLsbRelease) {
  Write("os-release", "PRETTY_NAME=Alpine\nID=alpine\n");
  Write("lsb-release", "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"Ubuntu 24.04 LTS\"\n");
  EXPECT_EQ(OsDescriptionFrom(dir_), "Ubuntu 24.04 LTS");
}

TEST_F(ReleaseFiles, UnterminatedLinesAreNotExamined) {
  Write("os-release", "ID=x\nPRETTY_NAME=\"Cut\"");
  EXPECT_EQ(OsDescriptionFrom(dir_), "");
  Write("os-release", "PRETTY_NAME=\"Open ended\n");
  EXPECT_EQ(OsDescriptionFrom(dir_), "Open ended");
}

TEST_F(ReleaseFiles, LongLinesAreKeptWhole) {
  const std::string name(3000, 'n');
  Write("os-release", "PRETTY_NAME=\"" + name + "\"\n");
  EXPECT_EQ(OsDescriptionFrom(dir_), name);
}

TEST(IdentityRules, ComputerName) {
  EXPECT_EQ(ComputerNameFromNode("db-1.corp.example"), "db-1");
  EXPECT_EQ(ComputerNameFromNode("web01"), "web01");
  EXPECT_EQ(ComputerNameFromNode("a&b.x"), "a&amp;b");
  EXPECT_TRUE(Is64BitMachine("x86_64"));
  EXPECT_TRUE(Is64BitMachine("ppc64le"));
  EXPECT_FALSE(Is64BitMachine("i686"));
}

TEST(IdentityRules, MacAddress) {
  const unsigned char bytes[] = {0x00, 0x0c, 0x29, 0xa1, 0xb2, 0xc3};
  EXPECT_EQ(FormatMac(bytes), "000C29A1B2C3");
}

TEST(IdentityRules, LanguageAndLogin) {
  EXPECT_EQ(LanguageFromLang(nullptr), "");
  EXPECT_EQ(LanguageFromLang("de_DE.UTF-8"), "de_DE");
  EXPECT_EQ(LanguageFromLang("C"), "C");
  EXPECT_EQ(UserNameFromLogin(nullptr), "");
  EXPECT_EQ(UserNameFromLogin("(null)"), "");
  EXPECT_EQ(UserNameFromLogin("root"), "root");
}

TEST(IdentityRules, ProbeLanguageCutsTheEnvironmentToo) {
  ::setenv("LANG", "en_GB.ISO-8859-1", 1);
  EXPECT_EQ(ProbeLanguage(), "en_GB");
  EXPECT_STREQ(::getenv("LANG"), "en_GB");
  ::unsetenv("LANG");
  EXPECT_EQ(ProbeLanguage(), "");
}

TEST(IdentityRules, Domain) {
  EXPECT_EQ(DomainFromHostName("web01.corp.local"), "corp");
  EXPECT_EQ(DomainFromHostName("web01.local"), "local");
  EXPECT_EQ(DomainFromHostName("web01.example.com"), "example.com");
  EXPECT_EQ(DomainFromHostName("web01"), "");
  EXPECT_EQ(DomainFromDomainName("(none)"), "");
  EXPECT_EQ(DomainFromDomainName("corp"), "corp");
}

TEST(IdentityRules, QuotedValueSearch) {
  std::istringstream in("X=1\nDISTRIB_DESCRIPTION=\"A \"B\"\n");
  std::string value;
  ASSERT_TRUE(FindQuotedValue(in, "DISTRIB_DESCRIPTION=", value));
  EXPECT_EQ(value, "A ");
}

}  // namespace
