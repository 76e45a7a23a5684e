// The fallback when the RPM library yields nothing: dpkg-query, dpkg -l and
// rpm -qa, in that order.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/document_text.h"

// Runs the commands, looked up in `searchPath` only, until one succeeds and
// writes its installed packages to `document`. A command that is not there
// is not run and counts as failed. The rpm fallback is announced through
// `print`. Returns the number of packages written, or nothing when every
// command failed.
std::optional<size_t> ListPackagesByCommands(const std::string& searchPath,
                                             const std::string& system, DocumentWriter& document,
                                             const std::function<void(std::string_view)>& print);
