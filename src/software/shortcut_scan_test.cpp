#include "software/shortcut_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The Name of every Shortcut written for `dir`, in no particular order.
std::multiset<std::string> Names(const std::string& dir) {
  std::ostringstream out;
  DocumentWriter document(out);
  ScanShortcutsDir(dir, document);
  std::multiset<std::string> names;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);)
    names.insert(line.substr(18, line.find('"', 18) - 18));  // after "\t\t<Shortcut Name=\""
  return names;
}

TEST(ShortcutScan, DesktopFilesInTheTreeIntoTheElement) {
  scanunix_test::TempDir dir;
  for (const std::string rel : {"a.desktop", "b.desktop.bak", "sub/deeper/c.desktop",
                                "d.desktop/plain", "e.txt", ".hidden.desktop", ".hid/f.desktop"})
    dir.Write("apps/" + rel, "[Desktop Entry]\nName=" + rel + "\n");
  dir.Write("apps/empty.desktop", "");
  dir.Write("elsewhere/x.desktop",
            "[Desktop Entry]\r\nName=Tom & Co\r\nExec=<t> -f\r\nCategories=\"A\"\n");
  fs::create_symlink(dir / "elsewhere/x.desktop", dir / "apps/link.desktop");
  fs::create_directory_symlink(dir / "elsewhere", dir / "apps/linked-folder");
  fs::create_directory_symlink(dir / "apps", dir / "apps/loop");
  fs::create_symlink(dir / "missing", dir / "apps/dangling.desktop");
  ASSERT_EQ(mkfifo((dir / "apps/pipe.desktop").c_str(), 0600), 0);  // would block a read
  // Far more than memory holds, sparse: only its first MiB is read.
  fs::resize_file(dir.Write("apps/huge.desktop", "[Desktop Entry]\nName=Huge\n"),
                  std::uintmax_t{1} << 40);
  const std::multiset<std::string> expected = {"a.desktop", "b.desktop.bak", "sub/deeper/c.desktop",
                                               "d.desktop/plain", "Tom &amp; Co", "Huge"};
  EXPECT_EQ(Names((dir / "apps").string()), expected);

  std::ostringstream out, display, messages, errors;
  DocumentWriter document(out);
  Log atDisplay(Log::kDisplay, display, errors), atMessages(Log::kMessages, messages, errors);
  ScanShortcuts((dir / "absent").string(), document, atDisplay);
  ScanShortcuts((dir / "elsewhere").string(), document, atMessages);
  EXPECT_EQ(display.str(), "\n");  // ends the progress display
  EXPECT_EQ(messages.str(), "Scan Shortcuts\n\n");
  EXPECT_EQ(out.str(),
            "\t<Shortcuts>\r\n\t</Shortcuts>\r\n\t<Shortcuts>\r\n"
            "\t\t<Shortcut Name=\"Tom &amp; Co\" Filename=\"&lt;t&gt;\" Path=\"\" "
            "Categories=\"&quot;A&quot;\" />\r\n"
            "\t</Shortcuts>\r\n");
}

}  // namespace
