#include "software/package_scan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using scanunix_test::TempDir;

struct Scan { std::string out, progress; };

Scan ScanWith(const PackageScanOptions& options, int level = Log::kDisplay) {
  setenv("TZ", "UTC", 1);
  tzset();
  std::ostringstream out, progress, errors;
  DocumentWriter document(out);
  Log log(level, progress, errors);
  ScanPackages(options, document, log);
  return {out.str(), progress.str()};
}

TEST(PackageScan, LibraryForTheMachineWidthWithProgressDisplay) {
  TempDir dir;
  fs::create_symlink(FAKE_RPM_TDGET_PATH, dir.Dir("lib") / "librpm.so");
  fs::create_symlink(FAKE_RPM_DB_PATH, dir.Dir("lib64") / "librpm.so");
  PackageScanOptions options;
  options.libraryPaths = {(dir / "absent.so").string(), (dir / "lib%s/librpm.so").string()};
  options.is64Bit = true;
  const Scan scan = ScanWith(options);
  EXPECT_TRUE(scan.out.starts_with(
      "\t<Msi>\r\n\t\t<Installed ProductName=\"alpha\" VersionString=\"1.0\" "
      "HelpLink=\"http://example.com/?a=&quot;1&quot;\" InstallLocation=\"System/Base\" "
      "InstallSource=\"alpha-1.0-1.src.rpm\" InstallDate=\"14.11.2023 22:13:20\" "
      "Publisher=\"Acme &amp; Sons &lt;dev&gt;\" UseCount=\"\" LastUsed=\"\" "
      "UserName=\"Pat\" OrgName=\"\" Serial=\"\" />\r\n")) << scan.out;
  // gamma last: no command ran. Only the database library gives it the time 0.
  EXPECT_TRUE(scan.out.ends_with("InstallDate=\"01.01.1970 00:00:00\" Publisher=\"Vendor\" "
                                 "UseCount=\"\" LastUsed=\"\" UserName=\"\" OrgName=\"\" "
                                 "Serial=\"\" />\r\n\t</Msi>\r\n")) << scan.out;
  EXPECT_EQ(scan.progress, "\n\r00000001 alpha" + std::string(65, ' ') + "\r00000002 beta" +
                               std::string(66, ' ') + "\r00000003 gamma" + std::string(65, ' '));

  options.is64Bit = false;
  const Scan logged = ScanWith(options, Log::kMessages);
  EXPECT_EQ(logged.out.find("01.01.1970"), std::string::npos);
  EXPECT_EQ(logged.progress, "Scan RPM\n\n");
}

TEST(PackageScan, CommandsOnlyThroughAFreshListFile) {
  TempDir dir;
  fs::permissions(dir.Write("bin/dpkg-query", "#!/bin/sh\necho 'tool|||3.1|||s|||m|||h'\n"), fs::perms::owner_all);
  const std::string path = getenv("PATH");
  setenv("PATH", (dir / "bin").string().append(":").append(path).c_str(), 1);
  PackageScanOptions options;
  options.libraryPaths = {FAKE_RPM_EMPTY_PATH};
  // A folder that is not empty holds the path: no command is tried, so no
  // fallback is announced either.
  options.listFile = dir.Dir("occupied/sub").parent_path().string();
  const Scan none = ScanWith(options);
  EXPECT_EQ(none.out, "\t<Msi>\r\n\t</Msi>\r\n");
  EXPECT_EQ(none.progress, "\n");

  options.listFile = (dir / "packages.txt").string();
  const Scan scan = ScanWith(options);
  setenv("PATH", path.c_str(), 1);
  EXPECT_NE(scan.out.find("\t<Msi>\r\n\t\t<Installed ProductName=\"tool\" VersionString=\"3.1\" "),
            std::string::npos);
  EXPECT_EQ(scan.progress, "\n");
  EXPECT_FALSE(fs::exists(options.listFile));
}

}  // namespace
