// Where the host's IPv4 address is looked for when the interface that names
// the host has none: a bridge port or bond slave carries it on its master,
// an unused first interface leaves it to the one that routes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The bridge or bond that `name` is a port of, from the link
// `<sysClassNet>/<name>/master`; empty when it is none's.
std::string MasterInterface(const std::filesystem::path& sysClassNet, const std::string& name);

// The interfaces to ask for the IPv4 address, each once and in this order:
// `chosen`, its master, `routeInterface` (the default route's; may be empty).
std::vector<std::string> AddressInterfaces(const std::string& chosen,
                                           const std::filesystem::path& sysClassNet,
                                           const std::string& routeInterface);
