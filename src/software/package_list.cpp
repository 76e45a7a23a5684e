#include "software/package_list.h"

#include <array>

#include "base/text.h"

namespace {

constexpr std::string_view kSeparator = "|||";

// Text from `column` up to the next space; empty when the line is shorter.
std::string WordAt(std::string_view line, std::optional<size_t> column) {
  if (!column || *column >= line.size()) return {};
  std::string_view rest = line.substr(*column);
  return std::string(rest.substr(0, rest.find(' ')));
}

std::string RestAt(std::string_view line, std::optional<size_t> column) {
  if (!column || *column >= line.size()) return {};
  return std::string(line.substr(*column));
}

std::optional<size_t> ColumnOf(std::string_view line, std::string_view title) {
  const size_t at = line.find(title);
  if (at == std::string_view::npos) return std::nullopt;
  return at + 1;
}

}  // namespace

PackageRecord ParseFieldLine(std::string_view line) {
  // Each separator ends one of the first four fields; the fifth runs to the
  // end of the line. A field whose separator is missing is empty, and so is
  // every field after it; the name is always kept.
  std::array<std::string, 5> fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t end = i + 1 < fields.size() ? line.find(kSeparator) : line.size();
    if (end == std::string_view::npos) {
      if (i == 0) fields[0] = std::string(line);
      break;
    }
    fields[i] = std::string(line.substr(0, end));
    if (i + 1 < fields.size()) line.remove_prefix(end + kSeparator.size());
  }
  PackageRecord record;
  record.productName = std::move(fields[0]);
  record.versionString = std::move(fields[1]);
  record.installLocation = std::move(fields[2]);
  record.publisher = std::move(fields[3]);
  record.helpLink = std::move(fields[4]);
  return record;
}

bool IsInstalledStatus(std::string_view status) {
  const size_t first = status.find(' ');
  const size_t last = status.rfind(' ');
  if (first == std::string_view::npos || first == last) return false;
  const std::string_view want = status.substr(0, first);
  return (want == "install" || want == "hold") && status.substr(last + 1) == "installed";
}

std::optional<PackageRecord> ColumnListParser::Feed(std::string_view line) {
  switch (state_) {
    case State::kBeforeHeader:
      if (line.find(" Name ") == std::string_view::npos) return std::nullopt;
      nameColumn_ = ColumnOf(line, " Name ");
      versionColumn_ = ColumnOf(line, " Version");
      descriptionColumn_ = ColumnOf(line, " Description");
      state_ = State::kRule;
      return std::nullopt;
    case State::kRule:
      state_ = State::kRows;
      return std::nullopt;
    case State::kRows:
      break;
  }
  if (!line.starts_with("ii") && !line.starts_with("hi")) return std::nullopt;
  PackageRecord record;
  record.productName = WordAt(line, nameColumn_);
  record.versionString = WordAt(line, versionColumn_);
  record.helpLink = RestAt(line, descriptionColumn_);
  record.publisher = system_;
  return record;
}

size_t WritePackageList(std::string_view output, ListForm form, const std::string& system,
                        DocumentWriter& document) {
  size_t count = 0;
  ColumnListParser columns(system);
  LineSplitter lines(output, LastLine::kDropped, CarriageReturns::kKept);
  for (std::string_view line; lines.Next(line);) {
    std::optional<PackageRecord> record;
    if (form == ListForm::kColumns) {
      record = columns.Feed(line);
    } else if (form == ListForm::kFields) {
      record = ParseFieldLine(line);
    } else if (const size_t bar = line.find(kSeparator);
               bar != std::string_view::npos && IsInstalledStatus(line.substr(0, bar))) {
      record = ParseFieldLine(line.substr(bar + kSeparator.size()));
    }
    if (!record) continue;
    WriteInstalled(document, *record);
    ++count;
  }
  return count;
}
