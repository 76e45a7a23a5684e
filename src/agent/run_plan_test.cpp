#include "agent/run_plan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(RunPlan, ArgumentsAndModuleDirectory) {
  for (const char* name : {"site.INI", "a.Ini", "/etc/x.ini"}) EXPECT_TRUE(NamesSettingsFile(name));
  for (const char* name : {".ini", "x.ini.bak", "/home"}) EXPECT_FALSE(NamesSettingsFile(name));
  const std::pair<std::vector<std::string>, std::string> roots[] = {
      {{}, "/"}, {{"site.INI"}, "/"}, {{"/home"}, "/home"}, {{".ini"}, ".ini"},
      {{"/a", "/b"}, "/b"}, {{"x.ini", "/usr", "/ignored"}, "/usr"}};
  for (const auto& [arguments, root] : roots) EXPECT_EQ(ScanRootFromArguments(arguments), root);
  EXPECT_EQ(ModuleDirectoryFrom("/opt/scan/scanunix"), "/opt/scan/");
  EXPECT_EQ(ModuleDirectoryFrom(""), "./");
  // The link target is cut at 255 bytes, as the module path always was.
  EXPECT_EQ(ModuleDirectoryFrom("/" + std::string(300, 'd') + "/scanunix"), "/");
  EXPECT_EQ(ModuleDirectoryFrom("/" + std::string(200, 'd') + "/" + std::string(60, 'f')),
            "/" + std::string(200, 'd') + "/");
}

TEST(RunPlan, OutputNamesAndTimes) {
  const auto names = MakeOutputNames("/opt/scan", "/usr/sbin/", "web01", "000C29A1B2C3");
  EXPECT_EQ(names.scanFile + " " + names.logFile,
            "/opt/scan/web01_000C29A1B2C3.scn /opt/scan/web01.log");
  EXPECT_EQ(MakeOutputNames("/var/scan/", "", "web01", "").scanFile, "/var/scan/web01.scn");
  EXPECT_EQ(MakeOutputNames("", "/usr/sbin/", "a&b", "").logFile, "/usr/sbin/a&amp;b.log");
  EXPECT_EQ(FormatScanDuration(27 * 3600 + 46 * 60 + 5), "27:46:05");
  EXPECT_EQ(FormatScanDuration(-5), "00:00:00");
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(FormatScanDate(1733497389), "06. 12. 2024 15:03:09");
}

}  // namespace
