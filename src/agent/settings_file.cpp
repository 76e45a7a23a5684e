#include "agent/settings_file.h"

#include "agent/run_plan.h"

FoundSettings FindSettings(const std::vector<std::string>& arguments, const std::string& moduleDir,
                           const std::string& computerName) {
  const std::string first = !arguments.empty() && NamesSettingsFile(arguments[0])
                                ? arguments[0]
                                : moduleDir + ComputerFileName(computerName);
  for (const std::string& path : {first, moduleDir + "scanunix.ini", std::string(kSystemSettingsFile)}) {
    if (const std::optional<IniFile> ini = IniFile::Load(path)) return {SettingsFrom(*ini), path};
  }
  return {};
}
