#include "ipc/hello.h"

#include "ipc/connect_result.h"

namespace IPC {

namespace {

constexpr int64_t kMinBlockRingSize = 256;
constexpr int64_t kMaxBlockRingSize = 0x100000;
// Longest magic or greeting worth reading; anything longer is wrong anyway.
constexpr int64_t kMaxWordLength = 64;

bool ReadSectionBlock(IpcBuffer& buffer, SectionBlock& block) {
  if (!buffer.ReadInt(block.ownerProcessId) || !buffer.ReadInt(block.channelCount) ||
      !buffer.ReadInt(block.ringSize)) {
    return false;
  }
  if (block.ownerProcessId == 0 || block.channelCount < 1 || block.channelCount > kChannelCount ||
      block.ringSize < kMinBlockRingSize || block.ringSize > kMaxBlockRingSize) {
    return false;
  }
  block.eventHandles.resize(static_cast<size_t>(block.channelCount * kEventsPerChannel));
  for (int64_t& handle : block.eventHandles) {
    if (!buffer.ReadInt(handle)) return false;
  }
  return buffer.ReadInt(block.sectionHandle) && buffer.ReadInt(block.stopHandle);
}

bool WriteSectionBlock(const SectionBlock& block, IpcBuffer& buffer) {
  bool written = buffer.WriteInt(block.ownerProcessId) && buffer.WriteInt(block.channelCount) &&
                 buffer.WriteInt(block.ringSize);
  for (const int64_t handle : block.eventHandles) written = written && buffer.WriteInt(handle);
  return written && buffer.WriteInt(block.sectionHandle) && buffer.WriteInt(block.stopHandle);
}

bool IsThisVersion(const HelloMessage& hello) {
  return hello.magic == kHelloMagic && hello.greeting == kHelloGreeting &&
         hello.channelCount == kChannelCount && hello.ringSize == kRingSize;
}

// The block describes the connection the hello describes, and its creator is `owner`.
bool BlockAgrees(const HelloMessage& hello, uint32_t owner) {
  const SectionBlock& block = *hello.section;
  return block.channelCount == hello.channelCount && block.ringSize == hello.ringSize &&
         block.ownerProcessId == owner;
}

}  // namespace

HelloMessage MakeHello(uint32_t senderProcessId, uint32_t receiverProcessId,
                       std::optional<SectionBlock> section, std::optional<int64_t> status) {
  HelloMessage hello;
  hello.magic = kHelloMagic;
  hello.greeting = kHelloGreeting;
  hello.senderProcessId = senderProcessId;
  hello.receiverProcessId = receiverProcessId;
  hello.channelCount = kChannelCount;
  hello.ringSize = kRingSize;
  hello.section = std::move(section);
  hello.status = status;
  return hello;
}

bool WriteHello(const HelloMessage& hello, IpcBuffer& buffer) {
  bool written = buffer.WriteString(hello.magic) && buffer.WriteString(hello.greeting) &&
                 buffer.WriteInt(hello.senderProcessId) &&
                 buffer.WriteInt(hello.receiverProcessId) && buffer.WriteInt(hello.channelCount) &&
                 buffer.WriteInt(hello.ringSize) && buffer.WriteBool(hello.section.has_value());
  if (hello.section) written = written && WriteSectionBlock(*hello.section, buffer);
  if (hello.status) written = written && buffer.WriteInt(*hello.status);
  return written;
}

std::optional<HelloMessage> ReadHello(std::span<const uint8_t> bytes, HelloKind kind) {
  IpcBuffer buffer = IpcBuffer::Reader(bytes);
  HelloMessage hello;
  bool sectionPresent = false;
  if (!buffer.ReadString(hello.magic, kMaxWordLength) ||
      !buffer.ReadString(hello.greeting, kMaxWordLength) ||
      !buffer.ReadInt(hello.senderProcessId) || !buffer.ReadInt(hello.receiverProcessId) ||
      !buffer.ReadInt(hello.channelCount) || !buffer.ReadInt(hello.ringSize) ||
      !buffer.ReadBool(sectionPresent)) {
    return std::nullopt;
  }
  if (sectionPresent) {
    SectionBlock block;
    if (!ReadSectionBlock(buffer, block)) return std::nullopt;
    hello.section = std::move(block);
  }
  if (kind == HelloKind::kResponse) {
    int64_t status = 0;
    if (!buffer.ReadInt(status)) return std::nullopt;
    hello.status = status;
  }
  if (buffer.HasError() || !buffer.AtEnd()) return std::nullopt;
  return hello;
}

int64_t CheckHelloRequest(const HelloMessage& request, uint32_t clientProcessId,
                          uint32_t serverProcessId) {
  if (!IsThisVersion(request)) return kHelloRefusedVersion;
  if (request.senderProcessId != clientProcessId || request.receiverProcessId != serverProcessId) {
    return kHelloRefusedPeer;
  }
  if (request.section && !BlockAgrees(request, clientProcessId)) return kHelloRefusedVersion;
  return kHelloAccepted;
}

int32_t CheckHelloResponse(std::span<const uint8_t> bytes, uint32_t serverProcessId,
                           uint32_t clientProcessId, bool clientCreatedSection,
                           HelloMessage& response) {
  if (bytes.empty()) return kConnectHandshakeInvalid;
  std::optional<HelloMessage> parsed = ReadHello(bytes, HelloKind::kResponse);
  if (!parsed || !IsThisVersion(*parsed) || parsed->senderProcessId != serverProcessId ||
      parsed->receiverProcessId != clientProcessId) {
    return kConnectHandshakeInvalid;
  }
  switch (*parsed->status) {
    case kHelloAccepted:
      break;
    case kHelloRefusedPeer:
      return kConnectRefused;
    case kHelloSetupFailed:
      return kConnectSetupFailed;
    default:
      return kConnectHandshakeInvalid;
  }
  const bool serverCreatedSection = parsed->section.has_value();
  if (serverCreatedSection == clientCreatedSection) return kConnectHandshakeInvalid;
  if (serverCreatedSection && !BlockAgrees(*parsed, serverProcessId)) {
    return kConnectHandshakeInvalid;
  }
  response = std::move(*parsed);
  return kConnected;
}

}  // namespace IPC
