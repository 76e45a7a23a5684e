#include "host/address_interfaces.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

std::string MasterInterface(const fs::path& sysClassNet, const std::string& name) {
  if (name.empty()) return {};
  std::error_code error;
  const fs::path target = fs::read_symlink(sysClassNet / name / "master", error);
  return error ? std::string() : target.filename().string();
}

std::vector<std::string> AddressInterfaces(const std::string& chosen, const fs::path& sysClassNet,
                                           const std::string& routeInterface) {
  std::vector<std::string> names;
  for (const std::string& name :
       {chosen, MasterInterface(sysClassNet, chosen), routeInterface}) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(name);
  }
  return names;
}
