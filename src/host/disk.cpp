#include "host/disk.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/read_file.h"
#include "base/text.h"
#include "base/unique_fd.h"

namespace fs = std::filesystem;

namespace {

uint16_t Word(const std::array<unsigned char, 512>& record, size_t index) {
  uint16_t word;
  std::memcpy(&word, record.data() + 2 * index, sizeof word);
  return word;
}

// Words `first` .. `first + count - 1`, the lowest first.
uint64_t Words(const std::array<unsigned char, 512>& record, size_t first, size_t count) {
  uint64_t value = 0;
  for (size_t i = count; i-- > 0;) value = (value << 16) | Word(record, first + i);
  return value;
}

std::string FieldText(const std::array<unsigned char, 512>& record, size_t offset,
                      size_t size) {
  std::string text(reinterpret_cast<const char*>(record.data() + offset), size);
  return text.substr(0, text.find('\0'));
}

// Word 83 is valid when its top bits read 01; bit 10 announces 48-bit addresses.
bool Supports48BitAddresses(const std::array<unsigned char, 512>& record) {
  const uint16_t commandSet2 = Word(record, 83);
  return (commandSet2 & 0xC000) == 0x4000 && (commandSet2 & (1u << 10)) != 0;
}

// A sysfs attribute as SysfsValue gives it; empty when absent.
std::string Attribute(const fs::path& path) {
  constexpr size_t kAttributeLimit = 4096;
  const auto file = ReadFileUpTo(path.string(), kAttributeLimit);
  return file ? SysfsValue(file->text) : std::string();
}

bool IsWithin(const fs::path& path, const fs::path& dir) {
  return std::mismatch(dir.begin(), dir.end(), path.begin(), path.end()).first == dir.end();
}

std::optional<DiskIdentity> RealDisk(const fs::path& block, const fs::path& virtualDevices) {
  std::error_code error;
  const fs::path device = fs::canonical(block, error);
  if (error || IsWithin(device, virtualDevices) || Attribute(block / "removable") == "1")
    return std::nullopt;
  DiskIdentity disk;
  const std::optional<uint64_t> sectors = SectorCount(Attribute(block / "size"));
  if (!sectors) return std::nullopt;
  disk.sectors = *sectors;
  disk.model = Attribute(block / "device" / "model");
  disk.serial = Attribute(block / "device" / "serial");
  if (disk.serial.empty()) disk.serial = Attribute(block / "serial");
  return disk;
}

}  // namespace

std::string SysfsValue(std::string_view text) {
  return std::string(TrimmedEnd(text, " \t\n\r\v\f"));
}

std::optional<uint64_t> SectorCount(std::string_view value) {
  uint64_t sectors = 0;
  const auto [end, parsed] = std::from_chars(value.data(), value.data() + value.size(), sectors);
  if (parsed != std::errc() || end != value.data() + value.size() || sectors == 0) return std::nullopt;
  return sectors;
}

DiskIdentity ParseDriveIdentity(const std::array<unsigned char, 512>& record) {
  DiskIdentity disk;
  disk.serial = FieldText(record, 20, 20);
  disk.model = FieldText(record, 54, 40);
  const uint64_t sectors28 = Words(record, 60, 2), sectors48 = Words(record, 100, 4);
  disk.sectors = Supports48BitAddresses(record) && sectors48 != 0 ? sectors48 : sectors28;
  return disk;
}

std::optional<DiskIdentity> FindFirstDiskInSysfs(const fs::path& sysRoot) {
  std::error_code error;
  std::vector<std::string> names;
  for (fs::directory_iterator it(sysRoot / "block", error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  const fs::path virtualDevices = fs::canonical(sysRoot, error) / "devices" / "virtual";
  for (const std::string& name : names) {
    if (auto disk = RealDisk(sysRoot / "block" / name, virtualDevices)) return disk;
  }
  return std::nullopt;
}

FirstDisk ProbeFirstDisk() {
  FirstDisk first;
  UniqueFd fd(::open("/dev/sda", O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  std::array<unsigned char, 512> record{};
  if (!fd) {
    first.sda = DiskProbe::kCannotOpen;
  } else if (::ioctl(fd.Get(), HDIO_GET_IDENTITY, record.data()) != 0) {
    first.sda = DiskProbe::kNoIdentity;
    first.sdaProbe = ErrnoFailure("HDD ioctl error");
  } else {
    first.disk = ParseDriveIdentity(record);
    return first;
  }
  first.disk = FindFirstDiskInSysfs("/sys");
  return first;
}
