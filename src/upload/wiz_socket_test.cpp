#include "upload/wiz_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "upload/loopback_server.h"

namespace {

TEST(WizSocket, ReadStopsWhenThePeerCloses) {
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer&) { SendAll(c, "abcd"); });
  CWizReadWriteSocket client(static_cast<unsigned int>(-1));
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  char buffer[10];
  EXPECT_EQ(client.Read(buffer, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");

  LoopbackServer closer([](CWizReadWriteSocket&, LoopbackServer&) {});
  ASSERT_TRUE(client.Connect("localhost", closer.Port()));
  EXPECT_EQ(client.Read(buffer, 10), 0);
}

TEST(WizSocket, ConnectFailures) {
  CWizReadWriteSocket client(static_cast<unsigned int>(-1));
  EXPECT_FALSE(client.Connect("no-such-host.invalid", 80));
  EXPECT_NE(client.Handle(), -1);  // the fresh socket stays until Close
  client.Close();
  EXPECT_EQ(client.Handle(), -1);
  client.Close();  // a second Close is harmless

  int freePort;
  {
    CWizSyncSocket probe(0, INADDR_LOOPBACK);
    freePort = probe.LocalPort();
  }
  EXPECT_FALSE(client.Connect("127.0.0.1", freePort));
  EXPECT_FALSE(client.TimedOut());
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000));
  EXPECT_FALSE(client.Connect("127.0.0.1", 0));
}

TEST(WizSocket, ListeningOnATakenPortThrows) {
  CWizSyncSocket first(0, INADDR_LOOPBACK);
  EXPECT_THROW(CWizSyncSocket(first.LocalPort(), INADDR_LOOPBACK), CWizSyncSocket::XCannotCreate);
}

TEST(WizSocket, ReceiveTimeoutIsReported) {
  LoopbackServer silent([](CWizReadWriteSocket&, LoopbackServer& self) { self.WaitForStop(); });
  CWizReadWriteSocket client(static_cast<unsigned int>(-1));
  client.SetTimeout(1);
  ASSERT_TRUE(client.Connect("127.0.0.1", silent.Port()));
  char c;
  EXPECT_EQ(client.Read(&c, 1), 0);
  EXPECT_TRUE(client.TimedOut());
}

TEST(WizSocket, WriteToAClosedPeerFailsWithoutEndingTheProcess) {
  LoopbackServer closer([](CWizReadWriteSocket& c, LoopbackServer&) {
    ::shutdown(c.Handle(), SHUT_RDWR);
  });
  CWizReadWriteSocket client(static_cast<unsigned int>(-1));
  ASSERT_TRUE(client.Connect("127.0.0.1", closer.Port()));
  closer.Join();
  const std::string block(1 << 16, 'x');
  int result = 1;
  for (int i = 0; i < 100 && result != 0; ++i)
    result = client.Write(block.data(), static_cast<int>(block.size()));
  EXPECT_EQ(result, 0);
}

TEST(WizSocketFrames, EmptyTextAndLimits) {
  std::string received;
  LoopbackServer server([&](CWizReadWriteSocket& c, LoopbackServer& self) {
    std::string all(8 + 2008 + 24, '\0');
    self.Record(all.substr(0, static_cast<size_t>(c.Read(all.data(), static_cast<int>(all.size())))));
  });
  CWizReadWriteSocket client(static_cast<unsigned int>(-1));
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  EXPECT_EQ(client.WriteString("", 0), 8);
  const std::string longest(2000, 'L');
  EXPECT_EQ(client.WriteString(longest.c_str(), -1), 2008);
  const std::string tooLong(2001, 'T');
  EXPECT_EQ(client.WriteString(tooLong.c_str(), 2001), 0);
  EXPECT_EQ(client.WriteString("0123456789abcdef", 16), 24);
  client.Close();
  server.Join();
  const std::string bytes = server.Received();
  ASSERT_EQ(bytes.size(), 8u + 2008u + 24u);
  EXPECT_EQ(bytes.substr(0, 8), std::string(8, '\0'));
  EXPECT_EQ(bytes.substr(8, 4), std::string("\0\0\x07\xD0", 4));
  EXPECT_EQ(bytes.substr(16, 2000), longest);
}

TEST(WizSocketFrames, ReadStringRefusesTextsWithoutRoomForTheTerminator) {
  LoopbackServer server([](CWizReadWriteSocket& c, LoopbackServer&) {
    c.WriteString("", 0);
    c.WriteString("exactly16bytes!!", 16);
  });
  CWizReadWriteSocket client(static_cast<unsigned int>(-1));
  ASSERT_TRUE(client.Connect("127.0.0.1", server.Port()));
  char buffer[16];
  EXPECT_EQ(client.ReadString(buffer, sizeof buffer), 0);  // empty frame
  EXPECT_EQ(client.ReadString(buffer, sizeof buffer), 0);  // no room for the zero

  LoopbackServer fits([](CWizReadWriteSocket& c, LoopbackServer&) { c.WriteString("hello", -1); });
  ASSERT_TRUE(client.Connect("127.0.0.1", fits.Port()));
  EXPECT_EQ(client.ReadString(buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "hello");
}

TEST(WizSocket, LengthCountsUpToTheTerminator) {
  EXPECT_EQ(Length(""), 0);
  EXPECT_EQ(Length("abc\0def"), 3);
}

}  // namespace
