#include "software/package_commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/unique_fd.h"
#include "software/package_list.h"

namespace {

// The path as the shell should see it; plain paths stay as they are.
std::string ShellWord(const std::string& path) {
  const bool plain = path.find_first_not_of(
                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                         "0123456789/._-") == std::string::npos;
  if (plain && !path.empty()) return path;
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct ListCommand {
  std::string line;
  ListForm form;
};

ListCommand DpkgQuery(const std::string& target) {
  return {"dpkg-query -W -f='${Package}|||${Version}|||${Section}|||${Maintainer}|||${Homepage}\n' >" +
              target,
          ListForm::kFields};
}

ListCommand DpkgList(const std::string& target) {
  return {"dpkg -l >" + target, ListForm::kColumns};
}

ListCommand RpmQuery(const std::string& target) {
  return {"rpm -qa --queryformat \"%{NAME}|||%{VERSION}|||%{GROUP}|||%{VENDOR}|||%{URL}\n\" >" +
              target,
          ListForm::kFields};
}

bool RunCommand(const std::string& line) {
  // The command shares our standard output; keep what we printed before it.
  std::fflush(stdout);
  return std::system(line.c_str()) == 0;
}

}  // namespace

bool CreateListFile(const std::string& path) {
  ::unlink(path.c_str());
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  return fd.Valid();
}

size_t ListPackagesByCommands(const std::string& listFile, const std::string& system,
                              DocumentWriter& document, Log& log) {
  const std::string target = ShellWord(listFile);
  const ListCommand commands[] = {DpkgQuery(target), DpkgList(target), RpmQuery(target)};
  size_t written = 0;
  for (const ListCommand& command : commands) {
    if (&command == &commands[2])
      log.Print("dpkg failed, using rpm to get list of installed packages..\n");
    if (!CreateListFile(listFile)) return 0;
    if (!RunCommand(command.line)) continue;
    written = ReadPackageList(listFile, command.form, system, document).value_or(0);
    break;
  }
  ::unlink(listFile.c_str());
  return written;
}
