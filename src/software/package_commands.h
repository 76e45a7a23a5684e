// The fallback when the RPM library yields nothing: dpkg-query, dpkg -l and
// rpm -qa, run through the shell into a list file, in that order.
#pragma once

#include <string>

#include "base/document_text.h"
#include "base/log.h"

// Runs the commands until one succeeds and writes its packages to
// `document`. `listFile` is created afresh (never through a link) before
// each command; when that fails no further command runs. The rpm fallback
// is announced on standard output. Returns the number of packages written.
size_t ListPackagesByCommands(const std::string& listFile, const std::string& system,
                              DocumentWriter& document, Log& log);

// Removes `path` and creates it as a new, empty file owned by this process.
// False when something else holds the path.
bool CreateListFile(const std::string& path);
