// Processor facts of 64-bit ARM machines, whose /proc/cpuinfo names no
// model, speed or cores: the name from the implementer and part numbers,
// the rest from sysfs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The processor named as lscpu names it, "<implementer> <part>" ("ARM
// Neoverse-N1", "Apple Firestorm-M1"), from the "CPU implementer" and
// "CPU part" values ("0x41", "0xd0c"). An implementer or part without a
// name stays the number as written; empty without an implementer.
std::string ArmProcessorName(std::string_view implementer, std::string_view part);

// The cores of one package, as "cpu cores" counts them on x86: the
// distinct core_id values among the processors under `cpuDir`
// (/sys/devices/system/cpu) whose physical_package_id is that of the
// lowest-numbered one. Empty when no processor there has a topology.
std::string CoresPerPackage(const std::filesystem::path& cpuDir);

// The highest speed of cpu0 in MHz, from cpufreq's cpuinfo_max_freq (kHz)
// under `cpuDir`; empty when there is none.
std::string MaxSpeedMhz(const std::filesystem::path& cpuDir);
