#include "files/owner_names.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {

std::string LookUp(uid_t uid) {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size < 1024) size = 1024;
  std::vector<char> buffer(static_cast<size_t>(size));
  for (;;) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    const int rc = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    return (rc == 0 && found && found->pw_name) ? std::string(found->pw_name) : std::string();
  }
}

}  // namespace

const std::string& OwnerNames::Get(uid_t uid) {
  if (last_ && uid == lastUid_) return *last_;
  lastUid_ = uid;
  if (auto it = cache_.find(uid); it != cache_.end()) {
    last_ = &it->second;
  } else if (cache_.size() >= kMaxCached) {
    uncached_ = LookUp(uid);
    last_ = &uncached_;
  } else {
    last_ = &cache_.emplace(uid, LookUp(uid)).first->second;
  }
  return *last_;
}
