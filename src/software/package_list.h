// Parsing of the package lists that dpkg-query, dpkg -l and rpm -qa write.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/document_text.h"
#include "software/package_record.h"

enum class ListForm {
  kFields,        // five "|||"-separated fields: name, version, group, vendor, URL
  kStatusFields,  // the dpkg status, "|||" and the five fields
  kColumns,       // the table of dpkg -l, read by the columns of its header line
};

// One line of the field form. A line without separators is all name.
PackageRecord ParseFieldLine(std::string_view line);

// True for the dpkg status ("want error-flag state") of a package that is
// installed and meant to stay: "install" or "hold", then "installed", just
// as dpkg -l marks its rows "ii" and "hi".
bool IsInstalledStatus(std::string_view status);

// Reads the table of dpkg -l one line at a time: lines up to the header
// line and the rule under it are skipped; every later line whose first two
// letters are "ii" or "hi" is a package.
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

// Writes one Installed line for every installed package in `output`, a
// command's output in the given form; only lines a line feed ends count.
// Returns the number of packages written.
size_t WritePackageList(std::string_view output, ListForm form, const std::string& system,
                        DocumentWriter& document);
