#include "agent/metrics_file.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>

#include "base/output_file.h"
#include "base/read_file.h"
#include "base/text.h"

namespace {

constexpr std::string_view kLastSuccess = "scanunix_last_success_timestamp_seconds";
constexpr size_t kReadLimit = 64 * 1024;

void AddGauge(std::string& out, std::string_view name, std::string_view help,
              std::string_view value) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" gauge\n");
  out.append(name).append(" ").append(value).append("\n");
}

std::string Number(int64_t value) { return std::to_string(value); }

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value < 0 ? 0.0 : value);
  return text;
}

}  // namespace

std::string FormatMetrics(const RunMetrics& m) {
  std::string out;
  AddGauge(out, "scanunix_last_run_exit_status",
           "Exit status of the last run: 0 saved, 1 not saved, 2 upload failed, 128+n stopped by "
           "signal n.",
           Number(m.exitStatus));
  AddGauge(out, "scanunix_last_run_timestamp_seconds", "Start of the last run, seconds since the epoch.",
           Number(m.startTime));
  AddGauge(out, "scanunix_last_run_duration_seconds", "How long the last run took.",
           Seconds(m.durationSeconds));
  AddGauge(out, "scanunix_files_listed", "Files the last run listed.",
           Number(static_cast<int64_t>(m.filesListed)));
  AddGauge(out, "scanunix_packages_listed", "Packages the last run listed.",
           Number(static_cast<int64_t>(m.packagesListed)));
  if (m.uploadSucceeded)
    AddGauge(out, "scanunix_upload_success", "1 when the last run's upload was confirmed, else 0.",
             *m.uploadSucceeded ? "1" : "0");
  AddGauge(out, kLastSuccess,
           "Start of the last run that ended with status 0, seconds since the epoch; 0 for never.",
           Number(m.lastSuccessTime));
  return out;
}

int64_t LastSuccessTimeFrom(std::string_view text) {
  int64_t found = 0;
  ForEachLine(text, [&](std::string_view line) {
    if (!line.starts_with(kLastSuccess) || line.size() == kLastSuccess.size() ||
        line[kLastSuccess.size()] != ' ')
      return;
    const std::string_view value = Trimmed(line.substr(kLastSuccess.size()));
    int64_t seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    // A fraction of a second is dropped; anything else makes the value unknown.
    const bool whole = end == value.data() + value.size() || *end == '.';
    found = error == std::errc() && whole && seconds >= 0 ? seconds : 0;
  });
  return found;
}

int64_t ReadLastSuccessTime(const std::string& path) {
  const Result<FileText> file = ReadFileUpTo(path, kReadLimit);
  return file ? LastSuccessTimeFrom(file->text) : 0;
}

Status WriteMetricsFile(const std::string& path, std::string_view text) {
  OutputFile file;
  if (!file.Create(path)) return ErrnoFailure(path);
  if (::chmod(file.temporaryPath().c_str(), 0644) != 0) return ErrnoFailure(path);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!file.Commit()) return ErrnoFailure(path);
  return {};
}
