// The machine's identity for the SystemInfo element: computer name, MAC and
// IP address, language, login name, OS description, kernel release, domain
// and kernel build string. Every probe is best-effort: a failing one leaves
// its value empty, and says why in its result where the run reports it.
// Values are raw text, as the system gives them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"

// ---- Pure rules, used by the probes below and by tests ----

// The node name up to its first ".".
std::string ComputerNameFromNode(std::string_view node);

// True when the uname machine field names a 64-bit machine.
bool Is64BitMachine(std::string_view machine);

// LANG up to its first "." (en_US.UTF-8 gives en_US); empty when unset.
std::string LanguageFromLang(const char* lang);

// The login name, with "(null)" read as no name.
std::string UserNameFromLogin(const char* login);

// The OS description from the release files under `etcDir`:
// system-release or redhat-release (its first line, as it stands), else the
// PRETTY_NAME of os-release, else DISTRIB_DESCRIPTION of lsb-release.
std::string OsDescriptionFrom(const std::filesystem::path& etcDir);

// The value after `key` on the first line of `text` that holds it: between
// the quotes when a double or single quote follows the key (to the line's
// end when it is not closed), else to the line's end. Only lines that end
// with a line feed are examined.
std::optional<std::string> KeyedValue(std::string_view text, std::string_view key);

// The domain part of a resolved host name: after its first ".", cut where
// ".local" begins. Empty when the name has no ".".
std::string DomainFromHostName(std::string_view officialName);

// The result of getdomainname, with "(none)" read as no domain.
std::string DomainFromDomainName(std::string_view domainName);

// ---- Probes of this machine ----

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

// The kernel's build string ("#1 SMP PREEMPT_DYNAMIC ..."), at most 99
// bytes: from _sysctl where the kernel still has it, else from uname.
struct KernelBuild {
  std::string text;
  Status probe;  // failed when the kernel has _sysctl but it failed
};
KernelBuild ProbeKernelBuild();
