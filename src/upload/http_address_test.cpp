#include "upload/http_address.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseHttpAddress, SplitsHostPathAndPortAndSeesHttps) {
  const std::string longHost(3000, 'h');
  for (const auto& [address, want] : std::vector<std::pair<std::string, HttpTarget>>{
           {"http://inv.example.com:81/inv", {"inv.example.com", "/inv/", 81}},
           {"inventory", {"inventory", "/", 80}},
           {"10.1.2.3:8080", {"10.1.2.3", "/", 8080}},
           {"https://secure.example.com/a/b/", {"secure.example.com", "/a/b/", 443, true}},
           {"https:\\\\secure.example.com:8443", {"secure.example.com", "/", 8443, true}},
           {"http:\\\\server\\scan\\upload", {"server", "/scan/upload/", 80}},
           {"http://server:/x", {"server", "/x/", 80}},
           {"http://" + longHost + "/p", {longHost, "/p/", 80}},  // kept whole
           {"http://[2001:db8::1]:8080/inv/", {"[2001:db8::1]", "/inv/", 8080}},
           {"http://[::1", {"[::1", "/", 80}},  // unclosed: no port to find
           {"", {"", "", 80}}}) {
    const HttpTarget got = ParseHttpAddress(address);
    EXPECT_EQ(got.host, want.host) << address;
    EXPECT_EQ(got.path, want.path) << address;
    EXPECT_EQ(got.port, want.port) << address;
    EXPECT_EQ(got.tls, want.tls) << address;
  }
  EXPECT_EQ(UnbracketedHost("[::1]"), "::1");
  EXPECT_EQ(UnbracketedHost("inv.example"), "inv.example");
}

}  // namespace
