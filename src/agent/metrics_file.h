// The run's outcome for a monitor: Prometheus gauges in the text exposition
// format, written for node_exporter's textfile collector.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"

struct RunMetrics {
  int exitStatus = 0;          // 128 + the signal for a stopped run
  int64_t startTime = 0;       // seconds since the epoch
  double durationSeconds = 0;
  uint64_t filesListed = 0;
  uint64_t packagesListed = 0;
  std::optional<bool> uploadSucceeded;  // nothing when no upload was tried
  // The start of the last run that ended with status 0; 0 when none is known.
  int64_t lastSuccessTime = 0;
};

// The gauges, each with its HELP and TYPE lines, without timestamps.
std::string FormatMetrics(const RunMetrics& metrics);

// scanunix_last_success_timestamp_seconds of an earlier file's text; 0
// when it is missing or not a whole non-negative number of seconds.
int64_t LastSuccessTimeFrom(std::string_view text);

// The last success time recorded at `path` (read up to 64 KiB).
int64_t ReadLastSuccessTime(const std::string& path);

// Writes `text` to `path` atomically: a private temporary file beside it,
// flushed, made readable by all (the collector runs as another user), then
// renamed over it.
Status WriteMetricsFile(const std::string& path, std::string_view text);
