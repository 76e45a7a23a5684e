// Package command output, in the field form and the column form of dpkg -l:
// every value comes from its line, one Installed line per package counted,
// and the document never gets raw markup from a value.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "check.h"
#include "base/document_text.h"
#include "software/package_list.h"

namespace {

size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const ListForm forms[] = {ListForm::kFields, ListForm::kStatusFields, ListForm::kColumns};
  const ListForm form = forms[data[0] % 3];
  const std::string_view output(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::ostringstream out;
  DocumentWriter document(out);
  const size_t packages = WritePackageList(output, form, "SYS", document);
  Check(packages <= Count(output, "\n"));
  Check(Count(out.str(), "\t\t<Installed ") == packages);
  Check(Count(out.str(), "<") == packages && Count(out.str(), "\"") == 24 * packages);

  const std::string_view line = output.substr(0, output.find('\n'));
  const PackageRecord record = ParseFieldLine(line);
  Check(line.starts_with(record.productName));
  Check(record.productName.find("|||") == std::string::npos);
  for (const std::string* field : {&record.versionString, &record.installLocation,
                                   &record.publisher, &record.helpLink})
    Check(line.find(*field) != std::string_view::npos);
  return 0;
}
