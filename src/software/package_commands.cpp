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

std::optional<size_t> ListPackagesByCommands(const std::string& searchPath,
                                             const std::string& system, DocumentWriter& document,
                                             Log& log, const std::function<bool()>& stopped) {
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
    if (stopped && stopped()) break;
    if (command.program == "rpm")
      log.Print("dpkg failed, using rpm to get list of installed packages..\n");
    // The whole output first: a command that fails halfway adds nothing.
    const std::optional<std::string> output =
        RunForOutput(command.program, command.args, searchPath, {}, stopped);
    if (output) return WritePackageList(*output, command.form, system, document);
  }
  return std::nullopt;
}
