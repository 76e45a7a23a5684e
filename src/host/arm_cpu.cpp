#include "host/arm_cpu.h"

#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <system_error>

#include "base/read_file.h"
#include "base/text.h"

namespace fs = std::filesystem;

namespace {

struct Part {
  unsigned id;
  std::string_view name;
};

struct Implementer {
  unsigned id;
  std::string_view name;
  std::span<const Part> parts;
};

// The parts a fleet meets, by the names lscpu gives them.
constexpr Part kArm[] = {
    {0xd01, "Cortex-A32"},   {0xd02, "Cortex-A34"},   {0xd03, "Cortex-A53"},
    {0xd04, "Cortex-A35"},   {0xd05, "Cortex-A55"},   {0xd06, "Cortex-A65"},
    {0xd07, "Cortex-A57"},   {0xd08, "Cortex-A72"},   {0xd09, "Cortex-A73"},
    {0xd0a, "Cortex-A75"},   {0xd0b, "Cortex-A76"},   {0xd0c, "Neoverse-N1"},
    {0xd0d, "Cortex-A77"},   {0xd0e, "Cortex-A76AE"}, {0xd40, "Neoverse-V1"},
    {0xd41, "Cortex-A78"},   {0xd42, "Cortex-A78AE"}, {0xd43, "Cortex-A65AE"},
    {0xd44, "Cortex-X1"},    {0xd46, "Cortex-A510"},  {0xd47, "Cortex-A710"},
    {0xd48, "Cortex-X2"},    {0xd49, "Neoverse-N2"},  {0xd4a, "Neoverse-E1"},
    {0xd4b, "Cortex-A78C"},  {0xd4c, "Cortex-X1C"},   {0xd4d, "Cortex-A715"},
    {0xd4e, "Cortex-X3"},    {0xd4f, "Neoverse-V2"},  {0xd80, "Cortex-A520"},
    {0xd81, "Cortex-A720"},  {0xd82, "Cortex-X4"},    {0xd84, "Neoverse-V3"},
    {0xd85, "Cortex-X925"},  {0xd87, "Cortex-A725"},  {0xd8e, "Neoverse-N3"},
};
constexpr Part kCavium[] = {
    {0x0a0, "ThunderX"}, {0x0a1, "ThunderX-88XX"}, {0x0a2, "ThunderX-81XX"},
    {0x0a3, "ThunderX-83XX"}, {0x0af, "ThunderX2-99xx"},
};
constexpr Part kFujitsu[] = {{0x001, "A64FX"}};
constexpr Part kHiSilicon[] = {{0xd01, "TaiShan-v110"}, {0xd02, "TaiShan-v120"}};
constexpr Part kNvidia[] = {{0x000, "Denver"}, {0x003, "Denver 2"}, {0x004, "Carmel"}};
constexpr Part kApm[] = {{0x000, "X-Gene"}};
constexpr Part kQualcomm[] = {{0x800, "Falkor-V1/Kryo"}, {0xc00, "Falkor"}, {0xc01, "Saphira"}};
constexpr Part kApple[] = {
    {0x022, "Icestorm-M1"},      {0x023, "Firestorm-M1"},     {0x024, "Icestorm-M1-Pro"},
    {0x025, "Firestorm-M1-Pro"}, {0x028, "Icestorm-M1-Max"},  {0x029, "Firestorm-M1-Max"},
    {0x032, "Blizzard-M2"},      {0x033, "Avalanche-M2"},     {0x034, "Blizzard-M2-Pro"},
    {0x035, "Avalanche-M2-Pro"}, {0x038, "Blizzard-M2-Max"},  {0x039, "Avalanche-M2-Max"},
};
constexpr Part kMicrosoft[] = {{0xd49, "Azure-Cobalt-100"}};
constexpr Part kPhytium[] = {{0x660, "FTC660"}, {0x661, "FTC661"}, {0x662, "FTC662"},
                             {0x663, "FTC663"}, {0x664, "FTC664"}, {0x862, "FTC862"}};
constexpr Part kAmpere[] = {{0xac3, "Ampere-1"}, {0xac4, "Ampere-1a"}};

constexpr Implementer kImplementers[] = {
    {0x41, "ARM", kArm},         {0x42, "Broadcom", {}},     {0x43, "Cavium", kCavium},
    {0x46, "FUJITSU", kFujitsu}, {0x48, "HiSilicon", kHiSilicon}, {0x4e, "NVIDIA", kNvidia},
    {0x50, "APM", kApm},         {0x51, "Qualcomm", kQualcomm}, {0x53, "Samsung", {}},
    {0x56, "Marvell", {}},       {0x61, "Apple", kApple},     {0x6d, "Microsoft", kMicrosoft},
    {0x70, "Phytium", kPhytium}, {0xc0, "Ampere", kAmpere},
};

// "0x41" (any case) as a number.
std::optional<unsigned> Hex(std::string_view text) {
  text = Trimmed(text);
  if (!StartsWithIgnoringAsciiCase(text, "0x")) return std::nullopt;
  text.remove_prefix(2);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The first line of a small sysfs file, without blanks around it.
std::optional<std::string> SysfsValue(const fs::path& path) {
  constexpr size_t kSysfsValueLimit = 64;
  const auto file = ReadFileUpTo(path.string(), kSysfsValueLimit);
  if (!file) return std::nullopt;
  std::string_view text = file->text;
  return std::string(Trimmed(text.substr(0, text.find('\n'))));
}

// The number of a "cpuN" directory name.
std::optional<unsigned> CpuNumber(std::string_view name) {
  if (!name.starts_with("cpu") || name.size() == 3) return std::nullopt;
  unsigned number = 0;
  const char* begin = name.data() + 3;
  const auto [end, error] = std::from_chars(begin, name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return number;
}

}  // namespace

std::string ArmProcessorName(std::string_view implementer, std::string_view part) {
  implementer = Trimmed(implementer);
  part = Trimmed(part);
  if (implementer.empty()) return {};
  const std::optional<unsigned> vendorId = Hex(implementer), partId = Hex(part);
  for (const Implementer& vendor : kImplementers) {
    if (vendorId != vendor.id) continue;
    for (const Part& known : vendor.parts)
      if (partId == known.id) return std::string(vendor.name) + " " + std::string(known.name);
    return std::string(vendor.name) + (part.empty() ? "" : " " + std::string(part));
  }
  return std::string(implementer) + (part.empty() ? "" : " " + std::string(part));
}

std::string CoresPerPackage(const fs::path& cpuDir) {
  // A machine has a few thousand processors at most; more entries are not read.
  constexpr size_t kMaxEntries = 65536;
  std::map<unsigned, std::pair<std::string, std::string>> topology;  // by number: package, core
  std::error_code error;
  size_t seen = 0;
  for (fs::directory_iterator it(cpuDir, error), end; !error && it != end && seen < kMaxEntries;
       it.increment(error), ++seen) {
    const std::optional<unsigned> number = CpuNumber(it->path().filename().string());
    if (!number) continue;
    const auto package = SysfsValue(it->path() / "topology/physical_package_id");
    const auto core = SysfsValue(it->path() / "topology/core_id");
    if (package && core) topology[*number] = {*package, *core};
  }
  if (topology.empty()) return {};
  const std::string& first = topology.begin()->second.first;
  std::set<std::string> cores;
  for (const auto& [number, ids] : topology)
    if (ids.first == first) cores.insert(ids.second);
  return std::to_string(cores.size());
}

std::string MaxSpeedMhz(const fs::path& cpuDir) {
  const auto text = SysfsValue(cpuDir / "cpu0/cpufreq/cpuinfo_max_freq");
  if (!text) return {};
  unsigned long long khz = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), khz);
  if (error != std::errc() || end != text->data() + text->size() || khz == 0) return {};
  return std::to_string(khz / 1000);
}
