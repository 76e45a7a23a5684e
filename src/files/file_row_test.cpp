#include "files/file_row.h"

#include <gtest/gtest.h>

#include <string>

#include "files/test_tree.h"

namespace {

std::string Row(const FileRow& row) {
  std::string line;
  AppendFileRow(line, row);
  return line;
}

TEST(FileRow, AllEighteenAttributesInOrder) {
  FileRow row;
  row.name = "ls";
  row.directory = "/usr/bin";
  row.size = 138208;
  row.changed = 1700000000;   // 2023-11-14 22:13:20
  row.modified = 86399;       // 1970-01-01 23:59:59
  row.accessed = 951782400;   // 2000-02-29 00:00:00
  row.owner = "root";
  row.crc = 0xab;
  EXPECT_EQ(Row(row),
            "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"ls\" c5=\"138208\" "
            "c6=\"2023-11-14 22:13:20\" c7=\"\" c8=\"root\" c9=\"\" c10=\"\" c11=\"/usr/bin\" "
            "c12=\"1970-01-01 23:59:59\" c13=\"\" c14=\"\" c15=\"2000-02-29 00:00:00\" "
            "c16=\"0\" c17=\"000000AB\"/>\r\n");
}

TEST(FileRow, ZeroChecksumAndUnknownOwnerAreEmpty) {
  FileRow row;
  row.name = "a";
  row.directory = "/";
  const std::string line = Row(row);
  EXPECT_NE(line.find(" c8=\"\" "), std::string::npos);
  EXPECT_NE(line.find(" c11=\"\" "), std::string::npos);
  EXPECT_NE(line.find(" c17=\"\"/>\r\n"), std::string::npos);
  EXPECT_NE(line.find(" c6=\"1970-01-01 00:00:00\" "), std::string::npos);
}

TEST(FileRow, LargeSizesAndTimesAreWrittenWhole) {
  FileRow row;
  row.size = 9000000000123LL;
  row.modified = -1;
  row.crc = 0xFFFFFFFF;
  const std::string line = Row(row);
  EXPECT_NE(line.find(" c5=\"9000000000123\" "), std::string::npos);
  EXPECT_NE(line.find(" c12=\"1969-12-31 23:59:59\" "), std::string::npos);
  EXPECT_NE(line.find(" c17=\"FFFFFFFF\""), std::string::npos);
}

TEST(FileRow, DirectoryLosesOneTrailingSlash) {
  EXPECT_EQ(RowDirectory("/usr/bin/"), "/usr/bin");
  EXPECT_EQ(RowDirectory("/usr/bin"), "/usr/bin");
  EXPECT_EQ(RowDirectory("/"), "");
  EXPECT_EQ(RowDirectory("data"), "data");
}

TEST(FileRow, NameOwnerAndDirectoryAreEscaped) {
  FileRow row;
  row.name = "a&b \"q\" <t>\x01";
  row.directory = "/x&y/\"z\"";
  row.owner = "o&<";
  const std::string line = Row(row);
  EXPECT_NE(line.find(" c4=\"a&amp;b &quot;q&quot; &lt;t&gt;?\" "), std::string::npos) << line;
  EXPECT_NE(line.find(" c11=\"/x&amp;y/&quot;z&quot;\" "), std::string::npos) << line;
  EXPECT_NE(line.find(" c8=\"o&amp;&lt;\" "), std::string::npos) << line;
  FileRow plain;
  plain.name = "caf\xC3\xA9 it's";  // high bytes and apostrophes stay
  EXPECT_NE(Row(plain).find(" c4=\"caf\xC3\xA9 it's\" "), std::string::npos);
}

TEST(ElfHeader, HeaderVariantsBeyondTheTreeTests) {
  auto accepts = [](const std::string& h, long n) {
    return IsElfHeader(reinterpret_cast<const unsigned char*>(h.data()), n);
  };
  using files_test::ElfHeader;
  EXPECT_TRUE(accepts(ElfHeader(1, 2), 10));
  EXPECT_FALSE(accepts(ElfHeader(), -1));  // read error
  EXPECT_FALSE(accepts(ElfHeader(0), 10));
  EXPECT_FALSE(accepts(ElfHeader(2, 1, 1, 0x61), 10));  // a Linux ABI mark is not taken
  std::string bad = ElfHeader();
  bad[1] = 'e';
  EXPECT_FALSE(accepts(bad, 10));
}

}  // namespace
