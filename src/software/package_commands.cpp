#include "software/package_commands.h"

#include <vector>

#include "software/command_output.h"
#include "software/package_list.h"

namespace {

struct ListCommand {
  std::string program;
  std::vector<std::string> args;
  ListForm form;
};

}  // namespace

Result<size_t> ListPackagesByCommands(const std::string& searchPath, const std::string& system,
                                      DocumentWriter& document,
                                      const std::function<void(std::string_view)>& beforeFallback) {
  // The formats hold "\n" as the two characters the tools expand.
  const ListCommand commands[] = {
      {"dpkg-query",
       {"-W",
        "-f=${Status}|||${Package}|||${Version}|||${Section}|||${Maintainer}|||${Homepage}\\n"},
       ListForm::kStatusFields},
      {"dpkg", {"-l"}, ListForm::kColumns},
      {"rpm",
       {"-qa", "--queryformat", "%{NAME}|||%{VERSION}|||%{GROUP}|||%{VENDOR}|||%{URL}\\n"},
       ListForm::kFields},
  };
  for (const ListCommand& command : commands) {
    if (&command != commands) beforeFallback(command.program);
    // The whole output first: a command that fails halfway adds nothing.
    const Result<std::string> output = RunForOutput(command.program, command.args, searchPath);
    if (output) return WritePackageList(*output, command.form, system, document);
  }
  return ReasonFailure("No package list", "dpkg-query, dpkg -l and rpm -qa all failed");
}
