#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ipc/ipc_buffer.h"

namespace IPC {

// The hello exchange that opens every connection: the client sends a request, the server
// answers with a response. Both are serialized with IpcBuffer:
//   magic (string), greeting (string), sender process id, receiver process id, channel count,
//   ring size (integers), section present (bool), the section block when present, and in the
//   response only, the status (integer).
inline constexpr std::string_view kHelloMagic = "CorviaIPC002\r\n";
inline constexpr std::string_view kHelloGreeting = "Hello";
inline constexpr int32_t kChannelCount = 3;
inline constexpr uint32_t kRingSize = 0x40000;
/// Largest hello request, and the room for the response.
inline constexpr size_t kHelloBytes = 512;
/// Event handles per channel in a section block: four rings, a data and a space event each.
inline constexpr int32_t kEventsPerChannel = 8;
/// Most handles a hello can refer to: the events of three channels, the section, the stop event.
inline constexpr size_t kMaxHelloHandles = kChannelCount * kEventsPerChannel + 2;

/// Status of a hello response.
enum HelloStatus : int64_t {
  kHelloAccepted = 0,
  kHelloRefusedPeer = 1,     // the client is not who it claims, or not in the server's session
  kHelloRefusedVersion = 2,  // the request is malformed or of another version
  kHelloSetupFailed = 3,     // the section or its handles could not be set up
};

/// What the creator of the section tells its peer about it. Handle values index the handles
/// that travel with the hello message.
struct SectionBlock {
  int64_t ownerProcessId = 0;  // the creator's process id, non-zero
  int64_t channelCount = 0;    // 1 to 3
  int64_t ringSize = 0;        // 256 to 0x100000 bytes
  /// Per channel, as seen from the creator: incoming-call ring (data event, space event),
  /// incoming-reply ring, outgoing-call ring, outgoing-reply ring.
  std::vector<int64_t> eventHandles;
  int64_t sectionHandle = 0;
  int64_t stopHandle = 0;

  friend bool operator==(const SectionBlock&, const SectionBlock&) = default;
};

struct HelloMessage {
  std::string magic;
  std::string greeting;
  int64_t senderProcessId = 0;
  int64_t receiverProcessId = 0;
  int64_t channelCount = 0;
  int64_t ringSize = 0;
  std::optional<SectionBlock> section;
  std::optional<int64_t> status;  // responses only

  friend bool operator==(const HelloMessage&, const HelloMessage&) = default;
};

enum class HelloKind { kRequest, kResponse };

/// A request or response of this version with the given identities.
HelloMessage MakeHello(uint32_t senderProcessId, uint32_t receiverProcessId,
                       std::optional<SectionBlock> section, std::optional<int64_t> status);
/// Serializes `hello` into `buffer`; false when it does not fit.
bool WriteHello(const HelloMessage& hello, IpcBuffer& buffer);
/// Parses a request or response: every field present, the block's counts and sizes in range,
/// nothing left over. Nothing when it is malformed.
std::optional<HelloMessage> ReadHello(std::span<const uint8_t> bytes, HelloKind kind);

/// The server's verdict on a parsed request from `clientProcessId` (known from the pipe) to
/// `serverProcessId`: kHelloAccepted, kHelloRefusedVersion or kHelloRefusedPeer. The section
/// itself is checked when it is set up.
int64_t CheckHelloRequest(const HelloMessage& request, uint32_t clientProcessId,
                          uint32_t serverProcessId);

/// The client's verdict on the response bytes from `serverProcessId`: the connect result code
/// (0 when the server accepted and exactly one side created the section; 2 for a missing,
/// malformed or mismatched response or a disagreement about the section; 4 for status 1; 5 for
/// status 3). On 0, `response` holds the parsed response.
int32_t CheckHelloResponse(std::span<const uint8_t> bytes, uint32_t serverProcessId,
                           uint32_t clientProcessId, bool clientCreatedSection,
                           HelloMessage& response);

}  // namespace IPC
