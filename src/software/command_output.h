// Runs a host command without a shell and collects what it writes on
// standard output, within fixed bounds.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"

// The directories package commands are looked up in, and the PATH they get.
inline constexpr char kStandardCommandPath[] =
    "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

struct OutputBounds {
  // A longer line is dropped whole; no half line is ever handed on.
  size_t maxLine = 64 * 1024;
  // More output than this in kept lines and the command counts as failed.
  size_t maxTotal = 32 * 1024 * 1024;
  // Longer than this from start to exit and the command is killed and
  // counts as failed; zero waits as long as it takes.
  std::chrono::milliseconds maxWait{0};
};

// Where the command's standard error goes.
enum class ErrorOutput { kShared, kDiscarded };

// The first regular, executable file named `program` in the directories of
// `searchPath` (colon-separated); empty when there is none.
std::string FindCommand(const std::string& program, const std::string& searchPath);

// Runs `program` (looked up in `searchPath`) with `args`: standard input
// /dev/null, standard output read through a pipe, standard error shared
// or sent to /dev/null,
// PATH set to `searchPath` and the rest of the environment as ours.
// Returns the lines that a line feed ends, each with its line feed, when
// the command exited with status 0. Fails, named by `program`, when it is
// not on the path, does not start, fails, is killed, writes more or runs
// longer than `bounds` allow (then it is killed).
Result<std::string> RunForOutput(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& searchPath, const OutputBounds& bounds = {},
                                 ErrorOutput errors = ErrorOutput::kShared);
