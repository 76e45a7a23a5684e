#include "upload/http_address.h"

#include <gtest/gtest.h>

#include "upload/soap_upload.h"

namespace {

struct Parsed {
  std::string host, path;
  int port = 80;
};

Parsed Parse(const std::string& address) {
  Parsed p;
  ParseHttpAddress(address, p.host, p.path, p.port);
  return p;
}

TEST(ParseHttpAddress, SchemePortAndPath) {
  const Parsed p = Parse("http://inv.example.com:81/inv");
  EXPECT_EQ(p.host, "inv.example.com");
  EXPECT_EQ(p.path, "/inv/");
  EXPECT_EQ(p.port, 81);
}

TEST(ParseHttpAddress, BareHostKeepsPort80AndGetsRootPath) {
  const Parsed p = Parse("inventory");
  EXPECT_EQ(p.host, "inventory");
  EXPECT_EQ(p.path, "/");
  EXPECT_EQ(p.port, 80);
  EXPECT_EQ(Parse("10.1.2.3:8080").port, 8080);
  EXPECT_EQ(Parse("10.1.2.3:8080").host, "10.1.2.3");
}

TEST(ParseHttpAddress, HttpsSwitchesTo443UnlessAPortIsNamed) {
  const Parsed p = Parse("https://secure.example.com/a/b/");
  EXPECT_EQ(p.host, "secure.example.com");
  EXPECT_EQ(p.path, "/a/b/");
  EXPECT_EQ(p.port, 443);
  EXPECT_EQ(Parse("https://secure.example.com:8443").port, 8443);
  EXPECT_EQ(Parse("https://secure.example.com:8443").path, "/");
  EXPECT_TRUE(AddressWantsTls("https://secure.example.com"));
  EXPECT_TRUE(AddressWantsTls("https:\\\\secure.example.com"));
  EXPECT_FALSE(AddressWantsTls("http://plain.example.com"));
}

TEST(ParseHttpAddress, BackslashesActAsSlashes) {
  const Parsed p = Parse("http:\\\\server\\scan\\upload");
  EXPECT_EQ(p.host, "server");
  EXPECT_EQ(p.path, "/scan/upload/");
}

TEST(ParseHttpAddress, EmptyAddressChangesNothing) {
  Parsed p;
  p.host = "h";
  p.path = "/p/";
  p.port = 1;
  ParseHttpAddress("", p.host, p.path, p.port);
  EXPECT_EQ(p.host, "h");
  EXPECT_EQ(p.path, "/p/");
  EXPECT_EQ(p.port, 1);
}

TEST(ParseHttpAddress, PortWithoutDigitsStays) {
  const Parsed p = Parse("http://server:/x");
  EXPECT_EQ(p.host, "server");
  EXPECT_EQ(p.port, 80);
  EXPECT_EQ(p.path, "/x/");
}

TEST(ParseHttpAddress, LongAddressIsKeptWhole) {
  const std::string longHost(3000, 'h');
  const Parsed p = Parse("http://" + longHost + "/" + std::string(3000, 'p'));
  EXPECT_EQ(p.host, longHost);
  EXPECT_EQ(p.path.size(), 3002u);
}

}  // namespace
