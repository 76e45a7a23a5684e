#include "upload/wiz_socket.h"

#include <gtest/gtest.h>

#include <string>

#include "upload/loopback_server.h"

namespace {

CWizReadWriteSocket NoSocket() { return CWizReadWriteSocket(static_cast<unsigned int>(-1)); }

TEST(WizSocket, ReadStopsWhenThePeerCloses) {
  LoopbackServer server([](CWizReadWriteSocket& c) { return std::to_string(c.Write("abcd", 4)); });
  LoopbackServer closer([](CWizReadWriteSocket&) { return ""; });
  CWizReadWriteSocket client = NoSocket();
  char buffer[10];
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  EXPECT_EQ(client.Read(buffer, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  ASSERT_TRUE(client.Connect("localhost", closer.Port()));
  EXPECT_EQ(client.Read(buffer, 10), 0);
}

TEST(WizSocket, ConnectFailures) {
  CWizReadWriteSocket client = NoSocket();
  EXPECT_FALSE(client.Connect("no-such-host.invalid", 80));
  EXPECT_NE(client.Handle(), -1);  // the fresh socket stays until Close
  client.Close();
  EXPECT_EQ(client.Handle(), -1);
  client.Close();  // a second Close is harmless
  const int freePort = CWizSyncSocket(0, INADDR_LOOPBACK).LocalPort();
  EXPECT_FALSE(client.Connect("127.0.0.1", freePort));
  EXPECT_FALSE(client.TimedOut());
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000) || client.Connect("127.0.0.1", 0));
  CWizSyncSocket taken(0, INADDR_LOOPBACK);
  EXPECT_THROW(CWizSyncSocket(taken.LocalPort(), INADDR_LOOPBACK), CWizSyncSocket::XCannotCreate);
}

TEST(WizSocket, StringFrames) {
  LoopbackServer server([](CWizReadWriteSocket& c) {
    std::string all(8 + 2008 + 24, '\0');
    all.resize(static_cast<size_t>(c.Read(all.data(), static_cast<int>(all.size()))));
    c.WriteString("", 0);
    c.WriteString("hello", -1);
    c.WriteString("exactly16bytes!!", 16);
    return all;
  });
  CWizReadWriteSocket client = NoSocket();
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  const std::string longest(2000, 'L');
  EXPECT_EQ(client.WriteString("", 0), 8);
  EXPECT_EQ(client.WriteString(longest.c_str(), -1), 2008);
  EXPECT_EQ(client.WriteString(std::string(2001, 'T').c_str(), 2001), 0);
  EXPECT_EQ(client.WriteString("0123456789abcdef", 16), 24);
  char buffer[16];
  EXPECT_EQ(client.ReadString(buffer, sizeof buffer), 0);  // empty frame
  EXPECT_EQ(client.ReadString(buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(client.ReadString(buffer, sizeof buffer), 0);  // no room for the zero
  const std::string bytes = server.Received();
  ASSERT_EQ(bytes.size(), 8u + 2008u + 24u);  // nothing of the refused text
  EXPECT_EQ(bytes.substr(0, 12), std::string("\0\0\0\0\0\0\0\0\0\0\x07\xD0", 12));
  EXPECT_EQ(bytes.substr(16, 2000), longest);
}

}  // namespace
