// Desktop entries: each value is one line of the entry as it stands, the
// program a single word, and no CR is left at the end of a line's value.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "software/desktop_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  const std::optional<Shortcut> shortcut = ParseDesktopEntry(content);
  if (!shortcut) return 0;
  if (content.find("[Desktop Entry]") == std::string_view::npos) std::abort();
  // The group header comes first, so the Name line follows a line feed.
  if (content.find("\nName=" + shortcut->name) == std::string_view::npos) std::abort();
  for (const std::string* value : {&shortcut->name, &shortcut->program, &shortcut->categories}) {
    if (value->find('\n') != std::string::npos) std::abort();
    if (content.find(*value) == std::string_view::npos) std::abort();
  }
  // The program is the first word of its line, which may end in a CR inside the line.
  for (const std::string* value : {&shortcut->name, &shortcut->categories})
    if (!value->empty() && value->back() == '\r') std::abort();
  if (shortcut->program.find(' ') != std::string::npos) std::abort();
  return 0;
}
