// The software inventory in the built agent on this host: the packages
// dpkg-query reports as installed, whatever PATH the agent is given, and
// the host's RPM library reading a private database.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "agent_runner.h"

namespace e2e {
namespace {

constexpr const char* kOldListFile = "/tmp/packages.txt";
constexpr const char* kRpmNotice = "dpkg failed, using rpm to get list of installed packages..";

std::string Attribute(const std::string& text, const std::string& name) {
  const size_t start = text.find(" " + name + "=\"");
  if (start == std::string::npos) return {};
  const size_t from = start + name.size() + 3;
  return text.substr(from, text.find('"', from) - from);
}

// The attributes `names` of every Installed line in `text`, "|" after
// each, one line per package.
std::string Rows(const std::string& text, const std::vector<std::string>& names) {
  std::string rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\t\t<Installed ") != 0) continue;
    for (const std::string& name : names) rows.append(Attribute(line, name)).append("|");
    rows += '\n';
  }
  return rows;
}

// Every path under `dir`.
std::string Listing(const fs::path& dir) {
  std::string paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    paths.append(entry.path().string()).append("\n");
  return paths;
}

struct Scan { AgentResult result; std::string doc; };

// Runs the agent with the package and shortcut scans on. A link planted at
// the list file of earlier versions is left as it is.
Scan RunScan(const std::map<std::string, std::string>& env) {
  TempDir out;
  out.Write("victim", "keep me\n");
  fs::remove(kOldListFile);
  fs::create_symlink(out / "victim", kOldListFile);
  out.Write("s.ini", "[Settings]\nFiles=0\nMsi=1\nShortcuts=1\nOutputFolder=" +
                         out.path().string() + "\n");
  Scan scan{RunAgent({(out / "s.ini").string()}, env), {}};
  scan.doc = ReadFile(FindScanFile(out.path()));
  EXPECT_FALSE(scan.doc.empty()) << scan.result.out << scan.result.err;
  EXPECT_EQ(ReadFile(out / "victim"), "keep me\n");
  EXPECT_TRUE(fs::is_symlink(kOldListFile));
  fs::remove(kOldListFile);
  EXPECT_NE(scan.doc.find("\t<RegSWFiles></RegSWFiles>\r\n\t<Msi>\r\n"), std::string::npos);
  EXPECT_NE(scan.doc.find("\t</Msi>\r\n\t<Shortcuts>\r\n"), std::string::npos);
  EXPECT_NE(scan.doc.find("\t</Shortcuts>\r\n</SystemInfo>\r\n"), std::string::npos);
  EXPECT_EQ(scan.result.out.find(kRpmNotice), std::string::npos);
  return scan;
}

TEST(SoftwareE2E, InstalledPackagesOfDpkgQueryFromTheStandardPathWithoutAnRpmDatabase) {
  const AgentResult query =
      e2e::Run("/usr/bin/dpkg-query", {"-W", "-f=${db:Status-Abbrev}|${Package}|${Version}|\n"});
  if (query.exitStatus != 0) GTEST_SKIP() << "no dpkg-query on this host: " << query.err;
  std::string installed;
  std::istringstream in(query.out);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("ii ") || line.starts_with("hi ")) installed += line.substr(4) + "\n";

  // A dpkg-query first on the caller's PATH is not the one the agent runs;
  // the host's RPM library finds no database under HOME and creates none.
  TempDir home, bin;
  fs::permissions(bin.Write("dpkg-query", "#!/bin/sh\necho 'install ok installed|||fake'\n"),
                  fs::perms::owner_all);
  const Scan scan = RunScan({{"HOME", home.path().string()},
                             {"PATH", bin.path().string() + ":/usr/bin:/bin"}});
  EXPECT_EQ(Rows(scan.doc, {"ProductName", "VersionString"}), installed);
  EXPECT_EQ(scan.result.err, "");
  EXPECT_EQ(Listing(home.path()), "");
}

TEST(SoftwareE2E, RpmLibraryOfTheHostReadsAPrivateDatabase) {
  if (!fs::exists("/usr/bin/rpmbuild")) GTEST_SKIP() << "no rpmbuild on this host";
  TempDir rpm;
  const std::string home = rpm.Dir("home").string(), top = (rpm / "top").string();
  rpm.Write("home/.rpmmacros", "%_dbpath " + (rpm / "db").string() + "\n%_topdir " + top + "\n");
  rpm.Write("probe.spec",
            "Name: scanprobe\nVersion: 1.2\nRelease: 3\nSummary: Probe\nLicense: MIT\n"
            "Group: Applications/Test\nURL: https://example.org/probe\nVendor: Probe & Co\n"
            "Packager: Pat <p@example.org>\nBuildArch: noarch\n%description\nProbe.\n"
            "%install\nmkdir -p %{buildroot}/opt/scanprobe\necho hi >%{buildroot}/opt/scanprobe/f\n"
            "%files\n/opt/scanprobe/f\n");
  const std::map<std::string, std::string> env = {{"HOME", home}, {"TZ", "UTC"}};
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

  const Scan scan = RunScan(env);
  // Cut, so that a failure does not print the host's whole dpkg list.
  const std::string rows = Rows(scan.doc, {"ProductName", "VersionString", "HelpLink",
                                           "InstallLocation", "InstallSource", "Publisher",
                                           "UserName", "InstallDate"});
  EXPECT_EQ(rows.substr(0, 500),
            "scanprobe|1.2|https://example.org/probe|Applications/Test|scanprobe-1.2-3.src.rpm|"
            "Probe &amp; Co|Pat &lt;p@example.org&gt;|" + date.out);
  EXPECT_EQ(scan.result.out.find("dpkg failed"), std::string::npos);  // no command was needed
}

}  // namespace
}  // namespace e2e
