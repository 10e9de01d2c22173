#include "ipc/transport.h"

#include <system_error>

#include "ipc/call_messages.h"
#include "ipc/call_status.h"
#include "platform/clock.h"

namespace IPC {

using Ring = ConnectionResources::Ring;

struct Transport::Channel {
  Channel(ConnectionResources& resources, int32_t index, bool creator,
          std::span<platform::Waitable* const> stops)
      : outgoingCalls(Make<RingWriter>(
            resources, index, creator ? Ring::kCreatorOutgoingCalls : Ring::kCreatorIncomingCalls,
            stops)),
        outgoingReplies(Make<RingWriter>(
            resources, index,
            creator ? Ring::kCreatorOutgoingReplies : Ring::kCreatorIncomingReplies, stops)),
        incomingCalls(Make<RingReader>(
            resources, index, creator ? Ring::kCreatorIncomingCalls : Ring::kCreatorOutgoingCalls,
            stops)),
        incomingReplies(Make<RingReader>(
            resources, index,
            creator ? Ring::kCreatorIncomingReplies : Ring::kCreatorOutgoingReplies, stops)),
        incomingCallData(resources.DataEvent(
            index, creator ? Ring::kCreatorIncomingCalls : Ring::kCreatorOutgoingCalls)) {}

  template <class R>
  static R Make(ConnectionResources& resources, int32_t index, Ring ring,
                std::span<platform::Waitable* const> stops) {
    return R(resources.RingMemory(index, ring), resources.DataEvent(index, ring),
             resources.SpaceEvent(index, ring), stops);
  }

  std::mutex callLock;         // held by the one call in progress on this channel
  RingWriter outgoingCalls;    // written under callLock
  RingWriter outgoingReplies;  // written by the transport thread
  RingReader incomingCalls;    // read by the transport thread
  RingReader incomingReplies;  // read under callLock
  platform::Event& incomingCallData;
};

Transport::Transport(TransportListener& listener) : listener_(listener) {}

Transport::~Transport() { Close(); }

bool Transport::Start(ConnectionResources resources, bool createdSection,
                      std::optional<platform::ProcessHandle> peer) {
  resources_ = std::make_unique<ConnectionResources>(std::move(resources));
  peer_ = std::move(peer);
  closing_ = platform::Event::Create(platform::EventReset::kManual);
  if (!closing_) {
    resources_->StopEvent().Set();
    return false;
  }
  stopSignals_ = {&*closing_, &resources_->StopEvent()};
  if (peer_) stopSignals_.push_back(&*peer_);
  for (int32_t index = 0; index < resources_->ChannelCount(); ++index) {
    channels_.push_back(
        std::make_unique<Channel>(*resources_, index, createdSection, stopSignals_));
  }
  connected_.store(true, std::memory_order_release);
  std::lock_guard lock(threadLock_);
  try {
    thread_ = std::thread(&Transport::Run, this);
  } catch (const std::system_error&) {
    connected_.store(false, std::memory_order_release);
    resources_->StopEvent().Set();
    return false;
  }
  return true;
}

void Transport::Close() {
  if (closing_) closing_->Set();
  std::lock_guard lock(threadLock_);
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Transport::Run() {
  std::vector<platform::Waitable*> waits = stopSignals_;
  for (const auto& channel : channels_) waits.push_back(&channel->incomingCallData);
  for (;;) {
    const uint32_t signalled = platform::WaitForMultiple(waits, platform::kInfinite);
    if (signalled < stopSignals_.size() || signalled >= waits.size()) break;
    const auto index = static_cast<int32_t>(signalled - stopSignals_.size());
    if (!ServeIncomingCalls(*channels_[static_cast<size_t>(index)], index)) break;
  }
  connected_.store(false, std::memory_order_release);
  resources_->StopEvent().Set();
  closing_->Set();
  listener_.OnDisconnected();
}

bool Transport::ServeIncomingCalls(Channel& channel, int32_t index) {
  while (std::optional<std::span<const uint8_t>> message = channel.incomingCalls.TryRead()) {
    IpcBuffer request = IpcBuffer::Reader(*message);
    if (!Answer(channel, index, request)) return false;
  }
  channel.incomingCalls.Release();
  return !channel.incomingCalls.Failed();
}

bool Transport::Answer(Channel& channel, int32_t index, IpcBuffer& request) {
  const std::optional<uint8_t> kind = ReadCallKind(request);
  if (kind == kCallKindPost) return true;
  std::optional<IpcBuffer> reply = channel.outgoingReplies.Reserve();
  if (!reply) return false;
  WriteAnswer(kind, request, *reply, [this, index](IpcBuffer& call, IpcBuffer& answer) {
    return listener_.OnCall(index, call, answer);
  });
  return channel.outgoingReplies.Commit(*reply);
}

uint8_t Transport::EndInterruptedCall(const RingCommon& ring, uint64_t deadline) {
  const bool timedOut = deadline != kNoDeadline && platform::TickCountMs() >= deadline;
  if (ring.Failed() || timedOut) closing_->Set();
  return timedOut ? kCallTimedOut : kCallDisconnected;
}

uint8_t Transport::Call(int32_t index, const CallWriter& writeCall, const ReplyReader& readReply,
                        uint32_t timeoutMs) {
  const uint64_t deadline =
      timeoutMs == platform::kInfinite ? kNoDeadline : platform::TickCountMs() + timeoutMs;
  if (!IsConnected()) return kCallDisconnected;
  if (index < 0 || index >= ChannelCount()) return kCallInvalidParameters;
  Channel& channel = *channels_[static_cast<size_t>(index)];
  // A call before this one holds the turn at most until its own time limit passes.
  std::lock_guard lock(channel.callLock);
  std::optional<IpcBuffer> message = channel.outgoingCalls.Reserve(deadline);
  if (!message) return EndInterruptedCall(channel.outgoingCalls, deadline);
  if (!message->WriteByte(kCallKindCall) || !writeCall(*message) || message->HasError()) {
    return kCallBadSignature;
  }
  if (!channel.outgoingCalls.Commit(*message, deadline)) {
    return EndInterruptedCall(channel.outgoingCalls, deadline);
  }
  std::optional<std::span<const uint8_t>> bytes = channel.incomingReplies.Read(deadline);
  if (!bytes) return EndInterruptedCall(channel.incomingReplies, deadline);
  const uint8_t result = ReadReply(*bytes, readReply);
  channel.incomingReplies.Release();
  return result;
}

}  // namespace IPC
