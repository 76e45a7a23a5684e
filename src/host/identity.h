// The machine's identity for the SystemInfo element: computer name, MAC and
// IP address, language, login name, OS description, kernel release, domain
// and kernel build string. Every probe is best-effort: a failing one leaves
// its value empty, and says why in its result where the run reports it.
// Values are raw text, as the system gives them.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>

// ---- Pure rules, used by the probes below and by tests ----

// Twelve upper-case hex digits of a six-byte hardware address.
std::string FormatMac(const unsigned char* bytes);

// The node name up to its first ".".
std::string ComputerNameFromNode(std::string_view node);

// True when the uname machine field names a 64-bit machine.
bool Is64BitMachine(std::string_view machine);

// LANG up to its first "." (en_US.UTF-8 gives en_US); empty when unset.
std::string LanguageFromLang(const char* lang);

// The login name, with "(null)" read as no name.
std::string UserNameFromLogin(const char* login);

// The OS description from the release files under `etcDir`:
// system-release or redhat-release (first line, as it stands), else the
// double-quoted PRETTY_NAME of os-release, else DISTRIB_DESCRIPTION of
// lsb-release. Only lines that end with a line feed are examined.
std::string OsDescriptionFrom(const std::filesystem::path& etcDir);

// The double-quoted value of the first line holding `key`, or nothing.
bool FindQuotedValue(std::istream& in, std::string_view key, std::string& value);

// The domain part of a resolved host name: after its first ".", cut where
// ".local" begins. Empty when the name has no ".".
std::string DomainFromHostName(std::string_view officialName);

// The result of getdomainname, with "(none)" read as no domain.
std::string DomainFromDomainName(std::string_view domainName);

// ---- Probes of this machine ----

struct NetworkIdentity {
  std::string mac;
  std::string ip;
  int macError = 0;  // errno when no interface gave a hardware address
  int ipError = 0;   // errno when the interface gave no IPv4 address
};

// MAC of the first of eth0, ens33, ens32 that has one, and that interface's
// IPv4 address.
NetworkIdentity ProbeNetwork();

struct NodeIdentity {
  std::string computerName = "unknown";
  std::string kernelRelease;
  bool is64Bit = false;
};
NodeIdentity ProbeNode();

// Reads LANG and cuts it in the environment too, so that commands started
// later see the shortened value.
std::string ProbeLanguage();
std::string ProbeUserName();
std::string ProbeDomain();

struct KernelBuild {
  std::string text;
  int error = 0;  // errno when the kernel has the call but it failed
};
KernelBuild ProbeKernelBuild();
