// Escaping of values for double-quoted XML attributes in the scan file.
#pragma once

#include <string>
#include <string_view>

// Escapes `text` in place: "&", "<", ">" and the double quote become
// entities; bytes XML 1.0 does not allow (controls other than tab, line
// feed and carriage return) become "?". Everything else, bytes of 128 and
// above included, is kept as it is.
void XmlReplaceChars(std::string& text);

// The escaped copy of `text`.
std::string XmlEscaped(std::string_view text);
