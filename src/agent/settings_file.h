// Which settings file one run uses, and its settings.
#pragma once

#include <string>
#include <vector>

#include "config/settings.h"

struct FoundSettings {
  Settings settings;  // the defaults when no file loaded
  std::string path;   // the file that loaded; empty when none did
};

// Where an installed agent keeps its settings.
inline constexpr char kSystemSettingsFile[] = "/etc/scanunix/scanunix.ini";

// The file a first argument ending in ".ini" names, else the file named
// like the computer in `moduleDir`, else scanunix.ini there, else
// kSystemSettingsFile.
FoundSettings FindSettings(const std::vector<std::string>& arguments, const std::string& moduleDir,
                           const std::string& computerName);
