#include "software/command_output.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using scanunix_test::TempDir;

TEST(CommandOutput, WholeLinesWithinBoundsOfACleanExit) {
  TempDir dir;
  const std::string path = dir.path().string();
  const struct {
    std::string script;  // shell builtins only: nothing else is on the path
    OutputBounds bounds;
    std::optional<std::string> output;
  } cases[] = {
      {"printf 'a\\n\\nb\\nno-feed'", {}, "a\n\nb\n"},
      {"echo \"$PATH\"; read line; echo \"read $?\"", {}, path + "\nread 1\n"},
      // A line over the bound is dropped whole, even across writes.
      {"printf '1234\\n12345'; printf '6789\\n123'; printf '45678\\nok\\n'", {8, 100},
       "1234\n12345678\nok\n"},
      {"echo half; exit 3", {}, std::nullopt},
      {"echo half; kill -9 $$", {}, std::nullopt},
      // Endless output is cut off: the command is killed.
      {"while :; do echo line; done", {8, 1000}, std::nullopt},
      // So is one that takes too long, writing or not.
      {"echo line; exec /bin/sleep 30", {8, 1000, std::chrono::milliseconds(200)}, std::nullopt},
      {"exec >&-; /bin/sleep 30", {8, 1000, std::chrono::milliseconds(200)}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    fs::permissions(dir.Write("tool", "#!/bin/sh\n" + c.script + "\n"), fs::perms::owner_all);
    const auto output = RunForOutput("tool", {}, path, c.bounds);
    ASSERT_EQ(output.ok(), c.output.has_value());
    if (output) {
      EXPECT_EQ(*output, *c.output);
    }
  }
  EXPECT_FALSE(RunForOutput("absent", {}, path));
}

TEST(CommandOutput, FoundOnlyAsAnExecutableFileInAnAbsoluteDirectory) {
  TempDir dir;
  dir.Write("plain/tool", "");
  dir.Dir("folder/tool");
  fs::permissions(dir.Write("bin/tool", "#!/bin/sh\n"), fs::perms::owner_all);
  const std::string plain = (dir / "plain").string(), folder = (dir / "folder").string();
  const std::string bin = (dir / "bin").string();
  EXPECT_EQ(FindCommand("tool", "bin::" + plain + ":" + folder + ":" + bin), bin + "/tool");
  EXPECT_EQ(FindCommand("tool", plain + ":" + folder), "");
  EXPECT_EQ(FindCommand("bin/tool", dir.path().string()), "");
}

}  // namespace
