// Processor, memory and first-disk facts: the HardwareInfo element and the
// two processor counts of the SystemInfo tag.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The kernel files are read up to this many bytes; later bytes are cut.
inline constexpr size_t kKernelFileLimit = 10000;

struct CpuFacts {
  std::string count;   // number of "processor\t: n" entries, decimal
  std::string type;    // last "model name" value
  std::string mhz;     // last "cpu MHz" value
  std::string cores;   // last "cpu cores" value
};

// Facts from the text of /proc/cpuinfo. When `cut` is set the text ended at
// the read limit, and its unfinished last line is not used.
CpuFacts ParseCpuInfo(std::string_view text, bool cut = false);

// Total memory from /proc/meminfo in units of 1000 kB, plus one; empty
// without a MemTotal line.
std::string ParseMemTotal(std::string_view text);

struct DiskIdentity {
  std::string model;   // padding kept
  std::string serial;
  uint32_t sectors = 0;  // low 32 bits of the 48-bit sector count
};

// Reads the fields of a drive identity record (256 16-bit words).
DiskIdentity ParseDriveIdentity(const std::array<unsigned char, 512>& record);

// How the first disk's identity was asked for.
enum class DiskProbe { kAnswered, kCannotOpen, kNoIdentity };

struct HardwareFacts {
  CpuFacts cpu;
  std::string memTotal;
  std::optional<DiskIdentity> disk;
  DiskProbe diskProbe = DiskProbe::kAnswered;
  int diskError = 0;  // errno when the disk gave no identity
};

// The facts of this machine.
HardwareFacts ProbeHardware();
