#include "hardware/hardware_scan.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "scan/globals.h"
#include "scan/fd_io.h"
#include "scan/unique_fd.h"
#include "scan/xml_escape.h"

namespace {

// Calls `visit` with every line of `text`, the last one even without a line end.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    visit(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

// Sets `value` to the rest of `line` after `key` when the line holds it.
void TakeAfter(std::string_view line, std::string_view key, std::string& value) {
  const size_t at = line.find(key);
  if (at != std::string_view::npos) value = std::string(line.substr(at + key.size()));
}

std::optional<std::string> ReadKernelFile(const char* path, bool* cut) {
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  std::string text(kKernelFileLimit, '\0');
  const size_t used = ReadUpTo(fd.Get(), text.data(), text.size());
  if (cut) *cut = used == text.size();
  text.resize(used);
  return text;
}

std::string FieldText(const std::array<unsigned char, 512>& record, size_t offset,
                      size_t size) {
  std::string text(reinterpret_cast<const char*>(record.data() + offset), size);
  return text.substr(0, text.find('\0'));
}

}  // namespace

CpuFacts ParseCpuInfo(std::string_view text, bool cut) {
  CpuFacts facts;
  unsigned count = 0;
  while (text.find("processor\t: " + std::to_string(count)) != std::string_view::npos) ++count;
  facts.count = std::to_string(count);

  if (cut) text = text.substr(0, text.rfind('\n') + 1);
  ForEachLine(text, [&](std::string_view line) {
    TakeAfter(line, "model name\t: ", facts.type);
    TakeAfter(line, "cpu MHz\t\t: ", facts.mhz);
    TakeAfter(line, "cpu cores\t: ", facts.cores);
  });
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
  });
  return total;
}

DiskIdentity ParseDriveIdentity(const std::array<unsigned char, 512>& record) {
  DiskIdentity disk;
  disk.serial = FieldText(record, 20, 20);
  disk.model = FieldText(record, 54, 40);
  for (int i = 3; i >= 0; --i) disk.sectors = (disk.sectors << 8) | record[200 + i];
  return disk;
}

std::string BuildHardwareElement(const CpuFacts& cpu, const std::string& memTotal,
                                 const std::optional<DiskIdentity>& disk) {
  std::string element = "<HardwareInfo TotalMemory=\"" + XmlEscaped(memTotal) +
                        "\" ProcessorFrequency=\"" + XmlEscaped(cpu.mhz) +
                        "\" ProcessorType=\"" + XmlEscaped(cpu.type) + "\">\r\n";
  if (disk) {
    element += "\t<Harddisks>\r\n\t\t<IDE Pos=\"Primary\" Model=\"" + XmlEscaped(disk->model) +
               "\" Revision=\"\" Size=\"" + std::to_string(disk->sectors) +
               "\" Cache=\"\" Geometry=\"\" Serial=\"" + XmlEscaped(disk->serial) +
               "\"/>\r\n\t</Harddisks>\r\n";
  }
  element += "</HardwareInfo>\r\n";
  return element;
}

namespace {

std::optional<DiskIdentity> ProbeFirstDisk() {
  UniqueFd fd(::open("/dev/sda", O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    if (GLOBAL::Logging()) std::puts("ERROR: Cannot open device /dev/sda");
    return std::nullopt;
  }
  std::array<unsigned char, 512> record{};
  if (::ioctl(fd.Get(), HDIO_GET_IDENTITY, record.data()) != 0) {
    if (GLOBAL::Logging()) std::perror("HDD ioctl error");
    return std::nullopt;
  }
  return ParseDriveIdentity(record);
}

}  // namespace

void ScanHardware() {
  if (GLOBAL::Logging()) GLOBAL::LogMsg("Scan Hardware\n");
  bool cut = false;
  CpuFacts cpu;
  if (auto text = ReadKernelFile("/proc/cpuinfo", &cut)) cpu = ParseCpuInfo(*text, cut);
  std::string memTotal;
  if (auto text = ReadKernelFile("/proc/meminfo", nullptr)) memTotal = ParseMemTotal(*text);
  szCpuCount = cpu.count;
  szCpuCores = cpu.cores;
  szHardware = BuildHardwareElement(cpu, memTotal, ProbeFirstDisk());
}
