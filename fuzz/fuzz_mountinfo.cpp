// The mount table: any text parses, every entry keeps absolute paths, and
// the decisions over it hold for every path asked, whatever the order.
#include <cstdint>
#include <algorithm>
#include <string>
#include <string_view>

#include "check.h"
#include "files/mount_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<MountEntry> mounts = ParseMountInfo(text);
  for (const MountEntry& m : mounts)
    Check(m.root.starts_with('/') && m.mountPoint.starts_with('/') && !m.type.empty());
  // An unescaped field never grows.
  Check(UnescapeMountField(text).size() <= text.size());
  const FileSystemFilter filter({"nfs*", "fuse.*", "overlay"});
  for (const auto& [root, rootSize] : {std::pair("/", size_t{0}), {"/srv", size_t{4}}}) {
    MountDecisions decisions(mounts, root, filter);
    for (const MountEntry& m : mounts) {
      const std::string_view relative =
          std::string_view(m.mountPoint).substr(std::min(m.mountPoint.size(), rootSize));
      const auto first = decisions.Decide(relative);
      // A type decided once stays decided.
      const auto again = decisions.Decide(relative);
      Check(!first || first->type.empty() || (again && again->type == first->type));
    }
  }
  return 0;
}
