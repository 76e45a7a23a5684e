#include "host/hardware.h"

#include <cstdlib>

#include "base/read_file.h"
#include "base/text.h"
#include "host/arm_cpu.h"

namespace {

// Sets `value` to the rest of `line` after `key` when the line holds it.
void TakeAfter(std::string_view line, std::string_view key, std::string& value) {
  const size_t at = line.find(key);
  if (at != std::string_view::npos) value = std::string(line.substr(at + key.size()));
}

}  // namespace

CpuFacts ParseCpuInfo(std::string_view text, bool cut) {
  CpuFacts facts;
  if (cut) text = text.substr(0, text.rfind('\n') + 1);
  unsigned long count = 0;
  ForEachLine(text, [&](std::string_view line) {
    if (line.starts_with("processor\t: ")) ++count;
    TakeAfter(line, "model name\t: ", facts.type);
    TakeAfter(line, "cpu MHz\t\t: ", facts.mhz);
    TakeAfter(line, "cpu cores\t: ", facts.cores);
    TakeAfter(line, "CPU implementer\t: ", facts.implementer);
    TakeAfter(line, "CPU part\t: ", facts.part);
  }, LastLine::kKept, CarriageReturns::kKept);
  facts.count = std::to_string(count);
  return facts;
}

CpuFacts ProbeCpu(const std::string& cpuinfo, const std::filesystem::path& cpuDir) {
  CpuFacts facts;
  if (auto file = ReadFileUpTo(cpuinfo, kKernelFileLimit))
    facts = ParseCpuInfo(file->text, file->cut);
  if (!facts.type.empty()) return facts;
  facts.type = ArmProcessorName(facts.implementer, facts.part);
  if (facts.mhz.empty()) facts.mhz = MaxSpeedMhz(cpuDir);
  if (facts.cores.empty()) facts.cores = CoresPerPackage(cpuDir);
  if (facts.cores.empty()) facts.cores = facts.count;
  return facts;
}

std::string ParseMemTotal(std::string_view text) {
  std::string total;
  ForEachLine(text, [&](std::string_view line) {
    std::string rest;
    TakeAfter(line, "MemTotal:", rest);
    if (rest.empty()) return;
    rest = rest.substr(0, rest.find(" kB"));
    const unsigned long long kb = std::strtoull(rest.c_str(), nullptr, 10);
    total = std::to_string(kb / 1000 + 1);
  }, LastLine::kKept, CarriageReturns::kKept);
  return total;
}

HardwareFacts ProbeHardware() {
  HardwareFacts facts;
  facts.cpu = ProbeCpu("/proc/cpuinfo", "/sys/devices/system/cpu");
  if (auto file = ReadFileUpTo("/proc/meminfo", kKernelFileLimit))
    facts.memTotal = ParseMemTotal(file->text);
  FirstDisk first = ProbeFirstDisk();
  facts.disk = std::move(first.disk);
  facts.diskProbe = first.sda;
  facts.diskFailure = first.sdaProbe;
  return facts;
}
