#include "software/desktop_entry.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

Shortcut Parse(std::string_view content) {
  const std::optional<Shortcut> shortcut = ParseDesktopEntry(content);
  EXPECT_TRUE(shortcut) << content;
  return shortcut.value_or(Shortcut{});
}

TEST(DesktopEntry, PlainEntry) {
  const Shortcut s = Parse(
      "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %u\n"
      "Categories=Graphics;Viewer;\n");
  EXPECT_EQ(s.name, "Viewer");
  EXPECT_EQ(s.program, "viewer");
  EXPECT_EQ(s.categories, "Graphics;Viewer;");
}

TEST(DesktopEntry, FirstOccurrenceWinsEvenInsideLongerKeys) {
  const Shortcut s = Parse(
      "[Desktop Entry]\nGenericName=Web Browser\nName[de]=Netz\nName=Browser\n"
      "TryExec=foo-launcher\nExec=foo %U\n");
  EXPECT_EQ(s.name, "Web Browser");
  EXPECT_EQ(s.program, "foo-launcher");
  EXPECT_EQ(s.categories, "");
}

TEST(DesktopEntry, KeysAreSearchedFromTheGroupHeaderOnly) {
  // Keys before the header do not count; keys in later groups do.
  const Shortcut s = Parse(
      "Name=Before\nExec=before\n[Desktop Entry]\nExec=app\n"
      "[Desktop Action New]\nName=New Window\nCategories=Late;\n");
  EXPECT_EQ(s.name, "New Window");
  EXPECT_EQ(s.program, "app");
  EXPECT_EQ(s.categories, "Late;");
}

TEST(DesktopEntry, CarriageReturnsStayAndNothingIsTrimmed) {
  const Shortcut s =
      Parse("[Desktop Entry]\r\nName= Spaced \r\nExec=run\r\nCategories=A;\r\n");
  EXPECT_EQ(s.name, " Spaced \r");
  EXPECT_EQ(s.program, "run\r");
  EXPECT_EQ(s.categories, "A;\r");
}

TEST(DesktopEntry, ValueWithoutLineFeedIsNotTaken) {
  EXPECT_FALSE(ParseDesktopEntry("[Desktop Entry]\nExec=x\nName=Last"));
  const Shortcut s = Parse("[Desktop Entry]\nName=\nCategories=Tail");
  EXPECT_EQ(s.name, "");
  EXPECT_EQ(s.categories, "");
}

TEST(DesktopEntry, NoHeaderOrNoNameMeansNoShortcut) {
  EXPECT_FALSE(ParseDesktopEntry("Name=App\nExec=app\n"));
  EXPECT_FALSE(ParseDesktopEntry("[Desktop Entry]\nName[de]=App\nExec=app\n"));
  EXPECT_FALSE(ParseDesktopEntry(""));
}

TEST(DesktopEntry, NulBytesDoNotEndTheText) {
  using namespace std::string_view_literals;
  const Shortcut s = Parse("\0[Desktop Entry]\nComment=a\0b\nName=After\n"sv);
  EXPECT_EQ(s.name, "After");
}

TEST(DesktopEntry, LongValuesAreKeptWhole) {
  const std::string longName(4000, 'n');
  EXPECT_EQ(Parse("[Desktop Entry]\nName=" + longName + "\n").name, longName);
}

TEST(DesktopEntry, WrittenEscaped) {
  std::ostringstream out;
  WriteShortcut(out, {"Tom & \"Jerry\"", "<run>", "A;B'"});
  EXPECT_EQ(out.str(),
            "\t\t<Shortcut Name=\"Tom &amp; &quot;Jerry&quot;\" Filename=\"&lt;run&gt;\" "
            "Path=\"\" Categories=\"A;B'\" />\r\n");
}

}  // namespace
