#include "agent/run_plan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(RunPlan, SettingsFileArgument) {
  EXPECT_TRUE(NamesSettingsFile("site.INI"));
  EXPECT_TRUE(NamesSettingsFile("a.Ini"));
  EXPECT_TRUE(NamesSettingsFile("/etc/x.ini"));
  EXPECT_FALSE(NamesSettingsFile(".ini"));
  EXPECT_FALSE(NamesSettingsFile("x.ini.bak"));
  EXPECT_FALSE(NamesSettingsFile("/home"));
}

TEST(RunPlan, ScanRoot) {
  EXPECT_EQ(ScanRootFromArguments({}), "/");
  EXPECT_EQ(ScanRootFromArguments({"site.INI"}), "/");
  EXPECT_EQ(ScanRootFromArguments({"/home"}), "/home");
  EXPECT_EQ(ScanRootFromArguments({".ini"}), ".ini");
  EXPECT_EQ(ScanRootFromArguments({"/a", "/b"}), "/b");
  EXPECT_EQ(ScanRootFromArguments({"x.ini", "/usr", "/ignored"}), "/usr");
}

TEST(RunPlan, ModuleDirectory) {
  EXPECT_EQ(ModuleDirectoryFrom("/opt/scan/scanunix"), "/opt/scan/");
  EXPECT_EQ(ModuleDirectoryFrom(""), "./");
  // The link target is cut at 255 bytes, as the module path always was.
  const std::string deep = "/" + std::string(300, 'd') + "/scanunix";
  EXPECT_EQ(ModuleDirectoryFrom(deep), "/");
  const std::string fits = "/" + std::string(200, 'd') + "/" + std::string(60, 'f');
  EXPECT_EQ(ModuleDirectoryFrom(fits), "/" + std::string(200, 'd') + "/");
}

TEST(RunPlan, OutputNames) {
  auto names = MakeOutputNames("/opt/scan", "/usr/sbin/", "web01", "000C29A1B2C3");
  EXPECT_EQ(names.scanFile, "/opt/scan/web01_000C29A1B2C3.scn");
  EXPECT_EQ(names.logFile, "/opt/scan/web01.log");
  EXPECT_EQ(MakeOutputNames("/var/scan/", "", "web01", "").scanFile, "/var/scan/web01.scn");
  EXPECT_EQ(MakeOutputNames("/var/scan", "", "web01", "").scanFile, "/var/scan/web01.scn");
  EXPECT_EQ(MakeOutputNames("", "/usr/sbin/", "a&b", "").logFile, "/usr/sbin/a&amp;b.log");
}

TEST(RunPlan, Times) {
  EXPECT_EQ(FormatScanDuration(3725), "01:02:05");
  EXPECT_EQ(FormatScanDuration(27 * 3600 + 46 * 60 + 40), "27:46:40");
  EXPECT_EQ(FormatScanDuration(0), "00:00:00");
  EXPECT_EQ(FormatScanDuration(-5), "00:00:00");
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(FormatScanDate(1733497389), "06. 12. 2024 15:03:09");
}

}  // namespace
