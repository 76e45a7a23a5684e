#include "agent/metrics_file.h"

#include <gtest/gtest.h>

namespace {

// The values themselves are read back through node_exporter end to end.
TEST(MetricsFile, GaugesWithHelpAndTypeAndNoTimestamps) {
  RunMetrics m;
  m.durationSeconds = 12.3456;
  m.uploadSucceeded = false;
  const std::string text = FormatMetrics(m);
  for (const char* name : {"scanunix_last_run_exit_status", "scanunix_last_run_timestamp_seconds",
                           "scanunix_files_listed", "scanunix_packages_listed",
                           "scanunix_upload_success", "scanunix_last_success_timestamp_seconds"}) {
    EXPECT_NE(text.find(std::string("\n# TYPE ") + name + " gauge\n" + name + " 0\n"),
              std::string::npos) << name;
  }
  EXPECT_NE(text.find("\nscanunix_last_run_duration_seconds 12.346\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);  // HELP, TYPE and the sample each
  m.uploadSucceeded.reset();
  EXPECT_EQ(FormatMetrics(m).find("scanunix_upload_success"), std::string::npos);
}

TEST(MetricsFile, LastSuccessTimeOfAnEarlierFile) {
  const std::pair<const char*, int64_t> cases[] = {
      {"# HELP x\nscanunix_last_success_timestamp_seconds 1733400000\n", 1733400000},
      {"scanunix_last_success_timestamp_seconds 17.9\r\n", 17},
      {"scanunix_last_success_timestamp_seconds -5\n", 0},
      {"scanunix_last_success_timestamp_seconds 99999999999999999999999\n", 0},
      {"scanunix_last_success_timestamp_seconds 12abc\n", 0},
      {"scanunix_last_success_timestamp_secondsx 12\n", 0},
      {"# scanunix_last_success_timestamp_seconds 12\n", 0},
      {"", 0},
  };
  for (const auto& [text, seconds] : cases) EXPECT_EQ(LastSuccessTimeFrom(text), seconds) << text;
}

}  // namespace
