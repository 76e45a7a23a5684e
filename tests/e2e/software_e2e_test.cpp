// The software inventory in the built agent on this host: the packages
// dpkg-query reports as installed, whatever PATH the agent is given, and
// the host's RPM library reading a private database.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "agent_runner.h"

namespace e2e {
namespace {

using scanunix_test::InstalledRows;

// The scan file of a run with the package and shortcut scans on. A link
// planted at the list file of earlier versions is left as it is.
std::string ScanPackages(const std::map<std::string, std::string>& env) {
  TempDir out;
  fs::create_symlink(out.Write("victim", "keep me\n"), "/tmp/packages.txt");
  out.Write("s.ini", "[Settings]\nFiles=0\nOutputFolder=" + out.path().string() + "\n");
  const AgentResult r = RunAgent({(out / "s.ini").string()}, env);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.find("dpkg failed"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(out / "victim"), "keep me\n");
  EXPECT_TRUE(fs::is_symlink("/tmp/packages.txt"));
  fs::remove("/tmp/packages.txt");
  const std::string doc = ReadFile(FindScanFile(out.path()));
  EXPECT_NE(doc.find("\t<RegSWFiles></RegSWFiles>\r\n\t<Msi>\r\n"), std::string::npos);
  EXPECT_NE(doc.find("\t</Msi>\r\n\t<Shortcuts>\r\n"), std::string::npos);
  EXPECT_NE(doc.find("\t</Shortcuts>\r\n</SystemInfo>\r\n"), std::string::npos);
  return doc;
}

TEST(SoftwareE2E, InstalledPackagesOfDpkgQueryFromTheStandardPathWithoutAnRpmDatabase) {
  if (!fs::exists("/usr/bin/dpkg-query")) GTEST_SKIP() << "no dpkg-query on this host";
  const std::string installed =
      e2e::Run("/bin/sh", {"-c", "/usr/bin/dpkg-query -W -f='${db:Status-Abbrev}|${Package}|"
                                 "${Version}|\\n' | sed -n 's/^[hi]i |//p'"}).out;
  // A dpkg-query first on the caller's PATH is not the one the agent runs;
  // the host's RPM library finds no database under HOME and creates none.
  TempDir home, bin;
  fs::permissions(bin.Write("dpkg-query", "#!/bin/sh\necho 'install ok installed|||fake'\n"),
                  fs::perms::owner_all);
  const std::string doc = ScanPackages(
      {{"HOME", home.path().string()}, {"PATH", bin.path().string() + ":/usr/bin:/bin"}});
  scanunix_test::ExpectInstalled(doc, {"ProductName", "VersionString"}, installed);
  EXPECT_TRUE(fs::is_empty(home.path()));
}

// Fake tools laid over the first directory of the agent's fixed PATH, in a
// private mount namespace. Failing tools: PackageScan.SnapAndFlatpakApplicationsAfterThePackages.
TEST(SoftwareE2E, SnapAndFlatpakApplicationsFromTheFixedPathAfterThePackages) {
  const std::string longVersion(5000, '7');
  TempDir bin, out;
  const auto tool = [&bin](const std::string& name, const std::string& output) {
    fs::permissions(bin.Write(name, "#!/bin/sh\nprintf '" + output + "'\n"), fs::perms::owner_all);
  };
  tool("snap", "Name  Version  Rev  Tracking  Publisher  Notes\\nfirefox  " + longVersion +
                   "  1  -  mozilla\u2713  -\\n");
  tool("flatpak", "org.example.Fire\\t1.0\\tcorp&lab\\n");
  out.Write("s.ini",
            "[Settings]\nFiles=0\nShortcuts=0\nOutputFolder=" + out.path().string() + "\n");
  const AgentResult r = e2e::Run(
      "/usr/bin/unshare", {"-m", "/bin/sh", "-ec",
                           "mount --bind " + bin.path().string() + " /usr/local/bin\n"
                           "exec \"$0\" \"$@\"", AgentPath().string(), (out / "s.ini").string()});
  if (r.exitStatus != 0 && r.err.find("mount") != std::string::npos)
    GTEST_SKIP() << "cannot bind-mount over /usr/local/bin here: " << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> names = {"ProductName", "VersionString", "InstallLocation",
                                          "Publisher"};
  scanunix_test::Rows rows = InstalledRows(ReadFile(FindScanFile(out.path())), names);
  // The host's packages first; the applications last, and only they from a list.
  rows.erase(rows.begin(), std::find_if(rows.begin(), rows.end(), [](const auto& row) {
               return row[2] == "snap" || row[2] == "flatpak";
             }));
  scanunix_test::ExpectRows(rows,
                            scanunix_test::RowsFrom("firefox|" + longVersion + "|snap|mozilla|\n"
                                                    "org.example.Fire|1.0|flatpak|corp&amp;lab|\n"),
                            names);
}

TEST(SoftwareE2E, RpmLibraryOfTheHostReadsAPrivateDatabase) {
  if (!fs::exists("/usr/bin/rpmbuild")) GTEST_SKIP() << "no rpmbuild on this host";
  TempDir rpm;
  const std::string top = (rpm / "top").string();
  rpm.Write("home/.rpmmacros", "%_dbpath " + (rpm / "db").string() + "\n%_topdir " + top + "\n");
  rpm.Write("probe.spec",
            "Name: scanprobe\nVersion: 1.2\nRelease: 3\nSummary: Probe\nLicense: MIT\n"
            "Group: Applications/Test\nURL: https://example.org/probe\nVendor: Probe & Co\n"
            "Packager: Pat <p@example.org>\nBuildArch: noarch\n%description\nProbe.\n"
            "%install\nmkdir -p %{buildroot}/opt/scanprobe\necho hi >%{buildroot}/opt/scanprobe/f\n"
            "%files\n/opt/scanprobe/f\n");
  const std::map<std::string, std::string> env = {{"HOME", (rpm / "home").string()}, {"TZ", "UTC"}};
  const auto run = [&env](const char* program, const std::vector<std::string>& args) {
    return e2e::Run(program, args, env);
  };
  const AgentResult built = run("/usr/bin/rpmbuild", {"-bb", (rpm / "probe.spec").string()});
  ASSERT_EQ(built.exitStatus, 0) << built.err;
  const std::string package = top + "/RPMS/noarch/scanprobe-1.2-3.noarch.rpm";
  const AgentResult installed = run("/usr/bin/rpm", {"-i", "--justdb", "--nodeps", package});
  ASSERT_EQ(installed.exitStatus, 0) << installed.err;
  const AgentResult time = run("/usr/bin/rpm", {"-q", "--qf", "@%{INSTALLTIME}", "scanprobe"});
  const AgentResult date = run("/usr/bin/date", {"-d", time.out, "+%d.%m.%Y %H:%M:%S|"});
  scanunix_test::ExpectInstalled(
      ScanPackages(env),
      {"ProductName", "VersionString", "HelpLink", "InstallLocation", "InstallSource",
       "Publisher", "UserName", "InstallDate"},
      "scanprobe|1.2|https://example.org/probe|Applications/Test|scanprobe-1.2-3.src.rpm|"
      "Probe &amp; Co|Pat &lt;p@example.org&gt;|" + date.out);
}

}  // namespace
}  // namespace e2e
