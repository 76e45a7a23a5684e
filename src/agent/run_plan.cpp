#include "agent/run_plan.h"

#include <algorithm>
#include <cstdio>

#include "base/document_text.h"
#include "base/text.h"

namespace {
constexpr size_t kModulePathLimit = 255;
}

bool NamesSettingsFile(std::string_view argument) {
  return argument.size() > 4 && EndsWithIgnoringAsciiCase(argument, ".ini");
}

std::string ScanRootFromArguments(const std::vector<std::string>& arguments) {
  if (arguments.size() >= 2) return arguments[1];
  if (arguments.size() == 1 && !NamesSettingsFile(arguments[0])) return arguments[0];
  return "/";
}

std::string ModuleDirectoryFrom(std::string_view exeLinkTarget) {
  if (exeLinkTarget.empty()) return "./";
  std::string dir(exeLinkTarget.substr(0, kModulePathLimit));
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos) return "./";
  dir.resize(slash + 1);
  return dir;
}

std::string ComputerFileName(std::string_view computerName) { return EscapeMarkup(computerName); }

OutputNames MakeOutputNames(const std::string& outputFolder, const std::string& moduleDir,
                            const std::string& computerName, const std::string& mac) {
  std::string base = outputFolder.empty() ? moduleDir : outputFolder;
  if (base.empty() || base.back() != '/') base += '/';
  base += ComputerFileName(computerName);
  OutputNames names;
  names.logFile = base + ".log";
  names.scanFile = base + (mac.empty() ? "" : "_" + mac) + ".scn";
  return names;
}

std::string FormatScanDate(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[64];
  std::strftime(text, sizeof text, "%d. %m. %Y %H:%M:%S", &local);
  return text;
}

std::string FormatScanDuration(long long seconds) {
  if (seconds < 0) seconds = 0;  // the clock went back during the scan
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600,
                (seconds % 3600) / 60, seconds % 60);
  return text;
}
