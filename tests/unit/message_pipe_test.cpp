#include "platform/message_pipe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/machine.h"
#include "platform/process_handle.h"
#include "support/machine_prefix.h"

namespace platform {
namespace {

class MessagePipeTest : public testing::Test {
 protected:
  // Connects a client to `server` and accepts it.
  std::pair<MessagePipe, MessagePipe> Pair(MessagePipeServer& server) {
    PipeConnection client = ConnectMessagePipe("TestPipe", 1000);
    EXPECT_EQ(client.status, PipeStatus::kOk);
    EXPECT_EQ(WaitForSingle(server, 1000), 0u);
    std::optional<MessagePipe> accepted = server.Accept();
    EXPECT_TRUE(accepted);
    return {std::move(*client.pipe), std::move(*accepted)};
  }

  testsupport::ScopedMachinePrefix prefix_;
};

TEST_F(MessagePipeTest, CarriesMessagesWithHandlesAndNamesThePeer) {
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  EXPECT_TRUE(std::filesystem::exists(RuntimeRunFolder() + "TestPipe"));
  auto [client, accepted] = Pair(*server);
  EXPECT_EQ(accepted.PeerProcessId(), CurrentProcessId());
  EXPECT_EQ(client.PeerProcessId(), CurrentProcessId());
  EXPECT_EQ(client.PeerSessionId(), CurrentSessionId());

  Event first = *Event::Create(EventReset::kAuto);
  Event second = *Event::Create(EventReset::kAuto);
  const OwnedHandle* handles[] = {&first.Handle(), &second.Handle()};
  const std::vector<uint8_t> bytes = {1, 2, 3};
  ASSERT_EQ(client.Send(bytes, handles), PipeStatus::kOk);
  ASSERT_EQ(client.Send(std::vector<uint8_t>{4}), PipeStatus::kOk);

  PipeMessage message;
  ASSERT_EQ(accepted.Receive(message, 16, 4, 1000), PipeStatus::kOk);
  EXPECT_EQ(message.bytes, bytes);
  ASSERT_EQ(message.handles.size(), 2u);
  EXPECT_FALSE(message.handlesTruncated);
  std::optional<Event> received = Event::Adopt(std::move(message.handles[1]), EventReset::kAuto);
  ASSERT_TRUE(received);
  received->Set();
  EXPECT_TRUE(second.Wait(0));  // the handle at index 1 is the second event
  EXPECT_FALSE(first.Wait(0));

  ASSERT_EQ(accepted.Receive(message, 16, 4, 1000), PipeStatus::kOk);  // one message per Send
  EXPECT_EQ(message.bytes, std::vector<uint8_t>{4});
  EXPECT_TRUE(message.handles.empty());
}

TEST_F(MessagePipeTest, ReportsTimeoutsOversizedMessagesAndTheEndOfThePipe) {
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  auto [client, accepted] = Pair(*server);
  PipeMessage message;
  EXPECT_EQ(accepted.Receive(message, 16, 0, 20), PipeStatus::kTimeout);

  ASSERT_EQ(client.Send({}), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kOk);
  EXPECT_TRUE(message.bytes.empty());

  ASSERT_EQ(client.Send(std::vector<uint8_t>(17, 9)), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kMoreData);
  ASSERT_EQ(client.Send(std::vector<uint8_t>(16, 9)), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kOk);

  Event event = *Event::Create(EventReset::kAuto);
  const OwnedHandle* three[] = {&event.Handle(), &event.Handle(), &event.Handle()};
  ASSERT_EQ(client.Send(std::vector<uint8_t>{1}, three), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 2, 1000), PipeStatus::kOk);
  EXPECT_TRUE(message.handlesTruncated);
  EXPECT_LE(message.handles.size(), 2u);

  { MessagePipe gone = std::move(client); }
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kBroken);
  EXPECT_EQ(accepted.Send(std::vector<uint8_t>{1}), PipeStatus::kBroken);
}

TEST_F(MessagePipeTest, ConnectingToAnUnservedNameFindsNothing) {
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 1000).status, PipeStatus::kNotFound);
  EXPECT_EQ(ConnectMessagePipe(std::string(200, 'n'), 1000).status, PipeStatus::kNotFound);
}

TEST_F(MessagePipeTest, ABusyServerIsWaitedForUpToTheBusyWait) {
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  std::vector<MessagePipe> waiting;
  PipeStatus status = PipeStatus::kOk;
  while (status == PipeStatus::kOk && waiting.size() < 100) {
    PipeConnection connection = ConnectMessagePipe("TestPipe", 20);
    status = connection.status;
    if (connection.pipe) waiting.push_back(std::move(*connection.pipe));
  }
  EXPECT_EQ(status, PipeStatus::kBusy);
  EXPECT_FALSE(waiting.empty());

  std::thread acceptor([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(server->Accept());  // makes room for one more
  });
  const uint64_t start = TickCountMs();
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 10000).status, PipeStatus::kOk);
  EXPECT_LT(TickCountMs() - start, 5000u);
  acceptor.join();
}

TEST_F(MessagePipeTest, ANameIsServedByOneLiveServerAtATime) {
  std::optional<MessagePipeServer> first = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(first);
  EXPECT_FALSE(MessagePipeServer::Listen("TestPipe"));
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(RuntimeRunFolder() + "TestPipe"));
  EXPECT_TRUE(MessagePipeServer::Listen("TestPipe"));
}

TEST_F(MessagePipeTest, ANameLeftBehindByAnEndedServerIsTakenOver) {
  std::filesystem::create_directories(RuntimeRunFolder());
  const std::string path = RuntimeRunFolder() + "TestPipe";
  {
    OwnedHandle stale(socket(AF_UNIX, SOCK_SEQPACKET, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(
        bind(static_cast<int>(stale.Get()), reinterpret_cast<sockaddr*>(&address), sizeof address),
        0);
  }
  ASSERT_TRUE(std::filesystem::exists(path));
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 1000).status, PipeStatus::kOk);
}

}  // namespace
}  // namespace platform
