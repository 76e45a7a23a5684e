#include "software/shortcut_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "software/test_support.h"

namespace {

namespace fs = std::filesystem;
using software_test::TempDir;
using software_test::WriteFile;

std::string Entry(const std::string& name) {
  return "[Desktop Entry]\nName=" + name + "\nExec=" + name + "-bin --flag\nCategories=Test;\n";
}

// The Shortcut lines written for `dir`, sorted: directories deliver their
// entries in no fixed order.
std::vector<std::string> Lines(const std::string& dir) {
  std::ostringstream out;
  ScanShortcutsDir(dir, out);
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string Line(const std::string& name) {
  return "\t\t<Shortcut Name=\"" + name + "\" Filename=\"" + name +
         "-bin\" Path=\"\" Categories=\"Test;\" />\r";
}

TEST(ShortcutScan, WhichFilesAreRead) {
  TempDir dir;
  WriteFile(dir / "a.desktop", Entry("a"));
  WriteFile(dir / "b.desktop.bak", Entry("b"));          // ".desktop" anywhere
  WriteFile(dir / "sub" / "deeper" / "c.desktop", Entry("c"));
  WriteFile(dir / "d.desktop" / "plain-file", Entry("d"));  // below a ".desktop" folder
  WriteFile(dir / "e.txt", Entry("e"));
  WriteFile(dir / ".hidden.desktop", Entry("hidden"));
  WriteFile(dir / ".hidden-dir" / "f.desktop", Entry("f"));
  WriteFile(dir / "empty.desktop", "");
  WriteFile(dir / "noname.desktop", "[Desktop Entry]\nExec=x\n");
  EXPECT_EQ(Lines(dir.path().string()),
            (std::vector<std::string>{Line("a"), Line("b"), Line("c"), Line("d")}));
  // The start may end with "/" or not.
  EXPECT_EQ(Lines(dir.path().string() + "/").size(), 4u);
}

TEST(ShortcutScan, LinksToFilesAreReadLinksToFoldersAreNot) {
  TempDir dir;
  WriteFile(dir / "elsewhere" / "x.desktop", Entry("x"));
  WriteFile(dir / "apps" / "real.desktop", Entry("real"));
  fs::create_symlink(dir / "elsewhere" / "x.desktop", dir / "apps" / "link.desktop");
  fs::create_directory_symlink(dir / "elsewhere", dir / "apps" / "linked-folder");
  fs::create_symlink(dir / "missing", dir / "apps" / "dangling.desktop");
  fs::create_directory_symlink(dir / "apps", dir / "apps" / "loop");
  EXPECT_EQ(Lines((dir / "apps").string()), (std::vector<std::string>{Line("real"), Line("x")}));
}

TEST(ShortcutScan, PipesAreNotRead) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.desktop").c_str(), 0600), 0);
  WriteFile(dir / "ok.desktop", Entry("ok"));
  EXPECT_EQ(Lines(dir.path().string()), std::vector<std::string>{Line("ok")});
}

TEST(ShortcutScan, MissingStartGivesAnEmptyElement) {
  TempDir dir;
  std::ostringstream out, progress;
  WriteShortcuts((dir / "absent").string(), out, 0, progress);
  EXPECT_EQ(out.str(), "\t<Shortcuts>\r\n\t</Shortcuts>\r\n");
  EXPECT_EQ(progress.str(), "\n");
}

TEST(ShortcutScan, ElementAroundTheEntries) {
  TempDir dir;
  WriteFile(dir / "crlf.desktop", "[Desktop Entry]\r\nName=Term & Co\r\nExec=term\r\n");
  std::ostringstream out, progress;
  WriteShortcuts(dir.path().string(), out, 1, progress);
  EXPECT_EQ(out.str(),
            "\t<Shortcuts>\r\n"
            "\t\t<Shortcut Name=\"Term &amp; Co\r\" Filename=\"term\r\" Path=\"\" "
            "Categories=\"\" />\r\n"
            "\t</Shortcuts>\r\n");
  EXPECT_EQ(progress.str(), "");
}

}  // namespace
