#include "software/desktop_entry.h"

#include <algorithm>


namespace {

// The value after the first `key` in `text`, up to the next line feed.
std::optional<std::string> ValueOf(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t start = at + key.size();
  const size_t end = text.find('\n', start);
  if (end == std::string_view::npos) return std::nullopt;
  return std::string(text.substr(start, end - start));
}

}  // namespace

std::optional<Shortcut> ParseDesktopEntry(std::string_view content) {
  const size_t group = content.find("[Desktop Entry]");
  if (group == std::string_view::npos) return std::nullopt;
  // Each key is searched from the group header on, independently; a longer
  // key such as GenericName= or TryExec= matches as well.
  const std::string_view entry = content.substr(group);
  std::optional<std::string> name = ValueOf(entry, "Name=");
  if (!name) return std::nullopt;
  Shortcut shortcut;
  shortcut.name = std::move(*name);
  shortcut.program = ValueOf(entry, "Exec=").value_or("");
  shortcut.program.resize(std::min(shortcut.program.size(), shortcut.program.find(' ')));
  shortcut.categories = ValueOf(entry, "Categories=").value_or("");
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
