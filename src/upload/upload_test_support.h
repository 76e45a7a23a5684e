// The upload's reporter for tests: keeps what the upload says.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "upload/upload_core.h"

struct RecordingReporter : UploadReporter {
  void Log(std::string_view text) override { logged.emplace_back(text); }
  void Print(std::string_view text) override { printed += text; }
  // True when a logged line begins with `start`.
  bool Logged(std::string_view start) const {
    return std::any_of(logged.begin(), logged.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
  }
  std::vector<std::string> logged;
  std::string printed;
};
