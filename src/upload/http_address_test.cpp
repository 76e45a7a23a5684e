#include "upload/http_address.h"

#include <gtest/gtest.h>

#include "upload/soap_upload.h"

namespace {

struct AddressCase {
  std::string address, host, path;
  int port;
  bool tls = false;
};

TEST(ParseHttpAddress, SplitsHostPathAndPortAndSeesHttps) {
  const std::string longHost(3000, 'h');
  for (const AddressCase& c : std::vector<AddressCase>{
           {"http://inv.example.com:81/inv", "inv.example.com", "/inv/", 81},
           {"inventory", "inventory", "/", 80},
           {"10.1.2.3:8080", "10.1.2.3", "/", 8080},
           {"https://secure.example.com/a/b/", "secure.example.com", "/a/b/", 443, true},
           {"https:\\\\secure.example.com:8443", "secure.example.com", "/", 8443, true},
           {"http:\\\\server\\scan\\upload", "server", "/scan/upload/", 80},
           {"http://server:/x", "server", "/x/", 80},
           {"http://" + longHost + "/p", longHost, "/p/", 80},  // kept whole
           {"", "h", "/p/", 1}}) {  // an empty address changes nothing
    // The run starts from an empty host and path and port 80.
    std::string host = c.address.empty() ? "h" : "", path = c.address.empty() ? "/p/" : "";
    int port = c.address.empty() ? 1 : 80;
    ParseHttpAddress(c.address, host, path, port);
    EXPECT_EQ(host, c.host) << c.address;
    EXPECT_EQ(path, c.path) << c.address;
    EXPECT_EQ(port, c.port) << c.address;
    EXPECT_EQ(AddressWantsTls(c.address), c.tls) << c.address;
  }
}

}  // namespace
