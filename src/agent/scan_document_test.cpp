#include "agent/scan_document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "temp_dir.h"

namespace {

using scanunix_test::ReadFile;
using scanunix_test::TempDir;

// What `write` writes through a DocumentWriter.
template <typename Write>
std::string Written(Write write) {
  std::ostringstream out;
  DocumentWriter document(out);
  write(document);
  return out.str();
}

TEST(ScanDocument, HeaderMatchesTheReferenceBytes) {
  EXPECT_EQ(Written(WriteDocumentHeader), ReadFile(SCANUNIX_TEST_DATA "/header.xml"));
}

SystemInfo SampleInfo() {
  SystemInfo info;
  info.computerName = "web01";
  info.scanDate = "05. 12. 2026 14:03:09";
  info.scanDuration = "00:01:02";
  info.userName = "root";
  info.domainName = "corp";
  info.system = "Debian GNU/Linux 12 (bookworm)";
  info.kernelRelease = "6.1.0-18-amd64";
  info.compileInfo = "#1 SMP";
  info.language = "en_US";
  info.macAddress = "000C29A1B2C3";
  info.ipAddress = "192.168.10.21";
  info.physicalCpuCount = "4";
  info.logicalCpuCount = "2";
  info.hypervisor = "KVMKVMKVM";
  return info;
}

TEST(ScanDocument, SystemInfoStartTagHasItsAttributesInOrder) {
  EXPECT_EQ(Written([](DocumentWriter& d) { WriteSystemInfoStart(d, SampleInfo()); }),
            "<SystemInfo ComputerName=\"web01\" ComputerUid=\"\" ScanDate=\"05. 12. 2026 "
            "14:03:09\" ScanDuration=\"00:01:02\" UserName=\"root\" DomainName=\"corp\" "
            "PlatformID=\"0\" MajorVersion=\"0\" MinorVersion=\"0\" BuildNumberHigh=\"0\" "
            "BuildNumberLow=\"0\" ProductType=\"UNIX\" ProductID=\"\" System=\"Debian "
            "GNU/Linux 12 (bookworm)\" CSDVersion=\"6.1.0-18-amd64\" CompileInfo=\"#1 SMP\" "
            "LanguageID=\"en_US\" MACAddress=\"000C29A1B2C3\" IPAddress=\"192.168.10.21\" "
            "PhysicalCpuCount=\"4\" LogicalCpuCount=\"2\" Virtual=\"KVMKVMKVM\">\r\n");
}

TEST(ScanDocument, EveryValueIsEscaped) {
  SystemInfo info = SampleInfo();
  info.computerName = "a&b";
  info.system = "\"Fedora\" <40>";
  info.logicalCpuCount = "2\"";
  info.hypervisor = std::string("Xen\x01<", 5);
  const std::string tag = Written([&](DocumentWriter& d) { WriteSystemInfoStart(d, info); });
  for (const char* escaped : {"ComputerName=\"a&amp;b\" ", " System=\"&quot;Fedora&quot; &lt;40&gt;\" ",
                              " LogicalCpuCount=\"2&quot;\" ", " Virtual=\"Xen?&lt;\">"})
    EXPECT_NE(tag.find(escaped), std::string::npos) << escaped;
}

TEST(ScanDocument, HardwareInfoWithAndWithoutADisk) {
  HardwareFacts hardware;
  hardware.cpu = {"2", "AMD & Co", "2596.120", "2"};
  hardware.memTotal = "24684";
  EXPECT_EQ(Written([&](DocumentWriter& d) { WriteHardwareInfo(d, hardware); }),
            "<HardwareInfo TotalMemory=\"24684\" ProcessorFrequency=\"2596.120\" "
            "ProcessorType=\"AMD &amp; Co\">\r\n</HardwareInfo>\r\n");
  hardware = HardwareFacts();
  hardware.disk = DiskIdentity{"Model \"X\" ", "SN1", 8589934592};  // 4 TiB
  EXPECT_EQ(Written([&](DocumentWriter& d) { WriteHardwareInfo(d, hardware); }),
            "<HardwareInfo TotalMemory=\"\" ProcessorFrequency=\"\" ProcessorType=\"\">\r\n"
            "\t<Harddisks>\r\n"
            "\t\t<IDE Pos=\"Primary\" Model=\"Model &quot;X&quot; \" Revision=\"\" "
            "Size=\"8589934592\" Cache=\"\" Geometry=\"\" Serial=\"SN1\"/>\r\n"
            "\t</Harddisks>\r\n"
            "</HardwareInfo>\r\n");
}

std::string CopyOf(const std::filesystem::path& p) {
  return Written([&](DocumentWriter& d) { CopyExtraDataFile(d, p.string()); });
}

TEST(ExtraDataFile, CopiedByteForByteWhenARegularFile) {
  TempDir dir;
  EXPECT_EQ(CopyOf(dir.Write("three", std::string("a\0b", 3))), std::string("a\0b", 3));
  const std::string big = std::string(200000, 'q') + "<Custom/>";
  EXPECT_EQ(CopyOf(dir.Write("big", big)), big);
  EXPECT_EQ(CopyOf(dir / "absent"), "");
  EXPECT_EQ(CopyOf(dir.Write("empty", "")), "");
  EXPECT_EQ(CopyOf(dir.path()), "");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(CopyOf(dir / "fifo"), "");  // and does not block
}

}  // namespace
