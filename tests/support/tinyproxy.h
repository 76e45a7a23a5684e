// Debian's tinyproxy, run in the foreground on a free loopback port with a
// configuration of its own, for the tests of uploads through a proxy.
#pragma once

#include <sys/types.h>

#include <string>

#include "temp_dir.h"

class Tinyproxy {
 public:
  // Starts it and waits until it takes connections; `basicAuth` ("user
  // password") makes it ask for those credentials. Port() is 0 when it
  // could not be started.
  explicit Tinyproxy(const std::string& basicAuth = {});
  ~Tinyproxy();
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;

  int Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  scanunix_test::TempDir dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};
