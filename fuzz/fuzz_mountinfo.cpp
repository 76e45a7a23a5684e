// The mount table: any text parses, every entry keeps absolute paths, and
// the decisions over it hold for every path asked, whatever the order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "files/mount_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<MountEntry> mounts = ParseMountInfo(text);
  for (const MountEntry& m : mounts)
    if (!m.root.starts_with('/') || !m.mountPoint.starts_with('/') || m.type.empty()) std::abort();
  // An unescaped field never grows.
  if (UnescapeMountField(text).size() > text.size()) std::abort();
  const FileSystemFilter filter({"nfs*", "fuse.*", "overlay"});
  for (const char* root : {"/", "/srv"}) {
    MountDecisions decisions(mounts, root, filter);
    for (const MountEntry& m : mounts) {
      const std::string_view relative =
          std::string_view(root) == "/" ? std::string_view(m.mountPoint)
                                        : std::string_view(m.mountPoint).substr(
                                              std::min(m.mountPoint.size(), size_t{4}));
      const auto first = decisions.Decide(relative);
      // A type decided once stays decided.
      const auto again = decisions.Decide(relative);
      if (first.has_value() && !first->type.empty() && (!again || again->type != first->type))
        std::abort();
    }
  }
  return 0;
}
