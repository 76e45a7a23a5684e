#include "scan_text.h"

#include <sstream>

namespace scanunix_test {

std::string AttributeValue(const std::string& text, const std::string& name) {
  const size_t start = text.find(" " + name + "=\"");
  if (start == std::string::npos) return "(none)";
  const size_t from = start + name.size() + 3;
  return text.substr(from, text.find('"', from) - from);
}

std::string InstalledRows(const std::string& document, const std::vector<std::string>& names) {
  std::string rows;
  std::istringstream in(document);
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("\t\t<Installed ")) continue;
    for (const std::string& name : names) rows.append(AttributeValue(line, name)).append("|");
    rows += '\n';
  }
  return rows;
}

}  // namespace scanunix_test
