#include "software/desktop_entry.h"

#include "base/text.h"

namespace {

constexpr std::string_view kGroupHeader = "[Desktop Entry]";

}  // namespace

std::optional<Shortcut> ParseDesktopEntry(std::string_view content) {
  // The lines that a line feed ends, without it and the CRs before it.
  LineSplitter lines(content, LastLine::kDropped);
  std::string_view line;
  bool found = false;
  while (!found && lines.Next(line)) found = line == kGroupHeader;
  if (!found) return std::nullopt;

  // The first line of each key within the group, up to the next group.
  std::optional<std::string_view> name, exec, categories;
  const auto take = [&line](std::string_view key, std::optional<std::string_view>& value) {
    if (!value && line.starts_with(key)) value = line.substr(key.size());
  };
  while (lines.Next(line) && !line.starts_with('[')) {
    take("Name=", name);
    take("Exec=", exec);
    take("Categories=", categories);
  }
  if (!name) return std::nullopt;
  Shortcut shortcut;
  shortcut.name = *name;
  const std::string_view program = exec.value_or("");
  shortcut.program = program.substr(0, program.find(' '));
  shortcut.categories = categories.value_or("");
  return shortcut;
}

void WriteShortcut(DocumentWriter& document, const Shortcut& shortcut) {
  document.Markup("\t\t<Shortcut")
      .Attribute("Name", shortcut.name)
      .Attribute("Filename", shortcut.program)
      .Markup(" Path=\"\"")
      .Attribute("Categories", shortcut.categories)
      .Markup(" />\r\n");
}
