#include "ipc/server.h"

#include <algorithm>
#include <array>
#include <string>
#include <system_error>

#include "ipc/hello.h"

namespace IPC {

namespace {

constexpr std::string_view kPipePrefix = "CorviaIPC";

// What a server decided about a client's hello.
struct Verdict {
  int64_t status = kHelloRefusedVersion;
  std::optional<ConnectionResources> resources;
  bool serverCreated = false;
  std::optional<platform::ProcessHandle> client;
};

}  // namespace

ServerConnection::~ServerConnection() { ResetTransport(nullptr); }

bool ServerConnection::Start(ConnectionResources resources, bool createdSection,
                             std::optional<platform::ProcessHandle> client) {
  ResetTransport(this);
  return StartTransport(std::move(resources), createdSection, std::move(client));
}

uint8_t ServerConnection::OnCall(int32_t, IpcBuffer& request, IpcBuffer& reply) {
  return Dispatch(request, reply);
}

void ServerConnection::OnDisconnected() {
  listener_.OnClientDisconnected(*this);
  closedSignal_.Set();
}

bool Server::Start(std::string_view serverName) {
  if (acceptThread_.joinable()) return false;
  stop_ = platform::Event::Create(platform::EventReset::kManual);
  connectionClosed_ = platform::Event::Create(platform::EventReset::kAuto);
  pipeServer_ =
      platform::MessagePipeServer::Listen(std::string(kPipePrefix) + std::string(serverName));
  if (!stop_ || !connectionClosed_ || !pipeServer_) {
    pipeServer_.reset();
    return false;
  }
  try {
    acceptThread_ = std::thread(&Server::AcceptClients, this);
  } catch (const std::system_error&) {
    pipeServer_.reset();
    return false;
  }
  return true;
}

void Server::Stop() {
  if (!acceptThread_.joinable()) return;
  stop_->Set();
  acceptThread_.join();
  for (const auto& connection : connections_) connection->Close();
  connections_.clear();
  pipeServer_.reset();
}

void Server::AcceptClients() {
  platform::Waitable* const waits[] = {&*stop_, &*pipeServer_, &*connectionClosed_};
  for (;;) {
    const uint32_t signalled = platform::WaitForMultiple(waits, platform::kInfinite);
    if (signalled == 1) {
      if (std::optional<platform::MessagePipe> pipe = pipeServer_->Accept())
        Greet(std::move(*pipe));
    } else if (signalled == 2) {
      DropClosedConnections();
    } else {
      return;
    }
  }
}

void Server::DropClosedConnections() {
  std::erase_if(connections_, [](const std::shared_ptr<ServerConnection>& connection) {
    if (connection->IsConnected()) return false;
    connection->Close();  // waits until its transport thread has finished
    return true;
  });
}

void Server::Greet(platform::MessagePipe pipe) {
  // Waiting for the hello holds up other clients, but not the server's stop.
  platform::Waitable* const waits[] = {&*stop_, &pipe};
  platform::PipeMessage hello;
  if (platform::WaitForMultiple(waits, options_.helloTimeoutMs) != 1 ||
      pipe.Receive(hello, kHelloBytes, kMaxHelloHandles, 0) != platform::PipeStatus::kOk) {
    return;
  }
  const uint32_t serverProcessId = platform::CurrentProcessId();
  const std::optional<uint32_t> clientProcessId = pipe.PeerProcessId();
  const std::optional<HelloMessage> request = ReadHello(hello.bytes, HelloKind::kRequest);

  Verdict verdict;
  if (request && !hello.handlesTruncated) {
    verdict.status = clientProcessId
                         ? CheckHelloRequest(*request, *clientProcessId, serverProcessId)
                         : kHelloRefusedPeer;
  }
  if (verdict.status == kHelloAccepted && !options_.skipSessionCheck &&
      pipe.PeerSessionId() != platform::CurrentSessionId()) {
    verdict.status = kHelloRefusedPeer;
  }
  if (verdict.status == kHelloAccepted) {
    DropClosedConnections();
    verdict.client = platform::ProcessHandle::Open(*clientProcessId);
    if (!verdict.client || connections_.size() >= options_.maxConnections) {
      verdict.status = kHelloRefusedPeer;
    }
  }
  std::optional<SectionBlock> block;
  std::optional<platform::PeerHandles> handles;
  if (verdict.status == kHelloAccepted) {
    if (request->section) {
      verdict.resources = ConnectionResources::Adopt(*request->section, hello.handles);
    } else {
      verdict.serverCreated = true;
      verdict.resources = ConnectionResources::Create(kChannelCount, kRingSize);
      if (verdict.resources) {
        handles.emplace(*verdict.client);
        block = verdict.resources->Describe(serverProcessId, *handles);
        if (!block) verdict.resources.reset();
      }
    }
    if (!verdict.resources) verdict.status = kHelloSetupFailed;
  }

  std::array<uint8_t, kHelloBytes> response{};
  IpcBuffer buffer = IpcBuffer::Fixed(response);
  const bool written = WriteHello(
      MakeHello(serverProcessId, clientProcessId.value_or(0), std::move(block), verdict.status),
      buffer);
  if (!written ||
      pipe.Send(buffer.Bytes(), handles ? &*handles : nullptr) != platform::PipeStatus::kOk ||
      verdict.status != kHelloAccepted) {
    if (verdict.resources) verdict.resources->StopEvent().Set();
    return;
  }
  auto connection =
      std::make_shared<ServerConnection>(listener_, *connectionClosed_, *clientProcessId);
  listener_.OnClientConnected(connection);
  if (!connection->Start(std::move(*verdict.resources), verdict.serverCreated,
                         std::move(verdict.client))) {
    listener_.OnClientDisconnected(*connection);
    return;
  }
  connections_.push_back(std::move(connection));
}

}  // namespace IPC
