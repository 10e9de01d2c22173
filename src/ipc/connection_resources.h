#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ipc/hello.h"
#include "platform/event.h"
#include "platform/handle.h"
#include "platform/message_pipe.h"
#include "platform/shared_section.h"

namespace IPC {

/// The objects two processes share for one connection: a section holding four rings per
/// channel, a data event and a space event per ring, and the connection's stop event.
///
/// The section is 4 x ring size x channel count bytes, one group of four rings per channel at
/// offset 4 x ring size x channel. Within a group the rings are, from the creator's side: its
/// outgoing-call ring, its outgoing-reply ring, its incoming-call ring, its incoming-reply ring;
/// the peer sees the same rings in the mirrored roles.
class ConnectionResources {
 public:
  /// Positions of the rings within a channel's group.
  enum Ring : int32_t {
    kCreatorOutgoingCalls = 0,
    kCreatorOutgoingReplies = 1,
    kCreatorIncomingCalls = 2,
    kCreatorIncomingReplies = 3,
  };
  static constexpr int32_t kRingsPerChannel = 4;

  /// New resources for `channelCount` channels of rings of `ringSize` bytes.
  static std::optional<ConnectionResources> Create(int32_t channelCount, uint32_t ringSize);
  /// Takes over the resources the peer described in `block`, whose handle values are
  /// references into `handles`. Fails unless every value names a distinct handle of the right
  /// kind and the section has the size the block implies.
  static std::optional<ConnectionResources> Adopt(const SectionBlock& block,
                                                  platform::ReceivedHandles& handles);

  ConnectionResources(ConnectionResources&&) = default;
  ConnectionResources& operator=(ConnectionResources&&) = default;

  /// The block that describes these resources to the peer, for the creator `ownerProcessId`,
  /// its handle values the references `handles` gives for them; nothing when a handle cannot
  /// be passed to the peer.
  std::optional<SectionBlock> Describe(uint32_t ownerProcessId,
                                       platform::PeerHandles& handles) const;

  int32_t ChannelCount() const { return channelCount_; }
  uint32_t RingSize() const { return ringSize_; }
  std::span<uint8_t> RingMemory(int32_t channel, Ring ring) const;
  platform::Event& DataEvent(int32_t channel, Ring ring);
  platform::Event& SpaceEvent(int32_t channel, Ring ring);
  platform::Event& StopEvent() { return stop_; }

 private:
  ConnectionResources(platform::SharedSection section, std::vector<platform::Event> events,
                      platform::Event stop, int32_t channelCount, uint32_t ringSize)
      : section_(std::move(section)),
        events_(std::move(events)),
        stop_(std::move(stop)),
        channelCount_(channelCount),
        ringSize_(ringSize) {}
  static size_t EventIndex(int32_t channel, Ring ring) {
    return static_cast<size_t>(channel * kRingsPerChannel + ring) * 2;
  }

  platform::SharedSection section_;
  std::vector<platform::Event> events_;  // data and space event of each ring, in section order
  platform::Event stop_;
  int32_t channelCount_;
  uint32_t ringSize_;
};

}  // namespace IPC
