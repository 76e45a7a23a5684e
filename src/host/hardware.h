// Processor, memory and first-disk facts: the HardwareInfo element and the
// two processor counts of the SystemInfo tag.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/disk.h"

// The kernel files are read up to this many bytes, enough for well over a
// thousand processors; later bytes are cut.
inline constexpr size_t kKernelFileLimit = 4 * 1024 * 1024;

struct CpuFacts {
  std::string count;   // number of "processor\t: n" entries, decimal
  std::string type;    // last "model name" value
  std::string mhz;     // last "cpu MHz" value
  std::string cores;   // last "cpu cores" value
  std::string implementer;  // last "CPU implementer" value (ARM)
  std::string part;         // last "CPU part" value (ARM)
};

// Facts from the text of /proc/cpuinfo. When `cut` is set the text ended at
// the read limit, and its unfinished last line is not used.
CpuFacts ParseCpuInfo(std::string_view text, bool cut = false);

// The processor facts from the cpuinfo file at `cpuinfo`. Where it names
// no model (64-bit ARM), the name comes from the implementer and part, the
// speed and the cores of one package from the processors under `cpuDir`
// (/sys/devices/system/cpu), and the cores else from the entries' count.
CpuFacts ProbeCpu(const std::string& cpuinfo, const std::filesystem::path& cpuDir);

// Total memory from /proc/meminfo in units of 1000 kB, plus one; empty
// without a MemTotal line.
std::string ParseMemTotal(std::string_view text);

struct HardwareFacts {
  CpuFacts cpu;
  std::string memTotal;
  std::optional<DiskIdentity> disk;  // empty when no disk was found at all
  DiskProbe diskProbe = DiskProbe::kAnswered;  // how /dev/sda answered
  Status diskFailure;  // failed when /dev/sda gave no identity
};

// The facts of this machine.
HardwareFacts ProbeHardware();
