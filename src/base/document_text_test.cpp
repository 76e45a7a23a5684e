#include "base/document_text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(AttributeText, EscapesMarkupAndForbiddenBytesOnly) {
  EXPECT_EQ(AttributeText("a\"b<c>&d"), "a&quot;b&lt;c&gt;&amp;d");
  EXPECT_EQ(AttributeText("it's &amp;"), "it's &amp;amp;");
  std::string controls = std::string("a\x01\x08\x0b\x0c\x0e\x1f", 7) + "\tb\nc\rd\x7f\x80\xff";
  controls += '\0';
  EXPECT_EQ(AttributeText(controls), "a??????\tb\nc\rd\x7f\x80\xff?");
  EXPECT_EQ(AttributeText("en_US Debian GNU/Linux 12 (bookworm) ÄÖ"),
            "en_US Debian GNU/Linux 12 (bookworm) ÄÖ");
  EXPECT_EQ(AttributeText(std::string(20000, '&')).size(), 100000u);
}

TEST(DocumentWriter, MarkupAsItStandsValuesEscaped) {
  std::ostringstream out;
  DocumentWriter(out).Markup("<E").Attribute("A", "x<y").Attribute("B", "").Markup("/>");
  EXPECT_EQ(out.str(), "<E A=\"x&lt;y\" B=\"\"/>");
}

}  // namespace
