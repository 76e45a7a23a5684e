#include "agent/run_steps.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <sstream>

#include "scan_text.h"
#include "software/package_record.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using scanunix_test::ExpectInstalled;
using scanunix_test::ReadFile;
using scanunix_test::TempDir;

struct Scan { std::string out, progress, errors, logFile; };

Scan ScanWith(PackageScanOptions options, int level = Log::kDisplay) {
  setenv("TZ", "UTC", 1);
  tzset();
  TempDir logDir;
  std::ostringstream out, progress, errors;
  DocumentWriter document(out);
  Log log(level, progress, errors);
  log.SetFile((logDir / "log").string());
  options.spoolDirectory = logDir.path().string();
  RunPackageScan(options, document, log);
  return {out.str(), progress.str(), errors.str(), ReadFile(logDir / "log")};
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
  // Only the library's packages: no command ran. Only the database library (lib64)
  // gives gamma the time 0.
  ExpectInstalled(scan.out, {"ProductName", "InstallDate"},
                  "alpha|14.11.2023 22:13:20|\nbeta||\ngamma|01.01.1970 00:00:00|\n");
  EXPECT_EQ(scan.progress, "\n\r00000001 alpha" + std::string(65, ' ') + "\r00000002 beta" +
                               std::string(66, ' ') + "\r00000003 gamma" + std::string(65, ' '));

  options.is64Bit = false;
  const Scan logged = ScanWith(options, Log::kMessages);
  EXPECT_EQ(logged.out.find("01.01.1970"), std::string::npos);
  EXPECT_EQ(logged.progress, "Scan RPM\n\n");
}

using Tool = std::optional<std::pair<std::string, int>>;  // output and exit status, or absent

TEST(PackageScan, CommandsInTurnFromTheirDirectoryOnly) {
  const std::string query =
      "dpkg-query -W "
      "-f=${Status}|||${Package}|||${Version}|||${Section}|||${Maintainer}|||${Homepage}\\n\n";
  const std::string dpkg = "dpkg -l\n";
  const std::string rpm =
      "rpm -qa --queryformat %{NAME}|||%{VERSION}|||%{GROUP}|||%{VENDOR}|||%{URL}\\n\n";
  const std::string table =
      "Desired=Unknown/Install/Remove/Purge/Hold\n||/ Name    Version  Arch Description\n"
      "+++-=======-========-====-===========\nii  zlib1g  1:1.2.13 all  z <lib>\n"
      "rc  gone    0.1      all\nhi  held&co 2.0\nii  x\n\n";
  const Tool fails = std::pair{"install ok installed|||half|||written\n", 1};
  const struct {
    Tool query, dpkg, rpm;
    std::string calls;  // each command run, with its arguments
    scanunix_test::Rows rows;  // name, version, link, location, publisher
  } cases[] = {
      // Installed and held packages only, not removed or half-installed ones.
      {std::pair{"install ok installed|||bash|||5.2-15|||shells|||Matthias <m@x.org>|||"
                 "http://bash\ndeinstall ok config-files|||gone|||1|||s|||m|||h\n"
                 "install reinstreq half-installed|||broken|||1\n"
                 "hold ok installed|||a&b|||1\"2|||||||||\ninstall ok installed|||lonely\n"
                 "unknown|||odd\nno status\n"
                 "install ok installed|||x|||1|||s|||m|||h|||more\n"
                 "install ok installed|||tail-without-feed|||9", 0},
       std::nullopt, std::nullopt, query,
       {{"bash", "5.2-15", "http://bash", "shells", "Matthias &lt;m@x.org&gt;"},
        {"a&amp;b", "1&quot;2", "", "", ""},
        {"lonely", "", "", "", ""},
        {"x", "1", "h|||more", "s", "m"}}},
      // A failing command adds nothing; dpkg -l read by the columns of its header line.
      {fails, std::pair{table, 0}, std::nullopt, query + dpkg,
       {{"zlib1g", "1:1.2.13", "z &lt;lib&gt;", "", "SYS"},
        {"held&amp;co", "2.0", "", "", "SYS"},
        {"x", "", "", "", "SYS"}}},
      // An empty list is an answer.
      {std::nullopt, std::pair{"ii  add 3.1 all no header, no packages\n", 0}, fails, dpkg, {}},
      {std::nullopt, fails,
       std::pair{"kernel|||6.1|||System/Kernel|||Fedora <f>|||https://k\n", 0}, dpkg + rpm,
       {{"kernel", "6.1", "https://k", "System/Kernel", "Fedora &lt;f&gt;"}}},
      {fails, fails, std::pair{"", 127}, query + dpkg + rpm, {}},
  };
  TempDir bin;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.calls);
    for (const auto& [name, tool] :
         {std::pair{"dpkg-query", c.query}, {"dpkg", c.dpkg}, {"rpm", c.rpm}}) {
      fs::remove(bin / name);
      if (!tool) continue;
      // Builtins only: nothing else is on the path the command gets.
      const std::string script = "#!/bin/sh\nprintf '%s\\n' \"" + std::string(name) + " $*\" >>'" +
                                 (bin / "calls").string() + "'\nprintf '%s' '" + tool->first +
                                 "'\nexit " + std::to_string(tool->second) + "\n";
      fs::permissions(bin.Write(name, script), fs::perms::owner_all);
    }
    fs::remove(bin / "calls");
    PackageScanOptions options;
    options.libraryPaths = {FAKE_RPM_NO_DB_PATH};
    options.system = "SYS";
    options.commandPath = bin.path().string();
    const Scan scan = ScanWith(options);
    const std::vector<std::string> names = {"ProductName", "VersionString", "HelpLink",
                                            "InstallLocation", "Publisher"};
    scanunix_test::ExpectRows(scanunix_test::InstalledRows(scan.out, names), c.rows, names);
    EXPECT_EQ(ReadFile(bin / "calls"), c.calls);
    const auto succeeds = [](const Tool& tool) { return tool && tool->second == 0; };
    const bool rpmTried = !succeeds(c.query) && !succeeds(c.dpkg);
    EXPECT_EQ(scan.progress,
              rpmTried ? "\ndpkg failed, using rpm to get list of installed packages..\n" : "\n");
    const std::string noList = rpmTried && !succeeds(c.rpm)
                                   ? "No package list: dpkg-query, dpkg -l and rpm -qa all failed\n"
                                   : "";
    EXPECT_EQ(scan.errors + scan.logFile, noList + noList);
  }
}

// The listing runs in a child: a library that crashes half-way counts as
// none (its rows so far are dropped), and at the deadline whatever runs is
// killed, its whole process group with it, and the element stays empty.
TEST(PackageScan, CrashingLibraryAndTheDeadline) {
  TempDir bin;
  const std::string pidFile = (bin / "pid").string();
  fs::permissions(bin.Write("dpkg-query", "#!/bin/sh\nprintf 'install ok installed|||cmd|||1\\n'\n"),
                  fs::perms::owner_all);
  const struct {
    const char* library;
    std::string query;  // dpkg-query's script; empty: the one that lists "cmd"
    std::string rows, failure;
  } cases[] = {
      {FAKE_RPM_CRASH_PATH, "", "cmd|\n", ""},
      {FAKE_RPM_HANG_PATH, "", "", "not finished within the deadline of 1500 ms"},
      {FAKE_RPM_NO_DB_PATH, "#!/bin/sh\necho $$ >" + pidFile + "\n/bin/sleep 1000\n", "",
       "not finished within the deadline of 1500 ms"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library + c.query);
    if (!c.query.empty()) fs::permissions(bin.Write("dpkg-query", c.query), fs::perms::owner_all);
    PackageScanOptions options;
    options.libraryPaths = {c.library};
    options.commandPath = bin.path().string();
    options.deadline = std::chrono::milliseconds(1500);
    const Scan scan = ScanWith(options, Log::kMessages);
    EXPECT_EQ(scan.errors.find(c.failure) != std::string::npos, true) << scan.errors;
    EXPECT_EQ(scan.errors.empty(), c.failure.empty()) << scan.errors;
    // Never a partial list: the element is empty when the listing failed.
    ExpectInstalled(scan.out, {"ProductName"}, c.rows);
  }
  // The hanging command's shell and its sleep went with the group.
  const std::string pid = ReadFile(bin / "pid");
  ASSERT_FALSE(pid.empty());
  const std::string stat = ReadFile("/proc/" + pid.substr(0, pid.size() - 1) + "/stat");
  EXPECT_TRUE(stat.empty() || stat.find(") Z ") != std::string::npos) << stat;
}

TEST(PackageScan, SnapAndFlatpakApplicationsAfterThePackages) {
  const std::string snaps =
      "Name     Version  Rev  Tracking       Publisher    Notes\n"
      "firefox  127.0-1  4451 latest/stable  mozilla**    -\n";
  const struct {
    std::string snap, flatpak;  // the fake tools' scripts
    std::string rows, errors;
  } cases[] = {
      {"printf '" + snaps + "'", "printf 'org.gnome.Loupe\\t46.2\\tfedora\\n'",
       "bash||||\nfirefox|127.0-1|snap|mozilla|\norg.gnome.Loupe|46.2|flatpak|fedora|\n", ""},
      // Half a list and an error, a hang: nothing of either, a line for each.
      {"printf '" + snaps + "'; echo 'error: cannot communicate' >&2; exit 1",
       "echo org.x.Half; exec /bin/sleep 30", "bash||||\n",
       "snap list: failed, no applications listed\nflatpak list: failed, no applications listed\n"},
  };
  TempDir bin;
  fs::permissions(bin.Write("dpkg-query", "#!/bin/sh\necho 'install ok installed|||bash'\n"),
                  fs::perms::owner_all);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.snap + c.flatpak);
    for (const auto& [name, script] : {std::pair{"snap", c.snap}, {"flatpak", c.flatpak}})
      fs::permissions(bin.Write(name, "#!/bin/sh\n" + script + "\n"), fs::perms::owner_all);
    PackageScanOptions options;
    options.libraryPaths = {FAKE_RPM_NO_DB_PATH};
    options.commandPath = bin.path().string();
    options.applicationListWait = std::chrono::milliseconds(500);
    const Scan scan = ScanWith(options);
    ExpectInstalled(scan.out, {"ProductName", "VersionString", "InstallLocation", "Publisher"},
                    c.rows);
    EXPECT_EQ(scan.errors, c.errors);
    EXPECT_EQ(scan.logFile, c.errors);
  }
}

}  // namespace
