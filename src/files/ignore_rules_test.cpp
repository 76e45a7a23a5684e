#include "files/ignore_rules.h"

#include <gtest/gtest.h>

namespace {

// Values in file order, a directory path, and the message it gets ("" when
// not ignored).
struct Case {
  std::vector<std::string> values;
  std::string path, want;
};

TEST(IgnoreRules, EveryFormOfValue) {
  const Case cases[] = {
      // plain, with or without "/": exactly that directory
      {{"/proc/"}, "/proc", "ignore3: /proc\n"}, {{"/proc"}, "/proc", "ignore3: /proc\n"},
      {{"/proc"}, "/proc2", ""}, {{"/proc"}, "/x/proc", ""},
      // a star at either end: the text anywhere in the path
      {{"/usr*"}, "/us", ""}, {{"/usr*"}, "/h/usr-data", "ignore1: /h/usr-data\n"},
      {{"*cache"}, "/var/cach", ""}, {{"*tmp*"}, "/var/tmpfiles", "ignore1: /var/tmpfiles\n"},
      {{"*cache"}, "/u/cachedir", "ignore2: /u/cachedir\n"},
      {{"*cache/"}, "/var/cache", "ignore2: /var/cache\n"},
      // lone stars ignore everything, even the root; a plain "/" nothing
      {{"*"}, "/", "ignore1: /\n"}, {{"**"}, "/a/b", "ignore1: /a/b\n"}, {{"/"}, "/", ""},
      // case counts for ASCII letters only
      {{"/USR/Local"}, "/usr/LOCAL", "ignore3: /usr/local\n"},
      {{"/\xC3\x89T\xC3\x89"}, "/\xC3\xA9t\xC3\xA9", ""},
      // a path is tested from its first "/"; one without is never ignored
      {{"*"}, "data", ""}, {{"/sub"}, "data/sub", "ignore3: /sub\n"}, {{"/sub"}, "../x/sub", ""},
      // empty values are skipped, the first match wins, wildcards are literal
      {{"", "/a"}, "/a", "ignore3: /a\n"}, {{"*a", "/a*"}, "/a", "ignore2: /a\n"},
      {{"/a*", "*a"}, "/a", "ignore1: /a\n"}, {{"/a?b"}, "/axb", ""},
      {{"*[x]*"}, "/q[x]", "ignore1: /q[x]\n"}};
  for (const Case& c : cases)
    EXPECT_EQ(IgnoreRules(c.values).Check(c.path).value_or(""), c.want) << c.values.back();
  EXPECT_TRUE(IgnoreRules({"", ""}).Empty());
}

}  // namespace
