#include "agent/metrics_file.h"

#include <gtest/gtest.h>

namespace {

TEST(MetricsFile, GaugesWithHelpAndTypeAndNoTimestamps) {
  RunMetrics m;
  m.exitStatus = 2;
  m.startTime = 1733497389;
  m.durationSeconds = 12.3456;
  m.filesListed = 1500;
  m.packagesListed = 612;
  m.uploadSucceeded = false;
  m.lastSuccessTime = 1733400000;
  const std::string text = FormatMetrics(m);
  const std::pair<const char*, const char*> samples[] = {
      {"scanunix_last_run_exit_status", "2"},
      {"scanunix_last_run_timestamp_seconds", "1733497389"},
      {"scanunix_last_run_duration_seconds", "12.346"},
      {"scanunix_files_listed", "1500"},
      {"scanunix_packages_listed", "612"},
      {"scanunix_upload_success", "0"},
      {"scanunix_last_success_timestamp_seconds", "1733400000"},
  };
  std::string expected;
  for (const auto& [name, value] : samples) {
    SCOPED_TRACE(name);
    const std::string sample = std::string("\n") + name + " " + value + "\n";
    EXPECT_NE(text.find(std::string("# TYPE ") + name + " gauge" + sample), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("# HELP ") + name + " "), std::string::npos);
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);  // three lines each, nothing else
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
