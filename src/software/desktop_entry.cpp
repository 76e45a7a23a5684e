#include "software/desktop_entry.h"

namespace {

constexpr std::string_view kGroupHeader = "[Desktop Entry]";

// The lines of `text` that a line feed ends, without it and without the CRs
// before it; the text after the last line feed is no line.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  std::optional<std::string_view> Next() {
    const size_t end = rest_.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
    while (line.ends_with('\r')) line.remove_suffix(1);
    return line;
  }

 private:
  std::string_view rest_;
};

}  // namespace

std::optional<Shortcut> ParseDesktopEntry(std::string_view content) {
  Lines lines(content);
  std::optional<std::string_view> line;
  while ((line = lines.Next()) && *line != kGroupHeader) {
  }
  if (!line) return std::nullopt;

  // The first line of each key within the group, up to the next group.
  std::optional<std::string_view> name, exec, categories;
  const auto take = [&line](std::string_view key, std::optional<std::string_view>& value) {
    if (!value && line->starts_with(key)) value = line->substr(key.size());
  };
  while ((line = lines.Next()) && !line->starts_with('[')) {
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
