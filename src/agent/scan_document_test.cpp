#include "agent/scan_document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "temp_dir.h"

namespace {

template <typename Write>
std::string Written(Write write) {
  std::ostringstream out;
  DocumentWriter document(out);
  write(document);
  return out.str();
}

// Every value in its place and escaped; the order and names of the
// attributes are in tests/data/fixed_tree.scn as well.
TEST(ScanDocument, SystemInfoAndHardwareInfoValuesEscaped) {
  const SystemInfo info{"a&b", "05. 12. 2026 14:03:09", "00:01:02", "root", "corp",
                        "\"Fedora\" <40>", "6.1.0", "#1 SMP", "en_US", "000C29A1B2C3",
                        "192.168.10.21", "4", "2\"", std::string("Xen\x01<", 5)};
  EXPECT_EQ(Written([&](DocumentWriter& d) { WriteSystemInfoStart(d, info); }),
            "<SystemInfo ComputerName=\"a&amp;b\" ComputerUid=\"\" ScanDate=\"05. 12. 2026 "
            "14:03:09\" ScanDuration=\"00:01:02\" UserName=\"root\" DomainName=\"corp\" "
            "PlatformID=\"0\" MajorVersion=\"0\" MinorVersion=\"0\" BuildNumberHigh=\"0\" "
            "BuildNumberLow=\"0\" ProductType=\"UNIX\" ProductID=\"\" System=\"&quot;Fedora&quot; "
            "&lt;40&gt;\" CSDVersion=\"6.1.0\" CompileInfo=\"#1 SMP\" LanguageID=\"en_US\" "
            "MACAddress=\"000C29A1B2C3\" IPAddress=\"192.168.10.21\" PhysicalCpuCount=\"4\" "
            "LogicalCpuCount=\"2&quot;\" Virtual=\"Xen?&lt;\">\r\n");
  HardwareFacts hardware;
  hardware.cpu = {"2", "AMD & Co", "2596.120", "2", "", ""};
  hardware.memTotal = "24684";
  hardware.disk = DiskIdentity{"Model \"X\" ", "SN<1>", 8589934592};  // 4 TiB
  EXPECT_EQ(Written([&](DocumentWriter& d) { WriteHardwareInfo(d, hardware); }),
            "<HardwareInfo TotalMemory=\"24684\" ProcessorFrequency=\"2596.120\" "
            "ProcessorType=\"AMD &amp; Co\">\r\n\t<Harddisks>\r\n"
            "\t\t<IDE Pos=\"Primary\" Model=\"Model &quot;X&quot; \" Revision=\"\" "
            "Size=\"8589934592\" Cache=\"\" Geometry=\"\" Serial=\"SN&lt;1&gt;\"/>\r\n"
            "\t</Harddisks>\r\n</HardwareInfo>\r\n");
}

TEST(ExtraDataFile, CopiedByteForByteWhenARegularFile) {
  scanunix_test::TempDir dir;
  const auto copy = [](const std::filesystem::path& p) {
    return Written([&](DocumentWriter& d) { CopyExtraDataFile(d, p.string()); });
  };
  const std::string big = std::string(200000, 'q') + std::string("\0<Custom/>", 10);
  EXPECT_EQ(copy(dir.Write("big", big)), big);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  for (const auto& empty : {dir / "absent", dir.Write("empty", ""), dir.path(), dir / "fifo"})
    EXPECT_EQ(copy(empty), "") << empty;  // a fifo does not block
}

}  // namespace
