// scanunix-passwd: prints the stored form of an upload password, for the
// settings key Password with PasswordIsEncrypted=1.
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <string_view>

#include "base/version.h"
#include "config/password_cipher.h"

namespace {

// Turns terminal echo off for its lifetime when standard input is a terminal.
class EchoOff {
 public:
  EchoOff() {
    if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  bool active() const { return active_; }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

constexpr char kUsage[] =
    "Usage: scanunix-passwd\n"
    "\n"
    "Reads one password line from standard input (without echo on a terminal)\n"
    "and prints the text for [HTTP] Password= with PasswordIsEncrypted=1.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::cout << kUsage;
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "scanunix-passwd " << kScanunixVersion << "\n";
    return 0;
  }
  if (argc > 1) {
    std::cerr << kUsage;
    return 2;
  }
  std::string password;
  {
    EchoOff echo;
    if (echo.active()) std::cerr << "Password: " << std::flush;
    std::getline(std::cin, password);
    if (echo.active()) std::cerr << "\n";
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) {
    std::cerr << "scanunix-passwd: empty password, nothing to encrypt\n";
    return 1;
  }
  if (password.find('\0') != std::string::npos) {
    std::cerr << "scanunix-passwd: a password cannot hold a zero byte\n";
    return 1;
  }
  std::cout << EncryptPassword(password) << "\n";
  return std::cout.good() ? 0 : 1;
}
