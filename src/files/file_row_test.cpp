#include "files/file_row.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Row(const FileRow& row) {
  std::string line;
  AppendFileRow(line, row);
  return line;
}

// Values at their edges: sizes and checksums wide, times before 1970, the
// owner escaped like the names, "/" as the directory.
TEST(FileRow, EdgeValuesAreWrittenWhole) {
  FileRow row{.name = "a&b", .directory = "/", .size = 9000000000123LL, .changed = 1700000000,
              .modified = -1, .accessed = 951782400, .owner = "o&<\x01", .crc = 0xFFFFFFFF};
  EXPECT_EQ(Row(row),
            "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"a&amp;b\" c5=\"9000000000123\" "
            "c6=\"2023-11-14 22:13:20\" c7=\"\" c8=\"o&amp;&lt;?\" c9=\"\" c10=\"\" c11=\"\" "
            "c12=\"1969-12-31 23:59:59\" c13=\"\" c14=\"\" c15=\"2000-02-29 00:00:00\" "
            "c16=\"0\" c17=\"FFFFFFFF\"/>\r\n");
  row.crc = 0xab;
  EXPECT_NE(Row(row).find(" c17=\"000000AB\"/>"), std::string::npos);
  row.crc = 0;  // no checksum
  EXPECT_NE(Row(row).find(" c17=\"\"/>"), std::string::npos);
}

}  // namespace
