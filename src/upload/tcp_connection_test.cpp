#include "upload/tcp_connection.h"

#include <gtest/gtest.h>

#include <string>

#include "loopback_server.h"

namespace {

TEST(TcpConnection, ReadStopsWhenThePeerCloses) {
  LoopbackServer server([](TcpConnection& c) { return std::to_string(c.Write("abcd", 4)); });
  LoopbackServer closer([](TcpConnection&) { return ""; });
  TcpConnection client;
  char buffer[10];
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  EXPECT_EQ(ReadExactly(client, buffer, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  ASSERT_TRUE(client.Connect("localhost", closer.Port()));
  EXPECT_EQ(ReadExactly(client, buffer, 10), 0);
}

TEST(TcpConnection, ConnectFailures) {
  TcpConnection client;
  EXPECT_FALSE(client.Connect("no-such-host.invalid", 80));
  EXPECT_NE(client.handle(), -1);  // the fresh socket stays until Close
  client.Close();
  EXPECT_EQ(client.handle(), -1);
  client.Close();  // a second Close is harmless
  EXPECT_FALSE(client.Connect("127.0.0.1", UnusedPort()));
  EXPECT_FALSE(client.TimedOut());
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000) || client.Connect("127.0.0.1", 0));
}

}  // namespace
