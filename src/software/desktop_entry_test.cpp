#include "software/desktop_entry.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(DesktopEntry, FirstKeyLinesOfTheGroupUpToTheLineEnd) {
  const struct {
    std::string content;
    std::optional<Shortcut> expected;
  } cases[] = {
      // Longer and localized keys are other keys; other groups do not count.
      {"Name=Before\n[Desktop Entry]\nGenericName=Web Browser\nName[de]=Netz\n"
       "X-GNOME-FullName=Full\nName=Browser\nTryExec=launch\nExec=foo %U\n"
       "[Desktop Action New]\nCategories=Late;\n",
       Shortcut{"Browser", "foo", ""}},
      {"[Desktop Entry]\r\nName= Sp \r\nExec=run\r\nCategories=A;\r\nName=Second\r\n",
       Shortcut{" Sp ", "run", "A;"}},
      {"[Desktop Entry]\nName=\nCategories=Tail", Shortcut{}},
      {"[Desktop Entry]\nComment=a\0b\nName=After\n"s, Shortcut{"After", "", ""}},
      // No shortcut without the group header line or a whole "Name=" line in the group.
      {"[Desktop Entry]\nExec=x\nName=Last", std::nullopt},
      {"# [Desktop Entry]\nName=App\nExec=app\n", std::nullopt},
  };
  for (const auto& [content, expected] : cases) {
    SCOPED_TRACE(content.substr(0, 200));
    const std::optional<Shortcut> s = ParseDesktopEntry(content);
    ASSERT_EQ(s.has_value(), expected.has_value());
    if (!s) continue;
    EXPECT_EQ(s->name, expected->name);
    EXPECT_EQ(s->program, expected->program);
    EXPECT_EQ(s->categories, expected->categories);
  }
}

}  // namespace
