// Reading one desktop-entry file into the Shortcut element it stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/document_text.h"

struct Shortcut {
  std::string name;
  std::string program;
  std::string categories;
};

// The first "Name=", "Exec=" and "Categories=" after "[Desktop Entry]",
// each up to its line feed (the program only up to its first space).
// Nothing when there is no group header or no "Name=" value ended by a
// line feed.
std::optional<Shortcut> ParseDesktopEntry(std::string_view content);

// Writes the Shortcut line.
void WriteShortcut(DocumentWriter& document, const Shortcut& shortcut);
