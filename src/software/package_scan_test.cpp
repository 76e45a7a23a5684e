#include "software/package_scan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "software/test_support.h"

namespace {

namespace fs = std::filesystem;
using software_test::TempDir;
using software_test::WriteFile;

class PackageScan : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    options_.listFile = (dir_ / "packages.txt").string();
    // Package commands found here come before the host's own.
    fs::create_directories(dir_ / "bin");
    const char* path = getenv("PATH");
    savedPath_ = path ? path : "";
    setenv("PATH", ((dir_ / "bin").string() + ":" + savedPath_).c_str(), 1);
  }
  void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

  void FakeCommand(const std::string& name, const std::string& body) {
    const fs::path script = dir_ / "bin" / name;
    WriteFile(script, "#!/bin/sh\n" + body);
    fs::permissions(script, fs::perms::owner_all);
  }

  std::string Scan() {
    std::ostringstream out;
    ScanPackages(options_, out, progress_, counter_);
    return out.str();
  }

  TempDir dir_;
  PackageScanOptions options_;
  std::ostringstream progress_;
  std::uint32_t counter_ = 0;
  std::string savedPath_;
};

TEST_F(PackageScan, LibraryPackagesWithProgressDisplay) {
  options_.libraryPaths = {(dir_ / "absent.so").string(), FAKE_RPM_DB_PATH};
  FakeCommand("dpkg-query", "touch '" + (dir_ / "ran").string() + "'\n");
  counter_ = 41;
  EXPECT_EQ(Scan(),
            "\t<Msi>\r\n"
            "\t\t<Installed ProductName=\"alpha\" VersionString=\"1.0\" "
            "HelpLink=\"http://example.com/?a=&quot;1&quot;\" InstallLocation=\"System/Base\" "
            "InstallSource=\"alpha-1.0-1.src.rpm\" InstallDate=\"14.11.2023 22:13:20\" "
            "Publisher=\"Acme &amp; Sons &lt;dev&gt;\" UseCount=\"\" LastUsed=\"\" "
            "UserName=\"Pat\" OrgName=\"\" Serial=\"\" />\r\n"
            "\t\t<Installed ProductName=\"beta\" VersionString=\"2.5\" HelpLink=\"\" "
            "InstallLocation=\"\" InstallSource=\"\" InstallDate=\"\" Publisher=\"\" "
            "UseCount=\"\" LastUsed=\"\" UserName=\"\" OrgName=\"\" Serial=\"\" />\r\n"
            "\t\t<Installed ProductName=\"gamma\" VersionString=\"0.1\" HelpLink=\"\" "
            "InstallLocation=\"Apps/Text\" InstallSource=\"\" InstallDate=\"01.01.1970 00:00:00\" "
            "Publisher=\"Vendor\" UseCount=\"\" LastUsed=\"\" UserName=\"\" OrgName=\"\" "
            "Serial=\"\" />\r\n"
            "\t</Msi>\r\n");
  EXPECT_EQ(progress_.str(), "\n\r00000042 alpha" + std::string(65, ' ') +
                                 "\r00000043 beta" + std::string(66, ' ') +
                                 "\r00000044 gamma" + std::string(65, ' '));
  EXPECT_EQ(counter_, 44u);
  EXPECT_FALSE(fs::exists(dir_ / "ran"));
}

TEST_F(PackageScan, LoggingOnCountsButShowsNoProgress) {
  options_.libraryPaths = {FAKE_RPM_TDGET_PATH};
  options_.logLevel = 1;
  Scan();
  EXPECT_EQ(progress_.str(), "");
  EXPECT_EQ(counter_, 3u);
}

TEST_F(PackageScan, LibraryDirectoryFollowsMachineWidth) {
  fs::create_directories(dir_ / "lib");
  fs::create_directories(dir_ / "lib64");
  fs::create_symlink(FAKE_RPM_TDGET_PATH, dir_ / "lib" / "librpm.so");
  fs::create_symlink(FAKE_RPM_DB_PATH, dir_ / "lib64" / "librpm.so");
  options_.libraryPaths = {(dir_ / "lib%s" / "librpm.so").string()};
  // Only the database library reports the install time 0 of gamma.
  const std::string gammaTime = "InstallDate=\"01.01.1970 00:00:00\"";
  options_.is64Bit = true;
  EXPECT_NE(Scan().find(gammaTime), std::string::npos);
  options_.is64Bit = false;
  EXPECT_EQ(Scan().find(gammaTime), std::string::npos);
}

TEST_F(PackageScan, EmptyLibraryFallsBackToCommands) {
  options_.libraryPaths = {FAKE_RPM_EMPTY_PATH};
  FakeCommand("dpkg-query", "printf 'tool|||3.1|||utils|||Me|||\\n'\n");
  EXPECT_EQ(Scan(),
            "\t<Msi>\r\n"
            "\t\t<Installed ProductName=\"tool\" VersionString=\"3.1\" HelpLink=\"\" "
            "InstallLocation=\"utils\" InstallSource=\"\" InstallDate=\"\" Publisher=\"Me\" "
            "UseCount=\"\" LastUsed=\"\" UserName=\"\" OrgName=\"\" Serial=\"\" />\r\n"
            "\t</Msi>\r\n");
  EXPECT_EQ(counter_, 0u);
  EXPECT_EQ(progress_.str(), "\n");
  EXPECT_FALSE(fs::exists(options_.listFile));
}

TEST_F(PackageScan, ListFileThatCannotBeCreatedRunsNoCommand) {
  // Something that is neither removable nor ours holds the path.
  WriteFile(fs::path(options_.listFile) / "occupied", "x");
  const fs::path marker = dir_ / "ran";
  for (const char* command : {"dpkg-query", "dpkg", "rpm"})
    FakeCommand(command, "touch '" + marker.string() + "'\nexit 1\n");
  EXPECT_EQ(Scan(), "\t<Msi>\r\n\t</Msi>\r\n");
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_TRUE(fs::exists(fs::path(options_.listFile) / "occupied"));
}

}  // namespace
