#include "upload/tls_library.h"

#include <cstdint>

std::vector<std::string> DefaultTlsLibraryNames() { return {"libssl.so.3", "libssl.so.1.1"}; }

std::unique_ptr<TlsLibrary> TlsLibrary::Load(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    SharedLibrary handle;
    if (!handle.Open(name, RTLD_NOW | RTLD_LOCAL)) continue;
    std::unique_ptr<TlsLibrary> library(new TlsLibrary(std::move(handle), name));
    if (library->Resolve()) return library;
  }
  return nullptr;
}

namespace {
template <typename Fn>
bool Find(const SharedLibrary& library, const char* symbol, Fn& out) {
  out = library.Find<Fn>(symbol);
  return out != nullptr;
}
}  // namespace

// dlsym on the libssl handle also finds its libcrypto functions.
bool TlsLibrary::Resolve() {
  Find(library_, "SSL_CTX_set_options", fn_.SSL_CTX_set_options);  // optional
  return Find(library_, "TLS_client_method", fn_.TLS_client_method) &&
         Find(library_, "SSL_CTX_new", fn_.SSL_CTX_new) &&
         Find(library_, "SSL_CTX_free", fn_.SSL_CTX_free) &&
         Find(library_, "SSL_CTX_ctrl", fn_.SSL_CTX_ctrl) &&
         Find(library_, "SSL_CTX_set_verify", fn_.SSL_CTX_set_verify) &&
         Find(library_, "SSL_CTX_set_default_verify_paths", fn_.SSL_CTX_set_default_verify_paths) &&
         Find(library_, "SSL_CTX_load_verify_locations", fn_.SSL_CTX_load_verify_locations) &&
         Find(library_, "SSL_new", fn_.SSL_new) && Find(library_, "SSL_free", fn_.SSL_free) &&
         Find(library_, "BIO_s_mem", fn_.BIO_s_mem) && Find(library_, "BIO_new", fn_.BIO_new) &&
         Find(library_, "BIO_free", fn_.BIO_free) && Find(library_, "BIO_read", fn_.BIO_read) &&
         Find(library_, "BIO_write", fn_.BIO_write) && Find(library_, "BIO_ctrl", fn_.BIO_ctrl) &&
         Find(library_, "SSL_set_bio", fn_.SSL_set_bio) &&
         Find(library_, "SSL_ctrl", fn_.SSL_ctrl) &&
         Find(library_, "SSL_set1_host", fn_.SSL_set1_host) &&
         Find(library_, "SSL_get0_param", fn_.SSL_get0_param) &&
         Find(library_, "X509_VERIFY_PARAM_set1_ip_asc", fn_.X509_VERIFY_PARAM_set1_ip_asc) &&
         Find(library_, "SSL_connect", fn_.SSL_connect) &&
         Find(library_, "SSL_read", fn_.SSL_read) &&
         Find(library_, "SSL_write", fn_.SSL_write) &&
         Find(library_, "SSL_shutdown", fn_.SSL_shutdown) &&
         Find(library_, "SSL_get_error", fn_.SSL_get_error) &&
         Find(library_, "SSL_get_verify_result", fn_.SSL_get_verify_result) &&
         Find(library_, "X509_verify_cert_error_string", fn_.X509_verify_cert_error_string) &&
         Find(library_, "ERR_clear_error", fn_.ERR_clear_error) &&
         Find(library_, "ERR_get_error", fn_.ERR_get_error) &&
         Find(library_, "ERR_reason_error_string", fn_.ERR_reason_error_string) &&
         Find(library_, "SSL_CTX_use_certificate_chain_file",
              fn_.SSL_CTX_use_certificate_chain_file) &&
         Find(library_, "SSL_CTX_use_PrivateKey_file", fn_.SSL_CTX_use_PrivateKey_file) &&
         Find(library_, "SSL_CTX_check_private_key", fn_.SSL_CTX_check_private_key) &&
         Find(library_, "SSL_CTX_set_default_passwd_cb", fn_.SSL_CTX_set_default_passwd_cb);
}
