#include "files/ignore_rules.h"

#include <gtest/gtest.h>

namespace {

std::string Check(const std::vector<std::string>& values, const std::string& path) {
  return IgnoreRules(values).Check(path).value_or("");
}

TEST(IgnoreRules, PlainValueIgnoresExactlyThatDirectory) {
  for (const char* value : {"/proc/", "/proc"}) {
    EXPECT_EQ(Check({value}, "/proc"), "ignore3: /proc\n") << value;
    EXPECT_EQ(Check({value}, "/proc2"), "") << value;
    EXPECT_EQ(Check({value}, "/proc/1"), "") << value;
    EXPECT_EQ(Check({value}, "/x/proc"), "") << value;
  }
}

TEST(IgnoreRules, TrailingStarMatchesAnywhereInThePath) {
  const std::vector<std::string> v{"/usr*"};
  EXPECT_EQ(Check(v, "/usr"), "ignore1: /usr\n");
  EXPECT_EQ(Check(v, "/usr/lib"), "ignore1: /usr/lib\n");
  EXPECT_EQ(Check(v, "/home/x/usr-data"), "ignore1: /home/x/usr-data\n");
  EXPECT_EQ(Check(v, "/us"), "");
  EXPECT_EQ(Check({"*tmp*"}, "/var/tmpfiles"), "ignore1: /var/tmpfiles\n");
}

TEST(IgnoreRules, LeadingStarMatchesAnywhereInThePath) {
  const std::vector<std::string> v{"*cache"};
  EXPECT_EQ(Check(v, "/var/cache"), "ignore2: /var/cache\n");
  EXPECT_EQ(Check(v, "/var/cache/apt"), "ignore2: /var/cache/apt\n");
  EXPECT_EQ(Check(v, "/home/u/cachedir"), "ignore2: /home/u/cachedir\n");
  EXPECT_EQ(Check(v, "/var/cach"), "");
  EXPECT_EQ(Check({"*cache/"}, "/var/cache"), "ignore2: /var/cache\n");
}

TEST(IgnoreRules, LoneStarsIgnoreEverythingEvenTheRoot) {
  EXPECT_EQ(Check({"*"}, "/"), "ignore1: /\n");
  EXPECT_EQ(Check({"**"}, "/a/b"), "ignore1: /a/b\n");
  EXPECT_EQ(Check({"/"}, "/"), "");  // a plain "/" loses its slash and matches nothing
}

TEST(IgnoreRules, CaseOfAsciiLettersDoesNotCount) {
  EXPECT_EQ(Check({"/USR/Local"}, "/usr/local"), "ignore3: /usr/local\n");
  EXPECT_EQ(Check({"/usr/local"}, "/USR/LOCAL"), "ignore3: /usr/local\n");
  EXPECT_EQ(Check({"/\xC3\x89T\xC3\x89"}, "/\xC3\xA9t\xC3\xA9"), "");  // only A-Z fold
}

TEST(IgnoreRules, PathWithoutSlashIsNeverIgnoredElseTestedFromItsFirstSlash) {
  EXPECT_EQ(Check({"*"}, "data"), "");
  EXPECT_EQ(Check({"/sub"}, "data/sub"), "ignore3: /sub\n");
  EXPECT_EQ(Check({"/data/sub"}, "data/sub"), "");
  EXPECT_EQ(Check({"/sub"}, "../x/sub"), "");
}

TEST(IgnoreRules, EmptyValuesAreSkippedAndFirstMatchWins) {
  EXPECT_EQ(Check({"", "/a"}, "/a"), "ignore3: /a\n");
  EXPECT_EQ(Check({"*a", "/a*"}, "/a"), "ignore2: /a\n");
  EXPECT_EQ(Check({"/a*", "*a"}, "/a"), "ignore1: /a\n");
  EXPECT_TRUE(IgnoreRules({"", ""}).Empty());
}

TEST(IgnoreRules, ValuesWithOddBytesAreTakenLiterally) {
  EXPECT_EQ(Check({"/a?b"}, "/a?b"), "ignore3: /a?b\n");
  EXPECT_EQ(Check({"/a?b"}, "/axb"), "");
  EXPECT_EQ(Check({"*[x]*"}, "/q[x]"), "ignore1: /q[x]\n");
}

TEST(ToLower, OnlyAsciiLettersChange) {
  std::string s = "AbZ[@\xC9\xFF";
  ToLower(s);
  EXPECT_EQ(s, "abz[@\xC9\xFF");
  char c[] = "MiXeD";
  ToLower(c);
  EXPECT_STREQ(c, "mixed");
}

}  // namespace
