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

// The first "Name=", "Exec=" and "Categories=" line of the "[Desktop Entry]"
// group, each value up to its line end (the program only up to its first
// space). A key counts only at the start of a line, so "GenericName=",
// "TryExec=" and "Name[de]=" are other keys. Only lines a line feed ends
// count, and a CR before the line feed is not part of the value. Nothing
// when there is no such group or no "Name=" line in it.
std::optional<Shortcut> ParseDesktopEntry(std::string_view content);

// Writes the Shortcut line.
void WriteShortcut(DocumentWriter& document, const Shortcut& shortcut);
