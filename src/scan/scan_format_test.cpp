#include "scan/scan_format.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "temp_dir.h"

namespace {

using scanunix_test::ReadFile;
using scanunix_test::TempDir;

TEST(ScanFormat, HeaderMatchesTheReferenceBytes) {
  std::ostringstream out;
  WriteDocumentHeader(out);
  EXPECT_EQ(out.str(), ReadFile(SCANUNIX_TEST_DATA "/header.xml"));
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

TEST(ScanFormat, SystemInfoStartTagHasItsAttributesInOrder) {
  std::ostringstream out;
  WriteSystemInfoStart(out, SampleInfo());
  EXPECT_EQ(out.str(),
            "<SystemInfo ComputerName=\"web01\" ComputerUid=\"\" ScanDate=\"05. 12. 2026 "
            "14:03:09\" ScanDuration=\"00:01:02\" UserName=\"root\" DomainName=\"corp\" "
            "PlatformID=\"0\" MajorVersion=\"0\" MinorVersion=\"0\" BuildNumberHigh=\"0\" "
            "BuildNumberLow=\"0\" ProductType=\"UNIX\" ProductID=\"\" System=\"Debian "
            "GNU/Linux 12 (bookworm)\" CSDVersion=\"6.1.0-18-amd64\" CompileInfo=\"#1 SMP\" "
            "LanguageID=\"en_US\" MACAddress=\"000C29A1B2C3\" IPAddress=\"192.168.10.21\" "
            "PhysicalCpuCount=\"4\" LogicalCpuCount=\"2\" Virtual=\"KVMKVMKVM\">\r\n");
}

TEST(ScanFormat, ValuesTheProbesLeaveRawAreEscapedHere) {
  SystemInfo info = SampleInfo();
  info.system = "\"Fedora\" <40>";
  info.language = "a&b";
  info.logicalCpuCount = "2\"";
  info.hypervisor = std::string("Xen\x01<", 5);
  std::ostringstream out;
  WriteSystemInfoStart(out, info);
  EXPECT_NE(out.str().find(" System=\"&quot;Fedora&quot; &lt;40&gt;\" "), std::string::npos);
  EXPECT_NE(out.str().find(" LanguageID=\"a&amp;b\" "), std::string::npos);
  EXPECT_NE(out.str().find(" LogicalCpuCount=\"2&quot;\" "), std::string::npos);
  EXPECT_NE(out.str().find(" Virtual=\"Xen?&lt;\">"), std::string::npos);
}

std::string CopyOf(const std::filesystem::path& p) {
  std::ostringstream out;
  CopyExtraDataFile(out, p.string());
  return out.str();
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
