#include "upload/tls_library.h"

#include <dlfcn.h>

#include <cstdint>

std::vector<std::string> DefaultTlsLibraryNames() { return {"libssl.so.3", "libssl.so.1.1"}; }

std::unique_ptr<TlsLibrary> TlsLibrary::Load(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) continue;
    std::unique_ptr<TlsLibrary> library(new TlsLibrary(handle, name));
    if (library->Resolve()) return library;
  }
  return nullptr;
}

TlsLibrary::~TlsLibrary() {
  if (handle_) ::dlclose(handle_);
}

namespace {
template <typename Fn>
bool Find(void* handle, const char* symbol, Fn& out) {
  out = reinterpret_cast<Fn>(::dlsym(handle, symbol));
  return out != nullptr;
}
}  // namespace

// dlsym on the libssl handle also finds its libcrypto functions.
bool TlsLibrary::Resolve() {
  Find(handle_, "SSL_CTX_set_options", fn_.SSL_CTX_set_options);  // optional
  return Find(handle_, "TLS_client_method", fn_.TLS_client_method) &&
         Find(handle_, "TLS_server_method", fn_.TLS_server_method) &&
         Find(handle_, "SSL_CTX_new", fn_.SSL_CTX_new) &&
         Find(handle_, "SSL_CTX_free", fn_.SSL_CTX_free) &&
         Find(handle_, "SSL_CTX_ctrl", fn_.SSL_CTX_ctrl) &&
         Find(handle_, "SSL_CTX_set_verify", fn_.SSL_CTX_set_verify) &&
         Find(handle_, "SSL_CTX_set_default_verify_paths", fn_.SSL_CTX_set_default_verify_paths) &&
         Find(handle_, "SSL_CTX_load_verify_locations", fn_.SSL_CTX_load_verify_locations) &&
         Find(handle_, "SSL_CTX_use_certificate_chain_file",
              fn_.SSL_CTX_use_certificate_chain_file) &&
         Find(handle_, "SSL_CTX_use_PrivateKey_file", fn_.SSL_CTX_use_PrivateKey_file) &&
         Find(handle_, "SSL_new", fn_.SSL_new) && Find(handle_, "SSL_free", fn_.SSL_free) &&
         Find(handle_, "SSL_set_fd", fn_.SSL_set_fd) && Find(handle_, "SSL_ctrl", fn_.SSL_ctrl) &&
         Find(handle_, "SSL_set1_host", fn_.SSL_set1_host) &&
         Find(handle_, "SSL_get0_param", fn_.SSL_get0_param) &&
         Find(handle_, "X509_VERIFY_PARAM_set1_ip_asc", fn_.X509_VERIFY_PARAM_set1_ip_asc) &&
         Find(handle_, "SSL_connect", fn_.SSL_connect) &&
         Find(handle_, "SSL_accept", fn_.SSL_accept) && Find(handle_, "SSL_read", fn_.SSL_read) &&
         Find(handle_, "SSL_write", fn_.SSL_write) &&
         Find(handle_, "SSL_shutdown", fn_.SSL_shutdown) &&
         Find(handle_, "SSL_get_error", fn_.SSL_get_error) &&
         Find(handle_, "SSL_get_verify_result", fn_.SSL_get_verify_result) &&
         Find(handle_, "X509_verify_cert_error_string", fn_.X509_verify_cert_error_string) &&
         Find(handle_, "ERR_clear_error", fn_.ERR_clear_error);
}
