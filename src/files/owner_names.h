// User names by user id for the rows, looked up once per id.
#pragma once

#include <sys/types.h>

#include <string>
#include <unordered_map>

class OwnerNames {
 public:
  // The user name for `uid`; empty when there is no such user.
  const std::string& Get(uid_t uid);

 private:
  // A hostile tree cannot make the cache grow without end.
  static constexpr size_t kMaxCached = 4096;
  std::unordered_map<uid_t, std::string> cache_;
  std::string uncached_;
  // The last answer: rows of one directory mostly share their owner.
  uid_t lastUid_ = 0;
  const std::string* last_ = nullptr;
};
