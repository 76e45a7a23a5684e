// The system's TLS library (OpenSSL 3 or 1.1), loaded at run time only when
// an https:// address is used, so that the agent needs it nowhere else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/shared_library.h"

// The library names tried in order.
std::vector<std::string> DefaultTlsLibraryNames();

// The functions the TLS layer calls. The library's types stay opaque.
struct TlsFunctions {
  using Ctx = void;
  using Ssl = void;
  const void* (*TLS_client_method)();
  Ctx* (*SSL_CTX_new)(const void* method);
  void (*SSL_CTX_free)(Ctx*);
  long (*SSL_CTX_ctrl)(Ctx*, int cmd, long larg, void* parg);
  void (*SSL_CTX_set_verify)(Ctx*, int mode, void* callback);
  int (*SSL_CTX_set_default_verify_paths)(Ctx*);
  int (*SSL_CTX_load_verify_locations)(Ctx*, const char* file, const char* dir);
  Ssl* (*SSL_new)(Ctx*);
  void (*SSL_free)(Ssl*);
  // The library reads and writes records through memory buffers only; the
  // session moves them to and from the socket itself.
  const void* (*BIO_s_mem)();
  void* (*BIO_new)(const void* method);
  int (*BIO_free)(void* bio);
  int (*BIO_read)(void* bio, void* buffer, int size);
  int (*BIO_write)(void* bio, const void* data, int size);
  long (*BIO_ctrl)(void* bio, int cmd, long larg, void* parg);
  void (*SSL_set_bio)(Ssl*, void* rbio, void* wbio);
  long (*SSL_ctrl)(Ssl*, int cmd, long larg, void* parg);
  int (*SSL_set1_host)(Ssl*, const char* host);
  void* (*SSL_get0_param)(Ssl*);
  int (*X509_VERIFY_PARAM_set1_ip_asc)(void* param, const char* ip);
  int (*SSL_connect)(Ssl*);
  int (*SSL_read)(Ssl*, void* buffer, int size);
  int (*SSL_write)(Ssl*, const void* data, int size);
  int (*SSL_shutdown)(Ssl*);
  int (*SSL_get_error)(const Ssl*, int result);
  long (*SSL_get_verify_result)(const Ssl*);
  const char* (*X509_verify_cert_error_string)(long code);
  void (*ERR_clear_error)();
  unsigned long (*ERR_get_error)();
  const char* (*ERR_reason_error_string)(unsigned long error);
  // A client certificate, when the settings name one.
  int (*SSL_CTX_use_certificate_chain_file)(Ctx*, const char* file);
  int (*SSL_CTX_use_PrivateKey_file)(Ctx*, const char* file, int type);
  int (*SSL_CTX_check_private_key)(const Ctx*);
  void (*SSL_CTX_set_default_passwd_cb)(Ctx*, int (*callback)(char*, int, int, void*));
  // Only in OpenSSL 3; may be null.
  uint64_t (*SSL_CTX_set_options)(Ctx*, uint64_t options);
};

class TlsLibrary {
 public:
  // The first of `names` that loads and has every function; null when none.
  static std::unique_ptr<TlsLibrary> Load(const std::vector<std::string>& names);
  TlsLibrary(const TlsLibrary&) = delete;
  TlsLibrary& operator=(const TlsLibrary&) = delete;

  const TlsFunctions& fn() const { return fn_; }
  const std::string& name() const { return name_; }

 private:
  TlsLibrary(SharedLibrary library, std::string name)
      : library_(std::move(library)), name_(std::move(name)) {}
  bool Resolve();

  SharedLibrary library_;
  std::string name_;
  TlsFunctions fn_{};
};
