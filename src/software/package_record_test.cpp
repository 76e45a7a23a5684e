#include "software/package_record.h"

#include <gtest/gtest.h>

namespace {

TEST(Progress, NumberPaddedAndLineCutAtEighty) {
  EXPECT_EQ(PackageProgressLine(7, "bash"), "\r00000007 bash" + std::string(66, ' '));
  EXPECT_EQ(PackageProgressLine(123456789, "x"), "\r123456789 x" + std::string(68, ' '));
  EXPECT_EQ(PackageProgressLine(1, std::string(200, 'p')), "\r00000001 " + std::string(70, 'p'));
}

}  // namespace
