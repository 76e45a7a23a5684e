#include "software/app_lists.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

#include "base/text.h"

namespace {

// The words of `line`, split at runs of blanks.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t at = 0; (at = line.find_first_not_of(" \t", at)) != std::string_view::npos;) {
    const size_t end = std::min(line.find_first_of(" \t", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

std::string WordOrEmpty(const std::vector<std::string_view>& words, size_t index) {
  return index < words.size() ? std::string(words[index]) : std::string();
}

// A publisher as `snap list` writes it, without the mark of a verified or
// starred account: the mark says how the store vouches for the name and
// differs between a terminal and a pipe; the name is the publisher.
std::string SnapPublisher(std::string_view shown) {
  if (shown == "-") return {};
  for (std::string_view mark : {"\u2713", "\u272a", "**", "*"}) {
    if (shown.ends_with(mark)) {
      shown.remove_suffix(mark.size());
      break;
    }
  }
  return std::string(shown);
}

PackageRecord Row(std::string name, std::string version, std::string section,
                  std::string publisher) {
  PackageRecord record;
  record.productName = std::move(name);
  record.versionString = std::move(version);
  record.installLocation = std::move(section);
  record.publisher = std::move(publisher);
  return record;
}

std::optional<size_t> IndexOf(const std::vector<std::string_view>& words,
                              std::initializer_list<std::string_view> titles) {
  for (size_t i = 0; i < words.size(); ++i)
    for (std::string_view title : titles)
      if (words[i] == title) return i;
  return std::nullopt;
}

struct ListTool {
  const char* program;
  std::vector<std::string> args;
  std::vector<PackageRecord> (*parse)(std::string_view);
  const char* what;  // the Failure's step when the tool fails
};

}  // namespace

std::vector<PackageRecord> ParseSnapList(std::string_view output) {
  // Today's columns; snap before 2.36 had no Tracking and said Developer.
  size_t version = 1, publisher = 4;
  bool first = true;
  std::vector<PackageRecord> rows;
  ForEachLine(output, [&](std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) return;
    if (std::exchange(first, false) && words[0] == "Name") {
      version = IndexOf(words, {"Version"}).value_or(version);
      publisher = IndexOf(words, {"Publisher", "Developer"}).value_or(publisher);
      return;
    }
    rows.push_back(Row(std::string(words[0]), WordOrEmpty(words, version), "snap",
                       SnapPublisher(WordOrEmpty(words, publisher))));
  });
  return rows;
}

std::vector<PackageRecord> ParseFlatpakList(std::string_view output) {
  std::vector<PackageRecord> rows;
  ForEachLine(output, [&](std::string_view line) {
    if (Trimmed(line).empty()) return;
    std::string cells[3];
    for (std::string& cell : cells) {
      const size_t tab = line.find('\t');
      cell = std::string(line.substr(0, tab));
      line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
    }
    rows.push_back(Row(std::move(cells[0]), std::move(cells[1]), "flatpak", std::move(cells[2])));
  });
  return rows;
}

std::vector<Failure> ListApplications(const std::string& searchPath, const OutputBounds& bounds,
                                      const std::function<void(const PackageRecord&)>& add) {
  const ListTool tools[] = {
      {"snap", {"list"}, ParseSnapList, "snap list"},
      {"flatpak",
       {"list", "--app", "--columns=application,version,origin"},
       ParseFlatpakList,
       "flatpak list"},
  };
  std::vector<Failure> failures;
  for (const ListTool& tool : tools) {
    if (FindCommand(tool.program, searchPath).empty()) continue;
    const Result<std::string> output =
        RunForOutput(tool.program, tool.args, searchPath, bounds, ErrorOutput::kDiscarded);
    if (!output) {
      failures.push_back(ReasonFailure(tool.what, "failed, no applications listed"));
      continue;
    }
    for (const PackageRecord& row : tool.parse(*output)) add(row);
  }
  return failures;
}
