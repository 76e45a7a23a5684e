// Applications that snap and flatpak install beside the system's packages,
// read from what their own tools list. Each becomes a row of the package
// list with the Section (InstallLocation) "snap" or "flatpak".
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "software/command_output.h"
#include "software/package_record.h"

// The rows of `snap list`: a header line naming the columns, then one snap
// per line in columns of words. The publisher loses the mark snap appends
// to verified and starred accounts ("**", "*", or "✓", "✪" on a terminal);
// "-" (a snap installed from a file) is no publisher.
std::vector<PackageRecord> ParseSnapList(std::string_view output);

// The rows of `flatpak list --app --columns=application,version,origin`,
// which writes one application per line, its cells separated by tabs.
std::vector<PackageRecord> ParseFlatpakList(std::string_view output);

// Lists the snap and flatpak applications through `add`, each tool looked
// up in `searchPath` only and run within `bounds`, its standard error
// discarded. A tool that is not there is skipped without a word; one that
// fails adds nothing and gives one Failure.
std::vector<Failure> ListApplications(const std::string& searchPath, const OutputBounds& bounds,
                                      const std::function<void(const PackageRecord&)>& add);
