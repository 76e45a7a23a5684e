#include "software/package_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "temp_dir.h"

namespace {

TEST(ListFile, WholeLinesOfAnyLengthFromARegularFile) {
  scanunix_test::TempDir dir;
  const std::string big(100000, 'x');  // spans several reads
  std::string list = "one|||1|||s|||m|||h\n";
  list.append(big).append("|||2|||s|||m|||h\nlast-without-feed|||3|||s|||m|||h");
  dir.Write("list", list);
  std::ostringstream out;
  DocumentWriter document(out);
  EXPECT_EQ(ReadPackageList(dir / "list", ListForm::kFields, "", document), 2u);
  EXPECT_NE(out.str().find("ProductName=\"" + big + "\" VersionString=\"2\""), std::string::npos);
  // A link planted at the path is not followed.
  std::filesystem::create_symlink(dir / "list", dir / "link");
  EXPECT_FALSE(ReadPackageList(dir / "link", ListForm::kFields, "", document));
}

TEST(Progress, NumberPaddedAndLineCutAtEighty) {
  EXPECT_EQ(PackageProgressLine(7, "bash"), "\r00000007 bash" + std::string(66, ' '));
  EXPECT_EQ(PackageProgressLine(123456789, "x"), "\r123456789 x" + std::string(68, ' '));
  EXPECT_EQ(PackageProgressLine(1, std::string(200, 'p')), "\r00000001 " + std::string(70, 'p'));
}

}  // namespace
