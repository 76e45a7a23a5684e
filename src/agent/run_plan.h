// The run's decisions that depend only on their inputs: which argument names
// the settings file, which directory is scanned, what the output files are
// called, and how times are written.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// True for an argument longer than four characters ending in ".ini", any case.
bool NamesSettingsFile(std::string_view argument);

// The directory the file scan starts from, chosen from the arguments
// (without the program name).
std::string ScanRootFromArguments(const std::vector<std::string>& arguments);

// The directory part of the executable's path, ending with "/": the link
// target is cut at 255 bytes like the module path buffer, and "./" stands in
// when the link could not be read.
std::string ModuleDirectoryFrom(std::string_view exeLinkTarget);

struct OutputNames {
  std::string scanFile;
  std::string logFile;
};

// The computer name as the names of the settings, scan and log files carry
// it: its markup characters escaped as in the document.
std::string ComputerFileName(std::string_view computerName);

// Names the scan and log files after the computer (and its MAC address),
// in the output folder or else the module directory.
OutputNames MakeOutputNames(const std::string& outputFolder, const std::string& moduleDir,
                            const std::string& computerName, const std::string& mac);

// "dd. mm. yyyy HH:MM:SS" in local time.
std::string FormatScanDate(std::time_t when);

// "HH:MM:SS" with hours not wrapped at 24.
std::string FormatScanDuration(long long seconds);
