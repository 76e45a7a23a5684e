// The file scan through the built agent: rows of a real tree, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "agent_runner.h"

namespace e2e {
namespace {

// Files on, every other scanner off; the first occurrence of a key counts,
// so this cannot be built on QuietSettings.
std::string FileSettings(const fs::path& out, const std::string& extra,
                         const std::string& ignore = "") {
  return "[Settings]\nFiles=1\nMsi=0\nShortcuts=0\nOutputFolder=" + out.string() + "\n" +
         extra + "\n[IgnoreFolders]\n" + ignore + "\n";
}

std::string Rows(const std::string& doc) {
  const std::string open = "\t<rs:data>\r\n", close = "\t</rs:data>\r\n";
  const size_t begin = doc.find(open);
  const size_t end = doc.find(close);
  if (begin == std::string::npos || end == std::string::npos) return "<no rowset>";
  return doc.substr(begin + open.size(), end - begin - open.size());
}

std::string Utc(time_t t) {
  char text[32];
  struct tm parts {};
  gmtime_r(&t, &parts);
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

std::string ExpectedRow(const fs::path& file, const std::string& escapedName,
                        const std::string& escapedDir, const std::string& crc = "") {
  struct stat st {};
  if (lstat(file.c_str(), &st) != 0) return "<no file " + file.string() + ">";
  const passwd* pw = getpwuid(st.st_uid);
  return "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"" + escapedName + "\" c5=\"" +
         std::to_string(st.st_size) + "\" c6=\"" + Utc(st.st_ctime) + "\" c7=\"\" c8=\"" +
         (pw ? pw->pw_name : "") + "\" c9=\"\" c10=\"\" c11=\"" + escapedDir + "\" c12=\"" +
         Utc(st.st_mtime) + "\" c13=\"\" c14=\"\" c15=\"" + Utc(st.st_atime) +
         "\" c16=\"0\" c17=\"" + crc + "\"/>\r\n";
}

std::string Elf() { return std::string("\x7f" "ELF\x02\x01\x01\x00", 8) + "payload!"; }

struct Scanned {
  AgentResult run;
  std::string doc;
};

Scanned ScanTreeWithAgent(const fs::path& root, const std::string& extra,
                          const std::string& ignore = "") {
  TempDir out;
  WriteFile(out / "s.ini", FileSettings(out.path(), extra, ignore));
  Scanned s;
  s.run = RunAgent({(out / "s.ini").string(), root.string()});
  const fs::path scan = FindScanFile(out.path());
  if (!scan.empty()) {
    s.doc = ReadFile(scan);
    std::string message;
    EXPECT_TRUE(XmlWellFormed(scan, &message)) << message;
  }
  return s;
}

TEST(FilesE2E, ElfRowsByteForByte) {
  TempDir tree;
  fs::create_directories(tree / "sub");
  WriteFile(tree / "sub/a&b", Elf());
  WriteFile(tree / "sub/notes.txt", "just text, long enough to be read");
  WriteFile(tree / "sub/.hidden", Elf());
  fs::create_symlink(tree / "sub/a&b", tree / "link");
  const Scanned s = ScanTreeWithAgent(tree.path(), "Log=-1");
  EXPECT_EQ(s.run.exitStatus, 0);
  EXPECT_EQ(Rows(s.doc), ExpectedRow(tree / "sub/a&b", "a&amp;b", (tree / "sub").string()));
  EXPECT_EQ(s.run.out.find('\r'), std::string::npos);  // no progress line at -1
}

TEST(FilesE2E, AllFilesWithChecksums) {
  TempDir tree;
  WriteFile(tree / "digits", "123456789");
  WriteFile(tree / "empty", "");
  ASSERT_EQ(mkfifo((tree / "pipe").c_str(), 0644), 0);  // must neither block nor be listed
  const Scanned s = ScanTreeWithAgent(tree.path().string() + "/", "Log=-1\nAllFiles=1\nCRC=1");
  EXPECT_EQ(Rows(s.doc), ExpectedRow(tree / "digits", "digits", tree.path().string(), "CBF43926"));
}

TEST(FilesE2E, IgnoredFoldersAndProgressLine) {
  TempDir tree;
  fs::create_directories(tree / "Skip/deeper");
  WriteFile(tree / "Skip/deeper/elf", Elf());
  fs::create_directories(tree / "keep");
  WriteFile(tree / "keep/elf", Elf());
  const Scanned s = ScanTreeWithAgent(tree.path(), "Log=0", "*skip\n");
  EXPECT_EQ(Rows(s.doc), ExpectedRow(tree / "keep/elf", "elf", (tree / "keep").string()));
  std::string lowered = (tree / "skip").string();
  for (char& c : lowered) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(s.run.out.find("ignore2: " + lowered + "\n"), std::string::npos) << s.run.out;
  const std::string first = ("\r00000001 00000000 " + tree.path().string() +
                             std::string(80, ' ')).substr(0, 80);
  EXPECT_NE(s.run.out.find(first), std::string::npos) << s.run.out;
}

TEST(FilesE2E, ControlBytesInNamesKeepTheDocumentWellFormed) {
  TempDir tree;
  WriteFile(tree / std::string("q\"<\x01>"), Elf());
  const Scanned s = ScanTreeWithAgent(tree.path(), "Log=-1");
  EXPECT_EQ(Rows(s.doc), ExpectedRow(tree / std::string("q\"<\x01>"), "q&quot;&lt;?&gt;",
                                     tree.path().string()));
}

TEST(FilesE2E, TenThousandDeepChain) {
  TempDir tree;
  constexpr int kDepth = 10000;
  int fd = open(tree.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  const std::string elf = Elf();
  const int f = openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_EQ(write(f, elf.data(), elf.size()), static_cast<ssize_t>(elf.size()));
  close(f);
  close(fd);

  const Scanned s = ScanTreeWithAgent(tree.path(), "Log=-1");
  EXPECT_EQ(s.run.exitStatus, 0) << s.run.err;
  std::string dir = tree.path().string();
  for (int i = 0; i < kDepth; ++i) dir += "/d";
  const std::string rows = Rows(s.doc);
  EXPECT_EQ(rows.find(" c4=\"bottom\""), rows.find(" c4=\""));
  EXPECT_NE(rows.find(" c11=\"" + dir + "\" "), std::string::npos);

  // Unlink bottom-up by renaming each level to the top: no long paths.
  const int top = open(tree.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; i < kDepth; ++i) {
    unlinkat(top, "d/bottom", 0);
    if (renameat(top, "d/d", top, "next") != 0) break;
    unlinkat(top, "d", AT_REMOVEDIR);
    renameat(top, "next", top, "d");
  }
  unlinkat(top, "d/bottom", 0);
  unlinkat(top, "d", AT_REMOVEDIR);
  close(top);
}

}  // namespace
}  // namespace e2e
