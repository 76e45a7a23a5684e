#include "host/disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "temp_dir.h"

namespace {

TEST(DriveIdentity, FieldsKeepPaddingAndTheSizeIsWhole) {
  std::array<unsigned char, 512> record{};
  std::memcpy(record.data() + 20, "Z1X2                ", 20);
  std::memcpy(record.data() + 54, "ST1000 & Co                             ", 40);
  const DiskIdentity disk = ParseDriveIdentity(record);
  EXPECT_EQ(disk.model, "ST1000 & Co" + std::string(29, ' '));
  EXPECT_EQ(disk.serial, "Z1X2" + std::string(16, ' '));
  const struct {
    uint16_t word83;  // 0x4400: valid, 48-bit addresses
    uint64_t lba28, lba48, sectors;
  } cases[] = {
      {0x4400, 0x0FFFFFFF, 15628053168, 15628053168},  // 8 TB: past 32 bits
      {0x4400, 1000, 0, 1000},
      {0x4000, 1000, 5000, 1000},  // no 48-bit addresses
      {0xC400, 1000, 5000, 1000},  // word 83 not valid
  };
  for (const auto& c : cases) {
    const auto words = [&](size_t first, size_t count, uint64_t value) {
      for (size_t i = 0; i < count; ++i, value >>= 16) {
        const auto word = static_cast<uint16_t>(value);
        std::memcpy(record.data() + 2 * (first + i), &word, sizeof word);
      }
    };
    words(83, 1, c.word83), words(60, 2, c.lba28), words(100, 4, c.lba48);
    EXPECT_EQ(ParseDriveIdentity(record).sectors, c.sectors) << c.lba48;
  }
}

// A disk under /sys/devices: parent path, name, size, removable, other files.
struct SysDisk {
  std::string parent, name, size, removable;
  std::vector<std::pair<std::string, std::string>> files;
};

TEST(SysfsDisk, FirstRealDiskInNameOrder) {
  const SysDisk loop{"virtual", "loop0", "2048", "0", {}};
  const SysDisk nvme{"pci0000:00/0000:00:04.0/nvme/nvme0", "nvme0n1", "1953525168", "0",
                     {{"device/model", "Samsung SSD 980 PRO 1TB                 \n"},
                      {"device/serial", "S5GXNF0R123456  \n"}}};
  const SysDisk vda{"pci0000:00/0000:00:02.0/virtio1", "vda", "536870912", "0",
                    {{"serial", "vol-0a1b \n"}}};
  const SysDisk usb{"pci0000:00/usb1/1-1/host6/target6:0:0/6:0:0:0", "sda", "60062500", "1",
                    {{"device/model", "Flash Disk      \n"}}};
  const SysDisk card{"platform/mmc0/mmc0:0001", "mmcblk0", "0", "0", {}};
  const struct {
    std::vector<SysDisk> disks;
    std::string model, serial;
    uint64_t sectors;  // 0: no disk found
  } cases[] = {
      {{loop, card, usb}, "", "", 0},
      {{vda, loop}, "", "vol-0a1b", 536870912},
      {{vda, nvme, loop}, "Samsung SSD 980 PRO 1TB", "S5GXNF0R123456", 1953525168},
  };
  for (const auto& [disks, model, serial, sectors] : cases) {
    SCOPED_TRACE(testing::Message() << disks.size() << " disks, the first " << disks[0].name);
    scanunix_test::TempDir sys;
    sys.Dir("block");
    for (const SysDisk& d : disks) {
      const std::string dir = "devices/" + d.parent + "/block/" + d.name + "/";
      sys.Write(dir + "size", d.size + "\n");
      sys.Write(dir + "removable", d.removable + "\n");
      for (const auto& [file, content] : d.files) sys.Write(dir + file, content);
      std::filesystem::create_symlink("../" + dir, sys / ("block/" + d.name));
    }
    const auto disk = FindFirstDiskInSysfs(sys.path());
    ASSERT_EQ(disk.has_value(), sectors != 0);
    if (!disk) continue;
    EXPECT_EQ(disk->model, model);
    EXPECT_EQ(disk->serial, serial);
    EXPECT_EQ(disk->sectors, sectors);
  }
  EXPECT_FALSE(FindFirstDiskInSysfs("/nonexistent"));
}

}  // namespace
