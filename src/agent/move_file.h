// Moving the finished scan file to its final name, also across file systems.
#pragma once

#include <string>

// Renames `from` to `to`; across file systems copies byte for byte and then
// removes `from`. On failure errno tells why and `from` is kept.
bool MoveFile(const std::string& from, const std::string& to);
