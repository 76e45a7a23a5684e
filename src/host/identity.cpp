#include "host/identity.h"

#include <arpa/inet.h>
#include <linux/sysctl.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/unique_fd.h"

namespace fs = std::filesystem;

std::string FormatMac(const unsigned char* bytes) {
  char text[13];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1],
                bytes[2], bytes[3], bytes[4], bytes[5]);
  return text;
}

std::string ComputerNameFromNode(std::string_view node) {
  return std::string(node.substr(0, node.find('.')));
}

bool Is64BitMachine(std::string_view machine) {
  return machine.find("64") != std::string_view::npos;
}

std::string LanguageFromLang(const char* lang) {
  if (!lang) return {};
  std::string_view value(lang);
  return std::string(value.substr(0, value.find('.')));
}

std::string UserNameFromLogin(const char* login) {
  if (!login || std::strcmp(login, "(null)") == 0) return {};
  return login;
}

namespace {

// Like getline, but only a line that ends with a line feed counts.
bool ReadTerminatedLine(std::istream& in, std::string& line) {
  return std::getline(in, line) && !in.eof();
}

}  // namespace

bool FindQuotedValue(std::istream& in, std::string_view key, std::string& value) {
  std::string line;
  while (ReadTerminatedLine(in, line)) {
    const size_t at = line.find(key);
    if (at == std::string::npos) continue;
    const size_t quote = line.find('"', at);
    if (quote == std::string::npos) continue;
    const size_t end = line.find('"', quote + 1);
    value = line.substr(quote + 1, end == std::string::npos ? std::string::npos
                                                            : end - quote - 1);
    return true;
  }
  return false;
}

std::string OsDescriptionFrom(const fs::path& etcDir) {
  for (const char* name : {"system-release", "redhat-release"}) {
    std::ifstream in(etcDir / name);
    if (!in.is_open()) continue;
    std::string line;
    return ReadTerminatedLine(in, line) ? line : std::string();
  }
  const std::pair<const char*, const char*> keyed[] = {
      {"os-release", "PRETTY_NAME="}, {"lsb-release", "DISTRIB_DESCRIPTION="}};
  for (const auto& [name, key] : keyed) {
    std::ifstream in(etcDir / name);
    std::string value;
    if (in.is_open() && FindQuotedValue(in, key, value)) return value;
  }
  return {};
}

std::string DomainFromHostName(std::string_view officialName) {
  const size_t dot = officialName.find('.');
  if (dot == std::string_view::npos) return {};
  std::string_view domain = officialName.substr(dot + 1);
  return std::string(domain.substr(0, domain.find(".local")));
}

std::string DomainFromDomainName(std::string_view domainName) {
  if (domainName.find("(none)") != std::string_view::npos) return {};
  return std::string(domainName);
}

NetworkIdentity ProbeNetwork() {
  NetworkIdentity id;
  UniqueFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  ifreq request{};
  bool found = false;
  for (const char* name : {"eth0", "ens33", "ens32"}) {
    std::memset(&request, 0, sizeof request);
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    if (::ioctl(sock.Get(), SIOCGIFHWADDR, &request) == 0) {
      id.mac = FormatMac(reinterpret_cast<unsigned char*>(request.ifr_hwaddr.sa_data));
      found = true;
      break;
    }
  }
  if (!found) id.macError = errno;

  // The same record: the interface with the address, else the last one tried.
  if (::ioctl(sock.Get(), SIOCGIFADDR, &request) == 0) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* addr = reinterpret_cast<const sockaddr_in*>(&request.ifr_addr);
    if (::inet_ntop(AF_INET, &addr->sin_addr, text, sizeof text)) id.ip = text;
  } else {
    id.ipError = errno;
  }
  return id;
}

NodeIdentity ProbeNode() {
  NodeIdentity id;
  utsname names{};
  if (::uname(&names) != 0) return id;
  id.is64Bit = Is64BitMachine(names.machine);
  id.computerName = ComputerNameFromNode(names.nodename);
  id.kernelRelease = names.release;
  return id;
}

std::string ProbeLanguage() {
  const char* lang = std::getenv("LANG");
  if (!lang) return {};
  std::string language = LanguageFromLang(lang);
  ::setenv("LANG", language.c_str(), 1);
  return language;
}

std::string ProbeUserName() { return UserNameFromLogin(::getlogin()); }

std::string ProbeDomain() {
  std::string domain;
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) == 0) {
    if (const hostent* entry = ::gethostbyname(host.data()); entry && entry->h_name) {
      domain = DomainFromHostName(entry->h_name);
    }
  }
  if (domain.empty()) {
    std::array<char, 256> name{};
    if (::getdomainname(name.data(), name.size() - 1) == 0) {
      domain = DomainFromDomainName(name.data());
    }
  }
  return domain;
}

KernelBuild ProbeKernelBuild() {
  KernelBuild build;
#ifdef SYS__sysctl
  std::array<char, 100> version{};
  size_t length = version.size();
  int name[] = {CTL_KERN, KERN_VERSION};
  __sysctl_args args{};
  args.name = name;
  args.nlen = 2;
  args.oldval = version.data();
  args.oldlenp = &length;
  if (::syscall(SYS__sysctl, &args) != 0) {
    if (errno != ENOSYS) build.error = errno;
    return build;
  }
  version.back() = '\0';
  build.text = version.data();
#endif
  return build;
}
