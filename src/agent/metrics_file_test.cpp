#include "agent/metrics_file.h"

#include <gtest/gtest.h>

namespace {

// The other gauges' names and values are read back through node_exporter end to end.
TEST(MetricsFile, GaugesWithHelpAndTypeAndNoTimestamps) {
  RunMetrics m;
  m.durationSeconds = 12.3456;
  m.uploadSucceeded = false;
  const std::string text = FormatMetrics(m);
  EXPECT_NE(text.find("\n# TYPE scanunix_last_run_duration_seconds gauge\n"
                      "scanunix_last_run_duration_seconds 12.346\n"),
            std::string::npos) << text;
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
  };
  for (const auto& [text, seconds] : cases) EXPECT_EQ(LastSuccessTimeFrom(text), seconds) << text;
}

}  // namespace
