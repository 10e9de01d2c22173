#include "shell_outbox.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "ipc/client.h"
#include "support/machine_prefix.h"
#include "support/wait_until.h"

namespace luxsim {
namespace {

constexpr char kServerName[] = "OUTBOX_TEST";

// Keeps the one client's connection.
class Connections : public IPC::ServerListener {
 public:
  void OnClientConnected(const std::shared_ptr<IPC::ServerConnection>& connection) override {
    std::lock_guard lock(mutex_);
    connection_ = connection;
  }
  void OnClientDisconnected(IPC::ServerConnection&) override {}

  std::shared_ptr<IPC::ServerConnection> Connection() {
    std::lock_guard lock(mutex_);
    return connection_;
  }

 private:
  std::mutex mutex_;  // guards connection_
  std::shared_ptr<IPC::ServerConnection> connection_;
};

// The client: records what its "toClient" receives.
class Recipient : public IPC::ClientListener {
 public:
  Recipient() { client_.Register("toClient", *this, &Recipient::ToClient); }

  int32_t Connect() { return client_.Connect(kServerName); }
  void ToClient(std::string message) {
    std::lock_guard lock(mutex_);
    received_.push_back(std::move(message));
  }
  void OnDisconnected() override {}
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  std::mutex mutex_;  // guards received_
  std::vector<std::string> received_;
  IPC::Client client_{*this};  // last: its transport calls into the members above
};

class ShellOutboxTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start(kServerName));
    ASSERT_EQ(recipient_.Connect(), 0);
    ASSERT_TRUE(testsupport::WaitUntil([this] { return connections_.Connection() != nullptr; }));
    ASSERT_TRUE(outbox_.Start());
  }

  testsupport::ScopedMachinePrefix prefix_;
  Connections connections_;
  IPC::Server server_{connections_};
  Recipient recipient_;
  ShellOutbox outbox_;
};

TEST_F(ShellOutboxTest, MessagesReachTheClientInOrder) {
  std::vector<std::string> sent;
  for (int i = 0; i < 50; ++i) {
    sent.push_back("message " + std::to_string(i));
    outbox_.Send(connections_.Connection(), sent.back());
  }
  EXPECT_TRUE(testsupport::WaitUntil([&] { return recipient_.Received().size() == sent.size(); }));
  EXPECT_EQ(recipient_.Received(), sent);
}

TEST_F(ShellOutboxTest, MessagesToAConnectionThatIsGoneAreDropped) {
  outbox_.Send(std::weak_ptr<IPC::ServerConnection>(), "to nobody");
  outbox_.Send(connections_.Connection(), "to the client");
  EXPECT_TRUE(testsupport::WaitUntil([&] { return !recipient_.Received().empty(); }));
  EXPECT_EQ(recipient_.Received(), std::vector<std::string>{"to the client"});
}

}  // namespace
}  // namespace luxsim
