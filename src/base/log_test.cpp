#include "base/log.h"

#include <gtest/gtest.h>

#include <sstream>

#include "temp_dir.h"

namespace {

TEST(LogText, OneLineWhateverTheTextHolds) {
  const std::pair<std::string, std::string> cases[] = {
      {"\nFinished, saved to: /a b\n", "\nFinished, saved to: /a b\n"},  // its own line ends stay
      {"name\nFAKE: forged line", "name\\nFAKE: forged line"},
      {"a\r\tb\x1b[31m\x7f\x01", "a\\r\\tb\\x1B[31m\\x7F\\x01"},
      {"caf\xc3\xa9 \xff", "caf\xc3\xa9 \xff"},  // other bytes are kept
      {"\n\n", "\n\n"},
      {std::string(kLogTextLimit + 10, 'x') + "\n", std::string(kLogTextLimit, 'x') + "... (10 bytes more)\n"}};
  for (const auto& [text, want] : cases) EXPECT_EQ(LogText(text), want) << text;
}

TEST(Log, LevelsDecideWhatIsWrittenWhere) {
  scanunix_test::TempDir dir;
  struct Case {
    int level;
    bool terminal;
    std::string out, file;
  } const cases[] = {
      {Log::kSilent, true, "printed\n", ""},
      {Log::kDisplay, true, "shown\nsaid\nprinted\n", "said\nopen /x: No such file or directory\n"},
      {Log::kDisplay, false, "said\nprinted\n", "said\nopen /x: No such file or directory\n"},
      {Log::kMessages, true, "progress\nsaid\nprinted\n",
       "progress\nsaid\nopen /x: No such file or directory\n"}};
  for (const Case& c : cases) {
    std::ostringstream out, errors;
    Log log(c.level, out, errors, c.terminal);
    log.SetFile(dir / "log");
    log.Display("shown\n");
    log.Progress("progress");
    log.Message("said");
    log.Print("printed\n");
    log.SystemError("open /x", ENOENT);
    EXPECT_EQ(out.str(), c.out) << c.level;
    EXPECT_EQ(scanunix_test::ReadFile(dir / "log"), c.file) << c.level;
    EXPECT_EQ(errors.str(), "open /x: No such file or directory\n");
    std::filesystem::remove(dir / "log");
  }
}

}  // namespace
