#include "upload/tcp_connection.h"

#include <gtest/gtest.h>

#include "loopback_server.h"

namespace {

TEST(TcpConnection, ConnectFailures) {
  TcpConnection client;
  EXPECT_FALSE(client.Connect("no-such-host.invalid", 80));
  EXPECT_FALSE(client.Connect("127.0.0.1", UnusedPort()));
  EXPECT_FALSE(client.TimedOut());
  LoopbackServer server([](TcpConnection&) { return ""; });
  EXPECT_FALSE(client.Connect("127.0.0.1", server.Port() + 65536));  // not cut to 16 bits
}

}  // namespace
