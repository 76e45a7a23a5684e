// Values read back out of scan document text by the tests.
#pragma once

#include <string>
#include <vector>

namespace scanunix_test {

// The value of the first attribute `name` in `text`, as written; "(none)"
// when there is none.
std::string AttributeValue(const std::string& text, const std::string& name);

// The attributes `names` of every Installed line of `document`, "|" after
// each, one line per package.
std::string InstalledRows(const std::string& document, const std::vector<std::string>& names);

}  // namespace scanunix_test
