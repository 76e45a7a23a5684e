#include "base/progress_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProgressLine, CountersKeptWholeTextPaddedAndCut) {
  ProgressLine line;
  EXPECT_EQ(FormatProgressLine(line, {1}, "alpha"), "\r00000001 alpha" + std::string(65, ' '));
  EXPECT_EQ(FormatProgressLine(line, {1}, std::string(200, 'p')),
            "\r00000001 " + std::string(70, 'p'));
  EXPECT_EQ(FormatProgressLine(line, {123456789, 4294967295u}, std::string(200, 'p')),
            "\r123456789 4294967295 " + std::string(58, 'p'));
}

}  // namespace
