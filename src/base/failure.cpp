#include "base/failure.h"

#include <cstring>

std::string Failure::Why() const {
  if (error != 0) return std::strerror(error);
  return reason;
}

std::string Failure::Text() const {
  const std::string why = Why();
  if (why.empty()) return what;
  if (what.empty()) return why;
  return what + ": " + why;
}
