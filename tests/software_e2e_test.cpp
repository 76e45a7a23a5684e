// The software inventory in the built agent: the package commands tried in
// turn with fake dpkg-query, dpkg and rpm first on PATH, the host's real
// dpkg-query, and the shortcut element.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

#include "agent_runner.h"

namespace e2e {
namespace {

constexpr const char* kListFile = "/tmp/packages.txt";
constexpr const char* kRpmNotice = "dpkg failed, using rpm to get list of installed packages..\n";

std::string Settings(const fs::path& out, bool msi, bool shortcuts, int log = 0) {
  return "[Settings]\nFiles=0\nMsi=" + std::to_string(msi) + "\nShortcuts=" +
         std::to_string(shortcuts) + "\nLog=" + std::to_string(log) +
         "\nOutputFolder=" + out.string() + "\n";
}

// The text from `open` up to and including `close`; empty when absent.
std::string Element(const std::string& doc, const std::string& open, const std::string& close) {
  const size_t start = doc.find(open);
  if (start == std::string::npos) return {};
  const size_t end = doc.find(close, start);
  if (end == std::string::npos) return {};
  return doc.substr(start, end + close.size() - start);
}

std::string Attribute(const std::string& text, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t start = text.find(key);
  if (start == std::string::npos) return {};
  const size_t from = start + key.size();
  return text.substr(from, text.find('"', from) - from);
}

std::string Installed(const std::string& name, const std::string& version,
                      const std::string& link, const std::string& location,
                      const std::string& publisher) {
  return "\t\t<Installed ProductName=\"" + name + "\" VersionString=\"" + version +
         "\" HelpLink=\"" + link + "\" InstallLocation=\"" + location +
         "\" InstallSource=\"\" InstallDate=\"\" Publisher=\"" + publisher +
         "\" UseCount=\"\" LastUsed=\"\" UserName=\"\" OrgName=\"\" Serial=\"\" />\r\n";
}

// Fake package commands in a folder put first on PATH. Each notes its call
// in "calls" and its arguments in "args-<name>", prints its output and
// exits with its status.
class FakeTools {
 public:
  FakeTools() { fs::create_directories(dir_ / "bin"); }

  void Tool(const std::string& name, const std::string& output, int status) {
    WriteFile(dir_ / ("out-" + name), output);
    const fs::path script = dir_ / "bin" / name;
    WriteFile(script, "#!/bin/sh\n"
                      "echo " + name + " >>'" + (dir_ / "calls").string() + "'\n"
                      "printf '%s|' \"$@\" >'" + (dir_ / ("args-" + name)).string() + "'\n"
                      "cat '" + (dir_ / ("out-" + name)).string() + "'\n"
                      "exit " + std::to_string(status) + "\n");
    fs::permissions(script, fs::perms::owner_all);
  }

  std::string Calls() const { return ReadFile(dir_ / "calls"); }
  std::string Args(const std::string& name) const { return ReadFile(dir_ / ("args-" + name)); }
  std::string Path() const { return (dir_ / "bin").string() + ":/usr/bin:/bin"; }

 private:
  TempDir dir_;
};

struct ScanOutcome {
  AgentResult result;
  std::string doc;
  std::string msi;
};

ScanOutcome ScanPackages(const std::map<std::string, std::string>& env) {
  TempDir out;
  WriteFile(out / "s.ini", Settings(out.path(), true, false));
  ScanOutcome outcome;
  outcome.result = RunAgent({(out / "s.ini").string()}, env);
  const fs::path scan = FindScanFile(out.path());
  EXPECT_FALSE(scan.empty()) << outcome.result.out << outcome.result.err;
  if (scan.empty()) return outcome;
  outcome.doc = ReadFile(scan);
  outcome.msi = Element(outcome.doc, "\t<Msi>\r\n", "\t</Msi>\r\n");
  // The element sits right after the empty file lists and before the end.
  EXPECT_NE(outcome.doc.find("\t<RegSWFiles></RegSWFiles>\r\n" + outcome.msi + "</SystemInfo>\r\n"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(fs::symlink_status(kListFile)));
  return outcome;
}

const std::string kQueryFormat =
    "-W|-f=${Package}|||${Version}|||${Section}|||${Maintainer}|||${Homepage}\n|";

TEST(SoftwareE2E, DpkgQueryListsThePackages) {
  FakeTools tools;
  tools.Tool("dpkg-query",
             "bash|||5.2-15|||shells|||Matthias <m@example.org>|||http://bash\n"
             "a&b|||1\"2|||||||||\n"
             "lonely\n"
             "x|||1|||s|||m|||h|||more\n"
             "tail-without-feed|||9",
             0);
  tools.Tool("dpkg", "", 0);
  tools.Tool("rpm", "", 0);
  const ScanOutcome scan = ScanPackages({{"PATH", tools.Path()}});
  EXPECT_EQ(scan.msi, "\t<Msi>\r\n" +
                          Installed("bash", "5.2-15", "http://bash", "shells",
                                    "Matthias &lt;m@example.org&gt;") +
                          Installed("a&amp;b", "1&quot;2", "", "", "") +
                          Installed("lonely", "", "", "", "") +
                          Installed("x", "1", "h|||more", "s", "m") + "\t</Msi>\r\n");
  EXPECT_EQ(tools.Calls(), "dpkg-query\n");
  EXPECT_EQ(tools.Args("dpkg-query"), kQueryFormat);
  EXPECT_EQ(scan.result.out.find(kRpmNotice), std::string::npos);
}

TEST(SoftwareE2E, EmptySuccessfulDpkgQueryEndsTheSearch) {
  FakeTools tools;
  tools.Tool("dpkg-query", "", 0);
  tools.Tool("dpkg", "", 0);
  tools.Tool("rpm", "", 0);
  const ScanOutcome scan = ScanPackages({{"PATH", tools.Path()}});
  EXPECT_EQ(scan.msi, "\t<Msi>\r\n\t</Msi>\r\n");
  EXPECT_EQ(tools.Calls(), "dpkg-query\n");
}

TEST(SoftwareE2E, DpkgListReadByItsHeaderColumns) {
  FakeTools tools;
  tools.Tool("dpkg-query", "half|||written\n", 1);
  tools.Tool("dpkg",
             "Desired=Unknown/Install/Remove/Purge/Hold\n"
             "||/ Name      Version     Architecture\n"
             "+++-=========-===========-============\n"
             "ii  zlib1g    1:1.2.13    amd64        compression\n"
             "rc  gone&co   0.1         all\n"
             "ii  x\n",
             0);
  tools.Tool("rpm", "", 0);
  const ScanOutcome scan = ScanPackages({{"PATH", tools.Path()}});
  // dpkg -l rows carry the OS description as their publisher, escaped as in
  // the System attribute.
  const std::string system = Attribute(scan.doc, "System");
  EXPECT_EQ(scan.msi, "\t<Msi>\r\n" + Installed("zlib1g", "1:1.2.13", "", "", system) +
                          Installed("gone&amp;co", "0.1", "", "", system) +
                          Installed("x", "", "", "", system) + "\t</Msi>\r\n");
  EXPECT_EQ(tools.Calls(), "dpkg-query\ndpkg\n");
  EXPECT_EQ(tools.Args("dpkg"), "-l|");
}

TEST(SoftwareE2E, RpmWhenBothDpkgCommandsFail) {
  FakeTools tools;
  tools.Tool("dpkg-query", "", 1);
  tools.Tool("dpkg", "", 1);
  tools.Tool("rpm", "kernel|||6.1|||System/Kernel|||Fedora <f>|||https://k\n", 0);
  const ScanOutcome scan = ScanPackages({{"PATH", tools.Path()}});
  EXPECT_EQ(scan.msi, "\t<Msi>\r\n" +
                          Installed("kernel", "6.1", "https://k", "System/Kernel",
                                    "Fedora &lt;f&gt;") +
                          "\t</Msi>\r\n");
  EXPECT_EQ(tools.Calls(), "dpkg-query\ndpkg\nrpm\n");
  EXPECT_EQ(tools.Args("rpm"),
            "-qa|--queryformat|%{NAME}|||%{VERSION}|||%{GROUP}|||%{VENDOR}|||%{URL}\n|");
  const size_t notice = scan.result.out.find(kRpmNotice);
  ASSERT_NE(notice, std::string::npos) << scan.result.out;
  EXPECT_EQ(scan.result.out.find(kRpmNotice, notice + 1), std::string::npos);
}

TEST(SoftwareE2E, EveryCommandFailingLeavesTheElementEmpty) {
  FakeTools tools;
  tools.Tool("dpkg-query", "", 1);
  tools.Tool("dpkg", "", 1);
  tools.Tool("rpm", "", 127);
  const ScanOutcome scan = ScanPackages({{"PATH", tools.Path()}});
  EXPECT_EQ(scan.msi, "\t<Msi>\r\n\t</Msi>\r\n");
  EXPECT_NE(scan.result.out.find(kRpmNotice), std::string::npos);
}

TEST(SoftwareE2E, LinkPlantedAtTheListFileIsNotWrittenThrough) {
  FakeTools tools;
  tools.Tool("dpkg-query", "pkg|||1|||||||||\n", 0);
  TempDir victim;
  WriteFile(victim / "target", "keep me\n");
  std::error_code ignored;
  fs::remove(kListFile, ignored);
  fs::create_symlink(victim / "target", kListFile);
  const ScanOutcome scan = ScanPackages({{"PATH", tools.Path()}});
  EXPECT_EQ(ReadFile(victim / "target"), "keep me\n");
  EXPECT_EQ(Attribute(scan.msi, "ProductName"), "pkg");
}

// name and version of every package `dpkg-query -W` reports, without the
// architecture qualifier it adds to some names.
std::vector<std::pair<std::string, std::string>> DpkgQueryPackages() {
  const AgentResult r = Run("/usr/bin/dpkg-query", {"-W"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  std::vector<std::pair<std::string, std::string>> packages;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const size_t tab = line.find('\t');
    std::string name = line.substr(0, tab);
    name = name.substr(0, name.find(':'));
    packages.emplace_back(name, line.substr(tab + 1));
  }
  return packages;
}

TEST(SoftwareE2E, HostPackagesAreExactlyWhatDpkgQueryReports) {
  if (!fs::exists("/usr/bin/dpkg-query")) GTEST_SKIP() << "no dpkg-query on this host";
  const auto expected = DpkgQueryPackages();
  ASSERT_FALSE(expected.empty());
  const ScanOutcome scan = ScanPackages({});
  std::vector<std::pair<std::string, std::string>> listed;
  std::istringstream in(scan.msi);
  for (std::string line; std::getline(in, line);)
    if (line.find("<Installed ") != std::string::npos)
      listed.emplace_back(Attribute(line, "ProductName"), Attribute(line, "VersionString"));
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(scan.result.out.find(kRpmNotice), std::string::npos);
}

TEST(SoftwareE2E, ShortcutsElementAfterThePackages) {
  FakeTools tools;
  tools.Tool("dpkg-query", "pkg|||1\n", 0);
  TempDir out;
  WriteFile(out / "s.ini", Settings(out.path(), true, true));
  const AgentResult r = RunAgent({(out / "s.ini").string()}, {{"PATH", tools.Path()}});
  const fs::path scan = FindScanFile(out.path());
  ASSERT_FALSE(scan.empty()) << r.out << r.err;
  const std::string doc = ReadFile(scan);
  const std::string shortcuts = Element(doc, "\t<Shortcuts>\r\n", "\t</Shortcuts>\r\n");
  ASSERT_FALSE(shortcuts.empty());
  EXPECT_NE(doc.find("\t</Msi>\r\n" + shortcuts + "</SystemInfo>\r\n"), std::string::npos);
  std::istringstream in(shortcuts);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && line != "\t</Shortcuts>\r")
    EXPECT_EQ(line.rfind("\t\t<Shortcut Name=\"", 0), 0u) << line;
  std::string message;
  EXPECT_TRUE(XmlWellFormed(scan, &message)) << message;
}

}  // namespace
}  // namespace e2e
