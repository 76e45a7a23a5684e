// Test helpers for TLS: certificates made by the openssl command, and a
// loopback TLS server built on the TLS layer's own server side.
#pragma once

#include <filesystem>
#include <string>

#include "upload/loopback_server.h"
#include "upload/tls_library.h"

struct TestCertificates {
  std::filesystem::path ca;          // the test CA's certificate
  std::filesystem::path goodCert;    // signed by the CA for localhost and 127.0.0.1
  std::filesystem::path goodKey;
  std::filesystem::path otherCert;   // signed by the CA for other.example only
  std::filesystem::path otherKey;
  std::filesystem::path selfCert;    // self-signed for localhost, trusted by nobody
  std::filesystem::path selfKey;
};

// Makes the CA and certificates in `dir`; false with `error` when openssl fails.
bool MakeTestCertificates(const std::filesystem::path& dir, TestCertificates& out,
                          std::string& error);

// A server that completes the TLS handshake with `cert`/`key`, records the
// decrypted request and answers with `response`.
LoopbackServer::Handler TlsAnswerWith(const TlsLibrary& library, std::filesystem::path cert,
                                      std::filesystem::path key, std::string response);
