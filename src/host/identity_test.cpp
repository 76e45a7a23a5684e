#include "host/identity.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/utsname.h>

#include <map>
#include <optional>

#include "temp_dir.h"

namespace {

using scanunix_test::TempDir;

TEST(OsDescription, FirstSourceThatExistsWins) {
  const std::string lsb = "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"Ubuntu 24.04 LTS\"\n";
  const std::string debian = "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n";
  const std::pair<std::map<std::string, std::string>, std::string> cases[] = {  // files, text
      {{}, ""},
      {{{"lsb-release", lsb}}, "Ubuntu 24.04 LTS"},
      {{{"lsb-release", lsb}, {"os-release", debian}}, "Debian GNU/Linux 12 (bookworm)"},
      {{{"os-release", "PRETTY_NAME='Arch Linux'\n"}}, "Arch Linux"},
      {{{"os-release", debian}, {"redhat-release", "Red Hat 9.4\n"}}, "Red Hat 9.4"},
      {{{"redhat-release", "RHEL\n"}, {"system-release", "\"Fedora\" release 40\nsecond\n"}},
       "\"Fedora\" release 40"},
      {{{"system-release", "Amazon Linux 2023"}}, "Amazon Linux 2023"},  // no line end
      {{{"os-release", debian}, {"system-release", ""}}, ""},  // present but empty still wins
  };
  for (const auto& [files, system] : cases) {
    TempDir etc;
    for (const auto& [name, content] : files) etc.Write(name, content);
    EXPECT_EQ(OsDescriptionFrom(etc.path()), system);
  }
}

TEST(OsDescription, KeyedLineRules) {
  const std::string longName(3000, 'n');
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"ID=x\nPRETTY_NAME=\"Cut\"", std::nullopt},  // no line end: not examined
      {"PRETTY_NAME=\"Open ended\n", "Open ended"},
      {"PRETTY_NAME=\"" + longName + "\"\n", longName},
      {"X=1\nPRETTY_NAME=\"A \"B\"\n", "A "},
      {"PRETTY_NAME=A \"B\" C\nPRETTY_NAME=\"second\"\n", "A \"B\" C"},
      {"PRETTY_NAME=\nPRETTY_NAME=\"second\"\n", ""},
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(KeyedValue(text, "PRETTY_NAME="), value) << text;
}

TEST(IdentityRules, NamesLanguageAndKernelBuild) {
  EXPECT_EQ(ComputerNameFromNode("a&b.corp.example"), "a&b");
  EXPECT_TRUE(Is64BitMachine("x86_64") && Is64BitMachine("ppc64le") && !Is64BitMachine("i686"));
  EXPECT_EQ(UserNameFromLogin("(null)") + UserNameFromLogin(nullptr), "");
  const std::pair<const char*, const char*> domains[] = {
      {"web01.corp.local", "corp"}, {"web01.local", "local"},
      {"web01.example.com", "example.com"}, {"web01", ""}};
  for (const auto& [host, domain] : domains) EXPECT_EQ(DomainFromHostName(host), domain);
  EXPECT_EQ(DomainFromDomainName("(none)"), "");
  ::setenv("LANG", "en_GB.ISO-8859-1", 1);
  EXPECT_EQ(ProbeLanguage(), "en_GB");
  EXPECT_STREQ(::getenv("LANG"), "en_GB");  // commands started later see it so
  ::unsetenv("LANG");
  EXPECT_EQ(ProbeLanguage(), "");
  // From _sysctl on old kernels, from uname since 5.5: the same text.
  utsname names{};
  ASSERT_EQ(::uname(&names), 0);
  EXPECT_EQ(ProbeKernelBuild().text, names.version);
}

}  // namespace
