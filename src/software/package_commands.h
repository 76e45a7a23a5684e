// The fallback when the RPM library yields nothing: dpkg-query, dpkg -l and
// rpm -qa, in that order.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "base/document_text.h"
#include "base/log.h"

// Runs the commands, looked up in `searchPath` only, until one succeeds and
// writes its installed packages to `document`. A command that is not there
// is not run and counts as failed. The rpm fallback is announced on
// standard output. Returns the number of packages written, or nothing when
// every command failed or `stopped` said so.
std::optional<size_t> ListPackagesByCommands(const std::string& searchPath,
                                             const std::string& system, DocumentWriter& document,
                                             Log& log, const std::function<bool()>& stopped = {});
