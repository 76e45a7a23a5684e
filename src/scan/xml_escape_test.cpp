#include "scan/xml_escape.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlReplaceChars, EscapesMarkupCharacters) {
  std::string s = "a\"b<c>&d";
  XmlReplaceChars(s);
  EXPECT_EQ(s, "a&quot;b&lt;c&gt;&amp;d");
  s = "it's &amp;";
  XmlReplaceChars(s);
  EXPECT_EQ(s, "it's &amp;amp;");
}

TEST(XmlReplaceChars, ForbiddenControlBytesBecomeQuestionMarks) {
  std::string s = std::string("a\x01\x08\x0b\x0c\x0e\x1f", 7) + "\tb\nc\rd\x7f\x80\xff";
  s += '\0';
  XmlReplaceChars(s);
  EXPECT_EQ(s, "a??????\tb\nc\rd\x7f\x80\xff?");
}

TEST(XmlReplaceChars, OrdinaryValuesStayUnchanged) {
  std::string s = "en_US Debian GNU/Linux 12 (bookworm) ÄÖ";
  XmlReplaceChars(s);
  EXPECT_EQ(s, "en_US Debian GNU/Linux 12 (bookworm) ÄÖ");
  EXPECT_EQ(XmlEscaped(std::string(20000, '&')).size(), 100000u);
}

}  // namespace
