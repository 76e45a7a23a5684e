#include "scan/scan_format.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
namespace fs = std::filesystem;

TEST(ScanFormat, HeaderMatchesTheReferenceBytes) {
  std::ifstream in(SCANUNIX_TEST_DATA "/header.xml", std::ios::binary);
  ASSERT_TRUE(in.is_open());
  std::stringstream expected;
  expected << in.rdbuf();
  std::ostringstream out;
  WriteDocumentHeader(out);
  EXPECT_EQ(out.str(), expected.str());
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

class ExtraDataFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/extra_test.XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string CopyOf(const fs::path& p) {
    std::ostringstream out;
    CopyExtraDataFile(out, p.string());
    return out.str();
  }
  fs::path dir_;
};

TEST_F(ExtraDataFile, CopiedByteForByte) {
  std::ofstream(dir_ / "three", std::ios::binary).write("a\0b", 3);
  EXPECT_EQ(CopyOf(dir_ / "three"), std::string("a\0b", 3));
  std::string big(200000, 'q');
  big += "<Custom/>";
  std::ofstream(dir_ / "big", std::ios::binary) << big;
  EXPECT_EQ(CopyOf(dir_ / "big"), big);
}

TEST_F(ExtraDataFile, AbsentEmptyOrSpecialGivesNothing) {
  EXPECT_EQ(CopyOf(dir_ / "absent"), "");
  std::ofstream(dir_ / "empty");
  EXPECT_EQ(CopyOf(dir_ / "empty"), "");
  EXPECT_EQ(CopyOf(dir_), "");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(CopyOf(dir_ / "fifo"), "");  // and does not block
}

}  // namespace
