// Which settings file one run uses, and its settings.
#pragma once

#include <string>
#include <vector>

#include "config/settings.h"

struct FoundSettings {
  Settings settings;  // the defaults when no file loaded
  std::string path;   // the file that loaded; empty when none did
};

// The file a first argument ending in ".ini" names, else the file named
// like the computer in `moduleDir`, else scanunix.ini there.
FoundSettings FindSettings(const std::vector<std::string>& arguments, const std::string& moduleDir,
                           const std::string& computerName);
