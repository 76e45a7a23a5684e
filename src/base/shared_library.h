// Owns a library handle from dlopen and closes it exactly once.
#pragma once

#include <dlfcn.h>

#include <string>
#include <utility>

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary() { Close(); }
  SharedLibrary(SharedLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  SharedLibrary& operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads `path` (lazy binding unless `flags` say otherwise); false when it
  // does not load.
  bool Open(const std::string& path, int flags = RTLD_LAZY) {
    Close();
    handle_ = ::dlopen(path.c_str(), flags);
    return handle_ != nullptr;
  }

  // The function `name` as type `Fn`, or null when the library lacks it.
  template <typename Fn>
  Fn Find(const char* name) const {
    return handle_ ? reinterpret_cast<Fn>(::dlsym(handle_, name)) : nullptr;
  }

  void Close() {
    if (handle_) ::dlclose(std::exchange(handle_, nullptr));
  }

 private:
  void* handle_ = nullptr;
};
