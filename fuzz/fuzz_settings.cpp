// Settings text: every record comes from the text as it stands, and the
// settings made from any text are usable.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "config/ini_file.h"
#include "config/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  const IniFile ini = IniFile::Parse(in);
  const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  // A last line without "\n" is not read.
  const std::vector<IniRecord> records = ini.Section("Settings");
  if (records.size() > lines) std::abort();
  for (const IniRecord& r : records) {
    if (r.key.find('=') != std::string::npos) std::abort();
    for (const std::string* part : {&r.section, &r.key, &r.value})
      if (text.find(*part) == std::string::npos) std::abort();
  }
  const Settings settings = SettingsFrom(ini);
  if (settings.upload.timeoutSeconds < 0) std::abort();
  return 0;
}
