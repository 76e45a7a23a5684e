// The fallback when the RPM library yields nothing: dpkg-query, dpkg -l and
// rpm -qa, in that order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/document_text.h"
#include "base/failure.h"

// Runs the commands, looked up in `searchPath` only, until one succeeds and
// writes its installed packages to `document`. A command that is not there
// is not run and counts as failed. `beforeFallback(program)` is called
// before each command after the first. Returns the number of packages
// written; fails as "No package list" when every command failed.
Result<size_t> ListPackagesByCommands(const std::string& searchPath, const std::string& system,
                                      DocumentWriter& document,
                                      const std::function<void(std::string_view)>& beforeFallback);
