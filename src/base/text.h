// Plain text helpers shared by every parser: whole lines, trimming, ASCII
// case, and C text held in fixed buffers. Nothing here knows a format.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whether the text after the last line feed counts as a line. Kernel files
// often end without one; the settings and release files have always
// dropped such a tail.
enum class LastLine { kKept, kDropped };

// Whether the carriage returns before a line feed are part of the line.
// Desktop entries drop them; kernel files and command output keep every byte.
enum class CarriageReturns { kDropped, kKept };

// The lines of `text`, split at line feeds, each without its line feed (and
// without the carriage returns before it, unless they are kept).
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text, LastLine last = LastLine::kKept,
                        CarriageReturns returns = CarriageReturns::kDropped)
      : rest_(text), last_(last), returns_(returns) {}
  // The next line into `line`; false when there is none.
  bool Next(std::string_view& line);

 private:
  std::string_view rest_;
  LastLine last_;
  CarriageReturns returns_;
};

// Calls `visit(line)` for each line of `text`, as LineSplitter splits it.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit, LastLine last = LastLine::kKept,
                 CarriageReturns returns = CarriageReturns::kDropped) {
  LineSplitter lines(text, last, returns);
  std::string_view line;
  while (lines.Next(line)) visit(line);
}

inline constexpr std::string_view kBlanks = " \t\r\n";

// `text` without the characters of `chars` at either end.
std::string_view Trimmed(std::string_view text, std::string_view chars = kBlanks);
std::string_view TrimmedStart(std::string_view text, std::string_view chars = kBlanks);
std::string_view TrimmedEnd(std::string_view text, std::string_view chars = kBlanks);

// ASCII case folding: other bytes, UTF-8 included, stay as they are.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
std::string AsciiLowered(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix);

// The text a fixed buffer of `capacity` bytes holds, up to its first NUL
// (all of it when there is none).
std::string_view TextUpToNul(const char* buffer, size_t capacity);
