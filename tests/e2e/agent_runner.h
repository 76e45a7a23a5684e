// Runs the built agent as a child process for end-to-end tests, and the
// small file helpers those tests share.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "scan_text.h"
#include "temp_dir.h"

namespace e2e {

namespace fs = std::filesystem;
using scanunix_test::AttributeValue;
using scanunix_test::ReadFile;
using scanunix_test::TempDir;
using scanunix_test::WriteFile;

struct AgentResult {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

fs::path AgentPath();

// A child running `command` (its program first), standard input /dev/null,
// its output and errors to the files `out` and `err`; `env` as in Run.
// Killed and reaped at the end.
class Child {
 public:
  Child(const std::vector<std::string>& command, const fs::path& out,
        const fs::path& err = "/dev/null", const std::map<std::string, std::string>& env = {},
        const fs::path& workdir = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t pid() const { return pid_; }
  int Wait();  // the raw wait status

 private:
  pid_t pid_ = -1;
};

// Runs `program` with `args`; `env` entries replace or add variables
// (an empty value removes one). Standard input is /dev/null.
AgentResult Run(const fs::path& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}, const fs::path& workdir = {});
AgentResult RunAgent(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env = {},
                     const fs::path& workdir = {});

// The one file with the extension ".scn" in `dir`; empty when there is not
// exactly one.
fs::path FindScanFile(const fs::path& dir);

// Settings text that keeps every scanner off and sends output to `dir`;
// `extra` is appended inside [Settings].
std::string QuietSettings(const fs::path& dir, const std::string& extra = "");

// True when xmllint accepts the file; `message` gets what it said.
bool XmlWellFormed(const fs::path& path, std::string* message);

}  // namespace e2e
