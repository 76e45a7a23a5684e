#include "host/address_interfaces.h"

#include <algorithm>
#include <system_error>

#include "host/network.h"

namespace fs = std::filesystem;

std::string MasterInterface(const fs::path& sysClassNet, const std::string& name) {
  if (name.empty()) return {};
  std::error_code error;
  const fs::path target = fs::read_symlink(sysClassNet / name / "master", error);
  return error ? std::string() : target.filename().string();
}

std::vector<std::string> AddressInterfaces(const std::string& chosen, const fs::path& sysClassNet,
                                           std::string_view routeTable) {
  std::vector<std::string> names;
  for (const std::string& name :
       {chosen, MasterInterface(sysClassNet, chosen), DefaultRouteInterface(routeTable)}) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(name);
  }
  return names;
}
