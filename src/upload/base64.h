// Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Characters of the Base64 text of `size` bytes.
constexpr uint64_t Base64Length(uint64_t size) { return (size + 2) / 3 * 4; }

// Appends the Base64 text of `size` bytes at `data` to `out`. Texts of
// chunks whose sizes are multiples of 3 join into the text of the whole.
void AppendBase64(std::string& out, const unsigned char* data, size_t size);
std::string Base64Encode(std::string_view bytes);

// The bytes of `text`. White space (bytes 7 to 13 and the space) is dropped;
// any other character outside the alphabet, and padding where none belongs,
// counts as the value 0.
std::string Base64Decode(std::string_view text);
