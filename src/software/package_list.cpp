#include "software/package_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "base/fd_io.h"
#include "base/unique_fd.h"

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

// Calls `onLine` for each line of `fd` that a line feed ends, without it.
template <typename OnLine>
bool ForEachLine(int fd, OnLine onLine) {
  std::string pending;
  std::array<char, 65536> chunk;
  for (;;) {
    const ssize_t n = ReadRetrying(fd, chunk.data(), chunk.size());
    if (n < 0) return false;
    if (n == 0) return true;
    std::string_view data(chunk.data(), static_cast<size_t>(n));
    for (size_t end; (end = data.find('\n')) != std::string_view::npos;) {
      if (pending.empty()) {
        onLine(data.substr(0, end));
      } else {
        pending.append(data.substr(0, end));
        onLine(std::string_view(pending));
        pending.clear();
      }
      data.remove_prefix(end + 1);
    }
    pending.append(data);
  }
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
  PackageRecord record;
  record.productName = WordAt(line, nameColumn_);
  record.versionString = WordAt(line, versionColumn_);
  record.helpLink = RestAt(line, descriptionColumn_);
  record.publisher = system_;
  return record;
}

std::optional<size_t> ReadPackageList(const std::string& path, ListForm form,
                                      const std::string& system, DocumentWriter& document) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return std::nullopt;
  size_t count = 0;
  ColumnListParser columns(system);
  ForEachLine(fd.Get(), [&](std::string_view line) {
    std::optional<PackageRecord> record =
        form == ListForm::kFields ? ParseFieldLine(line) : columns.Feed(line);
    if (!record) return;
    WriteInstalled(document, *record);
    ++count;
  });
  return count;
}
