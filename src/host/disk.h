// The first disk's identity for the Harddisks element: asked of /dev/sda with
// the drive identity request, else read from sysfs for the first real disk
// (NVMe, virtio, SCSI and RAID disks do not answer the request).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"

struct DiskIdentity {
  std::string model;
  std::string serial;
  uint64_t sectors = 0;  // of 512 bytes
};

// The fields of an ATA identity record (256 16-bit words in host order, as
// HDIO_GET_IDENTITY gives it): model and serial with their padding, and the
// 48-bit sector count when the drive reports 48-bit addresses, else the
// 28-bit one.
DiskIdentity ParseDriveIdentity(const std::array<unsigned char, 512>& record);

// A sysfs attribute's text without its trailing white space.
std::string SysfsValue(std::string_view text);
// The sector count a size attribute holds: decimal digits only, above zero.
std::optional<uint64_t> SectorCount(std::string_view value);

// The first whole disk under `sysRoot`/block in name order that is a real
// device (not under devices/virtual, not removable, size above zero): model
// from device/model, serial from device/serial or serial, both without
// trailing white space, and the size file's sector count.
std::optional<DiskIdentity> FindFirstDiskInSysfs(const std::filesystem::path& sysRoot);

// How /dev/sda answered the identity request.
enum class DiskProbe { kAnswered, kCannotOpen, kNoIdentity };

struct FirstDisk {
  std::optional<DiskIdentity> disk;  // empty when no path found one
  DiskProbe sda = DiskProbe::kAnswered;
  Status sdaProbe;  // failed when /dev/sda gave no identity
};

// /dev/sda, else the first disk of /sys.
FirstDisk ProbeFirstDisk();
