#include "host/identity.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>

#include "temp_dir.h"

namespace {

using scanunix_test::TempDir;

TEST(OsDescription, FirstSourceThatExistsWins) {
  TempDir etc;
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "");
  etc.Write("lsb-release", "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"Ubuntu 24.04 LTS\"\n");
  etc.Write("os-release", "PRETTY_NAME=Alpine\nID=alpine\n");  // unquoted: passed over
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "Ubuntu 24.04 LTS");
  etc.Write("os-release", "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "Debian GNU/Linux 12 (bookworm)");
  etc.Write("redhat-release", "Red Hat Enterprise Linux release 9.4 (Plow)\n");
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "Red Hat Enterprise Linux release 9.4 (Plow)");
  etc.Write("system-release", "\"Fedora\" release 40\nsecond\n");
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "\"Fedora\" release 40");
  etc.Write("system-release", "");  // present but empty still wins
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "");
}

TEST(OsDescription, LineRules) {
  TempDir etc;
  etc.Write("os-release", "ID=x\nPRETTY_NAME=\"Cut\"");  // no line end: not examined
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "");
  etc.Write("os-release", "PRETTY_NAME=\"Open ended\n");
  EXPECT_EQ(OsDescriptionFrom(etc.path()), "Open ended");
  const std::string longName(3000, 'n');
  etc.Write("os-release", "PRETTY_NAME=\"" + longName + "\"\n");
  EXPECT_EQ(OsDescriptionFrom(etc.path()), longName);
  std::istringstream in("X=1\nDISTRIB_DESCRIPTION=\"A \"B\"\n");
  std::string value;
  ASSERT_TRUE(FindQuotedValue(in, "DISTRIB_DESCRIPTION=", value));
  EXPECT_EQ(value, "A ");
}

TEST(IdentityRules, NamesAndAddresses) {
  EXPECT_EQ(ComputerNameFromNode("db-1.corp.example"), "db-1");
  EXPECT_EQ(ComputerNameFromNode("a&b.x"), "a&b");
  EXPECT_TRUE(Is64BitMachine("x86_64"));
  EXPECT_TRUE(Is64BitMachine("ppc64le"));
  EXPECT_FALSE(Is64BitMachine("i686"));
  const unsigned char mac[] = {0x00, 0x0c, 0x29, 0xa1, 0xb2, 0xc3};
  EXPECT_EQ(FormatMac(mac), "000C29A1B2C3");
  EXPECT_EQ(UserNameFromLogin(nullptr), "");
  EXPECT_EQ(UserNameFromLogin("(null)"), "");
  EXPECT_EQ(UserNameFromLogin("root"), "root");
  EXPECT_EQ(DomainFromHostName("web01.corp.local"), "corp");
  EXPECT_EQ(DomainFromHostName("web01.local"), "local");
  EXPECT_EQ(DomainFromHostName("web01.example.com"), "example.com");
  EXPECT_EQ(DomainFromHostName("web01"), "");
  EXPECT_EQ(DomainFromDomainName("(none)"), "");
}

TEST(IdentityRules, LanguageIsCutInTheEnvironmentToo) {
  EXPECT_EQ(LanguageFromLang("C"), "C");
  ::setenv("LANG", "en_GB.ISO-8859-1", 1);
  EXPECT_EQ(ProbeLanguage(), "en_GB");
  EXPECT_STREQ(::getenv("LANG"), "en_GB");  // commands started later see it so
  ::unsetenv("LANG");
  EXPECT_EQ(ProbeLanguage(), "");
}

}  // namespace
