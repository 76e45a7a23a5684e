// Parsing of the package lists that dpkg-query, dpkg -l and rpm -qa write.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/document_text.h"
#include "software/package_record.h"

enum class ListForm {
  kFields,   // five "|||"-separated fields: name, version, group, vendor, URL
  kColumns,  // the table of dpkg -l, read by the columns of its header line
};

// One line of the field form. A line without separators is all name.
PackageRecord ParseFieldLine(std::string_view line);

// Reads the table of dpkg -l one line at a time: lines up to the header
// line and the rule under it are skipped, every later line is a package.
class ColumnListParser {
 public:
  explicit ColumnListParser(std::string system) : system_(std::move(system)) {}
  std::optional<PackageRecord> Feed(std::string_view line);

 private:
  enum class State { kBeforeHeader, kRule, kRows };
  State state_ = State::kBeforeHeader;
  std::string system_;
  std::optional<size_t> nameColumn_;
  std::optional<size_t> versionColumn_;
  std::optional<size_t> descriptionColumn_;
};

// Reads the list file at `path` in the given form and writes one Installed
// line per package. Only lines ended by a line feed count; a link at `path`
// is not followed. Returns the number of packages, or nullopt when the file
// does not open.
std::optional<size_t> ReadPackageList(const std::string& path, ListForm form,
                                      const std::string& system, DocumentWriter& document);
