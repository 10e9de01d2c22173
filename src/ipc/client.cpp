#include "ipc/client.h"

#include <array>
#include <string>

#include "ipc/connect_result.h"
#include "ipc/hello.h"
#include "platform/message_pipe.h"

namespace IPC {

namespace {

using platform::PipeStatus;

constexpr std::string_view kPipePrefix = "CorviaIPC";

}  // namespace

Client::~Client() { ResetTransport(nullptr); }

uint8_t Client::OnCall(int32_t, IpcBuffer& request, IpcBuffer& reply) {
  return Dispatch(request, reply);
}

void Client::OnDisconnected() {
  connected_.store(false);
  listener_.OnDisconnected();
}

int32_t Client::Connect(std::string_view serverName, const ConnectOptions& options) {
  std::lock_guard lock(connectLock_);
  ResetTransport(this);
  connected_.store(false);
  const int32_t result = Handshake(serverName, options);
  if (result == kConnected) connected_.store(IsTransportConnected());
  return result;
}

int32_t Client::Handshake(std::string_view serverName, const ConnectOptions& options) {
  platform::PipeConnection connection = platform::ConnectMessagePipe(
      std::string(kPipePrefix) + std::string(serverName), options.busyWaitMs);
  if (connection.status == PipeStatus::kAccessDenied) return kConnectAccessDenied;
  if (connection.status != PipeStatus::kOk) return kConnectPipeUnavailable;
  platform::MessagePipe& pipe = *connection.pipe;

  if (!options.skipSessionCheck) {
    const std::optional<uint32_t> session = pipe.PeerSessionId();
    if (!session || *session != platform::CurrentSessionId()) return kConnectRefused;
  }
  const std::optional<uint32_t> serverProcessId = pipe.PeerProcessId();
  if (!serverProcessId) return kConnectRefused;
  const uint32_t clientProcessId = platform::CurrentProcessId();

  // The side that can watch the other creates the section.
  std::optional<platform::ProcessHandle> server = platform::ProcessHandle::Open(*serverProcessId);
  const bool clientCreates = server.has_value() && !options.serverCreatesSection;
  std::optional<ConnectionResources> resources;
  std::optional<SectionBlock> block;
  std::optional<platform::PeerHandles> handles;
  if (clientCreates) {
    resources = ConnectionResources::Create(kChannelCount, kRingSize);
    if (!resources) return kConnectSetupFailed;
    handles.emplace(*server);
    block = resources->Describe(clientProcessId, *handles);
    if (!block) return kConnectSetupFailed;
  }
  // From here on a failure also tells an accepting server that the connection is off.
  const auto fail = [&resources](int32_t result) {
    if (resources) resources->StopEvent().Set();
    return result;
  };

  std::array<uint8_t, kHelloBytes> request{};
  IpcBuffer buffer = IpcBuffer::Fixed(request);
  if (!WriteHello(MakeHello(clientProcessId, *serverProcessId, std::move(block), std::nullopt),
                  buffer)) {
    return fail(kConnectSetupFailed);
  }
  platform::PipeMessage answer;
  const PipeStatus exchanged = pipe.Transact(buffer.Bytes(), handles ? &*handles : nullptr, answer,
                                             kHelloBytes, kMaxHelloHandles, options.helloTimeoutMs);
  if (exchanged == PipeStatus::kBroken) return fail(kConnectPipeUnavailable);
  if (exchanged != PipeStatus::kOk) return fail(kConnectTransactionFailed);
  connection.pipe.reset();  // the pipe serves only the hello

  HelloMessage response;
  const int32_t verdict =
      CheckHelloResponse(answer.bytes, *serverProcessId, clientProcessId, clientCreates, response);
  if (verdict != kConnected) return fail(verdict);
  if (!clientCreates) {
    if (answer.handlesTruncated) return fail(kConnectHandshakeInvalid);
    resources = ConnectionResources::Adopt(*response.section, answer.handles);
    if (!resources) return kConnectSetupFailed;
  }
  if (!StartTransport(std::move(*resources), clientCreates, std::move(server))) {
    return kConnectSetupFailed;
  }
  peerProcessId_.store(*serverProcessId);
  return kConnected;
}

}  // namespace IPC
