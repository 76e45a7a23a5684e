#include "files/file_row.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "scan_text.h"

namespace {

using scanunix_test::AttributeValue;

// Values at their edges: sizes and checksums wide, times before 1970, the
// owner escaped like the names, "/" as the directory; the owner's and the
// directory's text follow their changes from row to row.
TEST(FileRow, EdgeValuesAreWrittenWhole) {
  FileRowFormatter formatter;
  const auto Row = [&](const FileRow& r) {
    std::string line;
    formatter.Append(line, r);
    return line;
  };
  FileRow row{.name = "a&b", .directory = "/", .size = 9000000000123LL, .changed = 1700000000,
              .modified = -1, .accessed = 951782400, .owner = "o&<\x01", .crc = 0xFFFFFFFF};
  EXPECT_EQ(Row(row),
            "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"a&amp;b\" c5=\"9000000000123\" "
            "c6=\"2023-11-14 22:13:20\" c7=\"\" c8=\"o&amp;&lt;?\" c9=\"\" c10=\"\" c11=\"\" "
            "c12=\"1969-12-31 23:59:59\" c13=\"\" c14=\"\" c15=\"2000-02-29 00:00:00\" "
            "c16=\"0\" c17=\"FFFFFFFF\"/>\r\n");
  for (const auto& [owner, directory, crc, c8, c11, c17] :
       {std::tuple("<", "/d/", 0xabu, "&lt;", "/d", "000000AB"),
        std::tuple("", "/d/e", 0u, "", "/d/e", ""),  // crc 0: none
        std::tuple("o", "/", 1u, "o", "", "00000001")}) {
    SCOPED_TRACE(directory);
    std::tie(row.owner, row.directory, row.crc) = std::tuple(owner, directory, crc);
    const std::string line = Row(row);
    EXPECT_EQ(AttributeValue(line, "c8"), c8);
    EXPECT_EQ(AttributeValue(line, "c11"), c11);
    EXPECT_EQ(AttributeValue(line, "c17"), c17);
  }
}

// The arithmetic gives gmtime's and strftime's text: around the ends of the
// four-digit years, leap days and 1970, at the far ends of time_t, and for
// random times a few thousand years either way, each followed by one a
// second apart, mostly of the same day.
TEST(FileRow, UtcTextAsGmtimeGivesIt) {
  std::vector<time_t> times = {0, -1, 59, 86399, 86400, -86400, -86401, 951782400, 951868799,
                               4107542400, -30610224000, -30610224001, 253402300799,
                               253402300800, INT64_MIN, INT64_MAX, INT64_MIN / 86400 * 86400};
  std::mt19937_64 rng(2);
  for (int i = 0; i < 200000; ++i)
    times.push_back(static_cast<time_t>(rng() % 700000000000) - 350000000000);
  UtcText text;
  for (const time_t t : times) {
    for (const time_t u : {t, t ^ 1}) {
      struct tm parts {};
      char want[64] = "";
      if (gmtime_r(&u, &parts)) strftime(want, sizeof want, "%Y-%m-%d %H:%M:%S", &parts);
      std::string got;
      text.Append(got, u);
      ASSERT_EQ(got, want) << u;
    }
  }
}

}  // namespace
