#include "scan_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace scanunix_test {

std::string AttributeValue(const std::string& text, const std::string& name) {
  const size_t start = text.find(" " + name + "=\"");
  if (start == std::string::npos) return "(none)";
  const size_t from = start + name.size() + 3;
  return text.substr(from, text.find('"', from) - from);
}

Rows InstalledRows(const std::string& document, const std::vector<std::string>& names) {
  Rows rows;
  std::istringstream in(document);
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("\t\t<Installed ")) continue;
    rows.emplace_back();
    for (const std::string& name : names) rows.back().push_back(AttributeValue(line, name));
  }
  return rows;
}

Rows RowsFrom(const std::string& text) {
  Rows rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    rows.emplace_back();
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '|');) rows.back().push_back(field);
  }
  return rows;
}

void ExpectRows(const Rows& got, const Rows& expected, const std::vector<std::string>& names) {
  EXPECT_EQ(got.size(), expected.size()) << "rows";
  for (size_t row = 0; row < std::min(got.size(), expected.size()); ++row)
    for (size_t field = 0; field < names.size(); ++field) {
      const auto at = [&](const Rows& rows) {
        return field < rows[row].size() ? rows[row][field] : "";
      };
      EXPECT_EQ(at(got), at(expected))
          << "row " << row << " (" << (expected[row].empty() ? "" : expected[row][0]) << "), "
          << names[field];
    }
}

void ExpectInstalled(const std::string& document, const std::vector<std::string>& names,
                     const std::string& expected) {
  ExpectRows(InstalledRows(document, names), RowsFrom(expected), names);
}

}  // namespace scanunix_test
