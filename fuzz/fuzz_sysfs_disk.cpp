// Disk identity: sysfs values lose only trailing white space, a size is a
// plain positive count, and an identity record's texts stay in their fields.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "host/disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string value = SysfsValue(text);
  Check(text.starts_with(value));
  Check(value.empty() || std::string_view(" \t\n\r\v\f").find(value.back()) == std::string_view::npos);
  Check(text.substr(value.size()).find_first_not_of(" \t\n\r\v\f") == std::string_view::npos);

  if (const std::optional<uint64_t> sectors = SectorCount(value)) {
    Check(*sectors > 0 && !value.empty() && value.find_first_not_of("0123456789") == std::string::npos);
    uint64_t again = 0;
    std::from_chars(value.data(), value.data() + value.size(), again);
    Check(again == *sectors);
  }

  std::array<unsigned char, 512> record{};
  std::memcpy(record.data(), data, std::min(size, record.size()));
  const DiskIdentity disk = ParseDriveIdentity(record);
  Check(disk.model.size() <= 40 && disk.serial.size() <= 20);
  Check(disk.model.find('\0') == std::string::npos && disk.serial.find('\0') == std::string::npos);
  return 0;
}
