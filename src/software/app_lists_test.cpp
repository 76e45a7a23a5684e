#include "software/app_lists.h"

#include <gtest/gtest.h>

#include "scan_text.h"
#include "temp_dir.h"

namespace {

// Name, version and publisher of each row; the section is said once per list.
scanunix_test::Rows Rows(const std::vector<PackageRecord>& records, const std::string& section) {
  scanunix_test::Rows rows;
  for (const PackageRecord& r : records) {
    EXPECT_EQ(r.installLocation, section) << r.productName;
    rows.push_back({r.productName, r.versionString, r.publisher});
  }
  return rows;
}

struct ListCase {
  std::string output, rows;  // rows as scanunix_test::RowsFrom reads them
};

using ListParser = std::vector<PackageRecord> (*)(std::string_view);

void ExpectLists(const std::vector<ListCase>& cases, ListParser parse, const std::string& section) {
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.output.substr(0, 200));
    scanunix_test::ExpectRows(Rows(parse(c.output), section), scanunix_test::RowsFrom(c.rows),
                              {"name", "version", "publisher"});
  }
}

const std::string kLong = "1.0-" + std::string(3000, 'r') + "-final";

TEST(AppLists, SnapListRowsWithoutThePublishersMark) {
  ExpectLists({
      // Through a pipe, as the agent runs it: ASCII marks.
      {scanunix_test::ReadFile(SCANUNIX_TEST_DATA "/snap_list.txt"),
       "bare|1.0|canonical|\ncode|0ee08df0|vscode|\ncore22|20240408|canonical|\n"
       "core24|20240528|canonical|\nfirefox|127.0.2-1|mozilla|\n"
       "firefox_esr|115.12.0esr-1|mozilla|\nfirmware-updater|0+git.5007558|canonical|\n"
       "gimp|2.10.38|snapcrafters|\ngnome-42-2204|0+git.510a601|canonical|\n"
       "gtk-common-themes|0.1-81-g442e511|canonical|\nhello-local|0.1||\n"
       "lxd|5.21.1-2d13beb|canonical|\nsnap-store|0+git.e3dd562|canonical|\n"
       "snapd|2.63|canonical|\nsnapd-desktop-integration|0.9|canonical|\n"},
      // snap before Tracking, when publishers were developers; a terminal's marks.
      {"Name  Version  Rev   Developer  Notes\ncore  16-2.30  3748  canonical\u272a  core\n",
       "core|16-2.30|canonical|\n"},
      {"Name\xc3\xbc  Version  Rev  Tracking  Publisher  Notes\n",
       "Name\xc3\xbc|Version|Publisher|\n"},
      {"\nlonely\n\n", "lonely|||\n"},
      {"Name  Version  Rev  Tracking  Publisher  Notes\n\xc3\xbcn\xc3\xaf&co  " + kLong +
           "  1  -  a&b\xe2\x9c\x93  -\n",
       "\xc3\xbcn\xc3\xaf&co|" + kLong + "|a&b|\n"},
      {"", ""}}, ParseSnapList, "snap");
}

TEST(AppLists, FlatpakListRowsFromTabSeparatedCells) {
  ExpectLists({
      {scanunix_test::ReadFile(SCANUNIX_TEST_DATA "/flatpak_list.txt"),
       "com.github.tchx84.Flatseal|2.2.0|flathub|\n"
       "com.mattjakeman.ExtensionManager|0.5.1|flathub|\n"
       "com.spotify.Client|1.2.37.701.ge66eb7bc|flathub|\n"
       "org.fedoraproject.MediaWriter|5.1.1|fedora|\norg.gnome.Calculator|46.1|fedora|\n"
       "org.gnome.Extensions|46.2|fedora|\norg.gnome.Loupe|46.2|fedora|\n"
       "org.gnome.NetworkDisplays||fedora|\norg.libreoffice.LibreOffice|24.2.4.2|flathub|\n"
       "org.mozilla.Thunderbird|115.12.1|flathub|\nio.github.flattool.Warehouse|2.0.1 "
       "\xe2\x80\x9cSch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f" "e\xe2\x80\x9d & more|flathub-beta|\n"
       "org.example.Changelog|" + kLong + "|corp&lab|\n"},
      {"org.example.Bare\n\n \norg.example.More\t1\tremote\textra\n",
       "org.example.Bare|||\norg.example.More|1|remote|\n"},
      {"", ""}}, ParseFlatpakList, "flatpak");
}

}  // namespace
