// The one-line progress display: each line overwrites the one before it.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

using ProgressLine = std::array<char, 80>;

// "\r", each counter in at least eight digits followed by a space, then
// `text`, padded with spaces and cut to the 80 bytes of the line. Formatted
// by hand: the file scan draws one for every entry.
std::string_view FormatProgressLine(ProgressLine& line, std::initializer_list<uint32_t> counters,
                                    std::string_view text);
