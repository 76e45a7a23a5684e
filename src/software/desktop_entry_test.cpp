#include "software/desktop_entry.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(DesktopEntry, FirstKeyLinesOfTheGroupUpToTheLineEnd) {
  const std::string longName(4000, 'n');
  const std::pair<std::string, std::string> cases[] = {  // content, "name|program|categories"
      // Longer and localized keys are other keys; other groups do not count.
      {"Name=Before\n[Desktop Entry]\nGenericName=Web Browser\nName[de]=Netz\n"
       "X-GNOME-FullName=Full\nName=Browser\nTryExec=launch\nExec=foo %U\n"
       "[Desktop Action New]\nCategories=Late;\n",
       "Browser|foo|"},
      {"[Desktop Entry]\r\nName= Sp \r\nExec=run\r\nCategories=A;\r\nName=Second\r\n",
       " Sp |run|A;"},
      {"[Desktop Entry]\nName=\nCategories=Tail", "||"},
      {"[Desktop Entry]\nComment=a\0b\nName=After\n"s, "After||"},
      {"[Desktop Entry]\nName=" + longName + "\n", longName + "||"},
      // No shortcut without the group header line or a whole "Name=" line in the group.
      {"[Desktop Entry]\nExec=x\nName=Last", "none"},
      {"# [Desktop Entry]\nName=App\nExec=app\n", "none"},
      {"[Desktop Entry]\nName[de]=App\nGenericName=App\n", "none"},
      {"[Desktop Entry]\n[Other]\nName=App\n", "none"},
  };
  for (const auto& [content, expected] : cases) {
    const std::optional<Shortcut> s = ParseDesktopEntry(content);
    EXPECT_EQ(s ? s->name + "|" + s->program + "|" + s->categories : "none", expected) << content;
  }
}

}  // namespace
