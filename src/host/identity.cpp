#include "host/identity.h"

#include <linux/sysctl.h>
#include <netdb.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/read_file.h"
#include "base/text.h"

namespace fs = std::filesystem;

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

std::optional<std::string> KeyedValue(std::string_view text, std::string_view key) {
  LineSplitter lines(text, LastLine::kDropped, CarriageReturns::kKept);
  for (std::string_view line; lines.Next(line);) {
    const size_t at = line.find(key);
    if (at == std::string_view::npos) continue;
    std::string_view value = line.substr(at + key.size());
    if (!value.empty() && (value[0] == '"' || value[0] == '\'')) {
      const char quote = value[0];
      value.remove_prefix(1);
      value = value.substr(0, value.find(quote));
    }
    return std::string(value);
  }
  return std::nullopt;
}

std::string OsDescriptionFrom(const fs::path& etcDir) {
  constexpr size_t kReleaseFileLimit = 64 * 1024;
  for (const char* name : {"system-release", "redhat-release"}) {
    if (const auto file = ReadFileUpTo((etcDir / name).string(), kReleaseFileLimit)) {
      const std::string_view text = file->text;
      return std::string(text.substr(0, text.find('\n')));
    }
  }
  const std::pair<const char*, const char*> keyed[] = {
      {"os-release", "PRETTY_NAME="}, {"lsb-release", "DISTRIB_DESCRIPTION="}};
  for (const auto& [name, key] : keyed) {
    const auto file = ReadFileUpTo((etcDir / name).string(), kReleaseFileLimit);
    if (!file) continue;
    if (auto value = KeyedValue(file->text, key)) return *value;
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

namespace {

// The canonical name of `host` in any address family, for hosts the IPv4
// lookup does not know (IPv6 only); empty when the resolver gives none.
std::string CanonicalName(const char* host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &found) != 0) return {};
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, freeaddrinfo);
  return found && found->ai_canonname ? found->ai_canonname : std::string();
}

}  // namespace

std::string ProbeDomain() {
  std::string domain;
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) == 0) {
    const hostent* entry = ::gethostbyname(host.data());
    const std::string official = entry && entry->h_name ? entry->h_name : "";
    domain = DomainFromHostName(official.find('.') != std::string::npos ? official
                                                                       : CanonicalName(host.data()));
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
  constexpr size_t kBuildLimit = 99;
  KernelBuild build;
#ifdef SYS__sysctl
  std::array<char, kBuildLimit + 1> version{};
  size_t length = version.size();
  int name[] = {CTL_KERN, KERN_VERSION};
  __sysctl_args args{};
  args.name = name;
  args.nlen = 2;
  args.oldval = version.data();
  args.oldlenp = &length;
  if (::syscall(SYS__sysctl, &args) == 0) {
    version.back() = '\0';
    build.text = version.data();
    return build;
  }
  if (errno != ENOSYS) {
    build.probe = ErrnoFailure("_sysctl");
    return build;
  }
#endif
  // Linux 5.5 dropped _sysctl; uname carries the same text.
  utsname names{};
  if (::uname(&names) == 0) build.text = std::string(names.version).substr(0, kBuildLimit);
  return build;
}
