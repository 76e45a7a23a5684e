#include "host/hardware.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/fd_io.h"
#include "base/unique_fd.h"

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

namespace {

void ProbeFirstDisk(HardwareFacts& facts) {
  UniqueFd fd(::open("/dev/sda", O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    facts.diskProbe = DiskProbe::kCannotOpen;
    return;
  }
  std::array<unsigned char, 512> record{};
  if (::ioctl(fd.Get(), HDIO_GET_IDENTITY, record.data()) != 0) {
    facts.diskProbe = DiskProbe::kNoIdentity;
    facts.diskError = errno;
    return;
  }
  facts.disk = ParseDriveIdentity(record);
}

}  // namespace

HardwareFacts ProbeHardware() {
  HardwareFacts facts;
  bool cut = false;
  if (auto text = ReadKernelFile("/proc/cpuinfo", &cut)) facts.cpu = ParseCpuInfo(*text, cut);
  if (auto text = ReadKernelFile("/proc/meminfo", nullptr)) facts.memTotal = ParseMemTotal(*text);
  ProbeFirstDisk(facts);
  return facts;
}
