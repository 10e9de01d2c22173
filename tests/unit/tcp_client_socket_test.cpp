#include "platform/tcp_client_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/loopback_server.h"

namespace platform {
namespace {

using testsupport::LoopbackServer;

TEST(TcpClientSocket, ConnectIsRefusedWithoutAServer) {
  const uint16_t port = testsupport::LoopbackServer::ClosedPort();
  TcpClientSocket socket;
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.ConnectLoopback(port));
  socket.Close();
  EXPECT_FALSE(socket.IsOpen());
}

/// A socket connected to a loopback server.
class ConnectedSocketTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.ConnectLoopback(server.Port()));
    ASSERT_TRUE(server.Accept());
  }

  LoopbackServer server;
  TcpClientSocket socket;
};

TEST_F(ConnectedSocketTest, ReceivesWhatTheServerSendsAndSeesItClose) {
  EXPECT_EQ(socket.WaitReadable(0), SocketWait::kTimeout);

  const std::vector<std::byte> sent = {std::byte{1}, std::byte{2}, std::byte{3}};
  ASSERT_TRUE(server.Send(sent));
  EXPECT_EQ(socket.WaitReadable(5000), SocketWait::kReadable);
  std::vector<std::byte> received(8);
  ASSERT_EQ(socket.Receive(received.data(), 2), 2);
  ASSERT_EQ(socket.Receive(received.data() + 2, 6), 1);
  received.resize(3);
  EXPECT_EQ(received, sent);

  server.CloseClient();
  EXPECT_EQ(socket.WaitReadable(5000), SocketWait::kReadable);
  EXPECT_EQ(socket.Receive(received.data(), received.size()), 0);
}

TEST(TcpClientSocket, ReceiveBufferCanBeRaised) {
  TcpClientSocket socket;
  EXPECT_EQ(socket.ReceiveBufferSize(), 0);  // no socket yet: the read fails
  ASSERT_TRUE(socket.Create());
  EXPECT_TRUE(socket.SetReceiveBufferSize(65536));
  EXPECT_GE(socket.ReceiveBufferSize(), 65536);
}

TEST_F(ConnectedSocketTest, ShutdownWakesAThreadWaitingForData) {
  SocketWait outcome = SocketWait::kError;
  int64_t received = -1;
  std::thread waiter([&] {
    outcome = socket.WaitReadable(60000);
    std::byte byte;
    received = socket.Receive(&byte, 1);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  socket.Shutdown();
  waiter.join();
  EXPECT_EQ(outcome, SocketWait::kReadable);
  EXPECT_EQ(received, 0);
}

}  // namespace
}  // namespace platform
