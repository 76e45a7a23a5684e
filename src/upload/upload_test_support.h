// Test helpers for the upload: a temporary folder and a reporter that keeps
// what the upload says.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "upload/upload_core.h"

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

class RecordingReporter : public UploadReporter {
 public:
  void Log(std::string_view text) override { logged.emplace_back(text); }
  void Print(std::string_view text) override { printed += text; }
  bool Logged(std::string_view line) const;
  std::vector<std::string> logged;
  std::string printed;
};
