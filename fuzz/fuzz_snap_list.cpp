// The output of `snap list`: one row per line at most, every value a word
// of its line, and never a blank or a line end inside one.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "check.h"
#include "software/app_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view output(reinterpret_cast<const char*>(data), size);
  const auto lines = static_cast<size_t>(1 + std::count(output.begin(), output.end(), '\n'));
  const std::vector<PackageRecord> rows = ParseSnapList(output);
  Check(rows.size() <= lines);
  for (const PackageRecord& row : rows) {
    Check(!row.productName.empty() && row.installLocation == "snap");
    for (const std::string* value : {&row.productName, &row.versionString, &row.publisher}) {
      Check(value->find_first_of(" \t\n") == std::string::npos);
      Check(output.find(*value) != std::string_view::npos);
    }
  }
  return 0;
}
