// The software inventory in the built agent: the package commands tried in
// turn with fake dpkg-query, dpkg and rpm first on PATH, and a default run
// with the host's dpkg-query and shortcuts.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "agent_runner.h"

namespace e2e {
namespace {

constexpr const char* kListFile = "/tmp/packages.txt";
constexpr const char* kRpmNotice = "dpkg failed, using rpm to get list of installed packages..\n";

std::string Attribute(const std::string& text, const std::string& name) {
  const size_t start = text.find(" " + name + "=\"");
  if (start == std::string::npos) return {};
  const size_t from = start + name.size() + 3;
  return text.substr(from, text.find('"', from) - from);
}

// The attributes `names` of every Installed line in `text`, "|" after each,
// one line per package; the OS description shows as "SYS".
std::string Rows(const std::string& text, const std::vector<std::string>& names,
                 const std::string& system = "") {
  std::string rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\t\t<Installed ") != 0) continue;
    for (const std::string& name : names) {
      const std::string value = Attribute(line, name);
      rows.append(!system.empty() && value == system ? "SYS" : value).append("|");
    }
    rows += '\n';
  }
  return rows;
}

struct Scan { AgentResult result; std::string doc; };

// Runs the agent with the package scan on, a link planted at the list file.
Scan RunScan(const std::map<std::string, std::string>& env, const std::string& shortcuts = "0") {
  TempDir out;
  out.Write("victim", "keep me\n");
  fs::remove(kListFile);
  fs::create_symlink(out / "victim", kListFile);
  out.Write("s.ini", "[Settings]\nFiles=0\nMsi=1\nShortcuts=" + shortcuts +
                         "\nOutputFolder=" + out.path().string() + "\n");
  Scan scan{RunAgent({(out / "s.ini").string()}, env), {}};
  scan.doc = ReadFile(FindScanFile(out.path()));
  EXPECT_FALSE(scan.doc.empty()) << scan.result.out << scan.result.err;
  EXPECT_EQ(ReadFile(out / "victim"), "keep me\n");
  EXPECT_FALSE(fs::exists(fs::symlink_status(kListFile)));
  // The element follows the (empty) file lists.
  EXPECT_NE(scan.doc.find("\t<RegSWFiles></RegSWFiles>\r\n\t<Msi>\r\n"), std::string::npos);
  return scan;
}

using Tool = std::pair<std::string, int>;  // output, exit status

TEST(SoftwareE2E, PackageCommandsInTurn) {
  const std::string query =
      "dpkg-query -W -f=${Package}|||${Version}|||${Section}|||${Maintainer}|||${Homepage}\n\n";
  const std::string dpkg = "dpkg -l\n";
  const std::string rpm =
      "rpm -qa --queryformat %{NAME}|||%{VERSION}|||%{GROUP}|||%{VENDOR}|||%{URL}\n\n";
  struct {
    Tool query, dpkg, rpm;
    std::string calls;  // each command run, with its arguments
    std::string rows;   // name|version|link|location|publisher
  } const cases[] = {
      {{"bash|||5.2-15|||shells|||Matthias <m@x.org>|||http://bash\na&b|||1\"2|||||||||\nlonely\n"
        "x|||1|||s|||m|||h|||more\nhalf|||1.0|||admin|||Me\nshort|||2\ntail-without-feed|||9", 0},
       {}, {}, query,
       "bash|5.2-15|http://bash|shells|Matthias &lt;m@x.org&gt;|\na&amp;b|1&quot;2||||\n"
       "lonely|||||\nx|1|h|||more|s|m|\nhalf|1.0||admin||\nshort|||||\n"},
      {{"", 0}, {}, {}, query, ""},  // an empty list is still an answer
      // dpkg -l read by the columns of its header line, with or without Description.
      {{"half|||written\n", 1},
       {"Desired=Unknown/Install/Remove/Purge/Hold\n||/ Name      Version     Architecture\n"
        "+++-=========-===========-============\nii  zlib1g    1:1.2.13    amd64        z\n"
        "rc  gone&co   0.1         all\nii  x\n", 0}, {}, query + dpkg,
       "zlib1g|1:1.2.13|||SYS|\ngone&amp;co|0.1|||SYS|\nx||||SYS|\n"},
      {{"", 1}, {"||/ Name  Version Architecture Description\n+++-=====-=======-============-====\n"
                 "ii  add   3.1     all          adds <users>\n\n", 0}, {}, query + dpkg,
       "add|3.1|adds &lt;users&gt;||SYS|\n||||SYS|\n"},
      {{"", 1}, {"ii  add 3.1 all no header, no packages\n", 0}, {}, query + dpkg, ""},
      {{"", 1}, {"", 1}, {"kernel|||6.1|||System/Kernel|||Fedora <f>|||https://k\n", 0},
       query + dpkg + rpm, "kernel|6.1|https://k|System/Kernel|Fedora &lt;f&gt;|\n"},
      {{"", 1}, {"", 1}, {"", 127}, query + dpkg + rpm, ""},
  };
  TempDir bin;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.calls + c.rows);
    for (const auto& [name, tool] :
         {std::pair{"dpkg-query", c.query}, {"dpkg", c.dpkg}, {"rpm", c.rpm}}) {
      std::string script = "#!/bin/sh\necho \"";
      script.append(name).append(" $*\" >>'").append((bin / "calls").string());
      script.append("'\nprintf '%s' '").append(tool.first).append("'\nexit ");
      fs::permissions(bin.Write(name, script + std::to_string(tool.second)), fs::perms::owner_all);
    }
    fs::remove(bin / "calls");
    const Scan scan = RunScan({{"PATH", bin.path().string() + ":/usr/bin:/bin"}});
    EXPECT_EQ(Rows(scan.doc, {"ProductName", "VersionString", "HelpLink", "InstallLocation",
                              "Publisher"}, Attribute(scan.doc, "System")),
              c.rows);
    EXPECT_EQ(ReadFile(bin / "calls"), c.calls);
    // The rpm fallback announced once, when it is tried.
    const size_t notice = scan.result.out.find(kRpmNotice);
    EXPECT_EQ(notice != std::string::npos, c.calls.ends_with(rpm)) << scan.result.out;
    EXPECT_EQ(notice, scan.result.out.rfind(kRpmNotice));
    std::string message;
    EXPECT_TRUE(XmlWellFormed(bin.Write("scan.xml", scan.doc), &message)) << message;
  }
}

TEST(SoftwareE2E, DefaultRunListsWhatDpkgQueryReportsAndTheShortcuts) {
  const AgentResult query = e2e::Run("/usr/bin/dpkg-query", {"-W", "-f=${Package}|${Version}|\n"});
  if (query.exitStatus != 0) GTEST_SKIP() << "no dpkg-query on this host: " << query.err;
  const Scan scan = RunScan({}, "1");
  EXPECT_EQ(Rows(scan.doc, {"ProductName", "VersionString"}), query.out);
  EXPECT_EQ(scan.result.out.find(kRpmNotice), std::string::npos);
  EXPECT_NE(scan.doc.find("\t</Msi>\r\n\t<Shortcuts>\r\n"), std::string::npos);
  EXPECT_NE(scan.doc.find("\t</Shortcuts>\r\n</SystemInfo>\r\n"), std::string::npos);
}

}  // namespace
}  // namespace e2e
