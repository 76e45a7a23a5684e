// The stored password: any text decrypts to a bounded text without a zero
// byte, and every password without one comes back from its stored form.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/password_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string plain = DecryptPassword(input);
  if (plain.size() > (size + 1) / 2 || plain.find('\0') != std::string::npos) std::abort();
  if (DecryptPassword(input) != plain) std::abort();

  const std::string password = input.substr(0, input.find('\0'));
  const std::string stored = EncryptPassword(password);
  if (stored.find_first_not_of("0123456789ABCDEF") != std::string::npos) std::abort();
  if (DecryptPassword(stored) != password) std::abort();
  return 0;
}
