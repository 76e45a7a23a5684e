#include "software/desktop_entry.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(DesktopEntry, FirstKeysAfterTheGroupHeaderUpToTheLineFeed) {
  const std::string longName(4000, 'n');
  const std::pair<std::string, std::string> cases[] = {  // content, "name|program|categories"
      {"[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %u\nCategories=Graphics;\n",
       "Viewer|viewer|Graphics;"},
      // Longer keys match too, and keys in later groups count.
      {"Name=Before\n[Desktop Entry]\nGenericName=Web Browser\nName=Browser\nTryExec=launch\n"
       "Exec=foo %U\n[Desktop Action New]\nCategories=Late;\n",
       "Web Browser|launch|Late;"},
      {"[Desktop Entry]\r\nName= Sp \r\nExec=run\r\nCategories=A;\r\n", " Sp \r|run\r|A;\r"},
      {"[Desktop Entry]\nName=\nCategories=Tail", "||"},
      {"\0[Desktop Entry]\nComment=a\0b\nName=After\n"s, "After||"},
      {"[Desktop Entry]\nName=" + longName + "\n", longName + "||"},
      // No shortcut without the header or a whole "Name=" line.
      {"[Desktop Entry]\nExec=x\nName=Last", "none"},
      {"Name=App\nExec=app\n", "none"},
      {"[Desktop Entry]\nName[de]=App\n", "none"},
  };
  for (const auto& [content, expected] : cases) {
    const std::optional<Shortcut> s = ParseDesktopEntry(content);
    EXPECT_EQ(s ? s->name + "|" + s->program + "|" + s->categories : "none", expected) << content;
  }
}

}  // namespace
