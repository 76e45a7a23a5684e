// Values read back out of scan document text by the tests.
#pragma once

#include <string>
#include <vector>

namespace scanunix_test {

// The value of the first attribute `name` in `text`, as written; "(none)"
// when there is none.
std::string AttributeValue(const std::string& text, const std::string& name);

// Rows of fields, one per package.
using Rows = std::vector<std::vector<std::string>>;

// The attributes `names` of every Installed line of `document`.
Rows InstalledRows(const std::string& document, const std::vector<std::string>& names);

// Rows written as lines of fields, each field ended by "|".
Rows RowsFrom(const std::string& text);

// Row by row and field by field, each failure naming the row and the field of `names`.
void ExpectRows(const Rows& got, const Rows& expected, const std::vector<std::string>& names);
// The same for the Installed lines of `document` against rows written as in RowsFrom.
void ExpectInstalled(const std::string& document, const std::vector<std::string>& names,
                     const std::string& expected);

}  // namespace scanunix_test
