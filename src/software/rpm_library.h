// Reads the installed packages through the host's RPM library, loaded at
// run time; the agent itself does not depend on it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "software/package_record.h"

// Opens the first of `paths` that loads, asks it where its database is and,
// when one is there, picks the interface generation its functions allow and
// calls `onPackage` for every installed package. The database is only
// read. Returns the number of packages read; fails as "rpm" when no
// library, no database or no usable interface was found.
Result<size_t> ReadRpmPackages(const std::vector<std::string>& paths,
                       const std::function<void(const PackageRecord&)>& onPackage);
