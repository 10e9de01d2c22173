#include "ipc/connection_resources.h"

namespace IPC {

namespace {

using platform::Event;
using platform::EventReset;
using platform::OwnedHandle;

// The order of the rings' events in a section block: the creator's incoming-call,
// incoming-reply, outgoing-call and outgoing-reply rings.
constexpr ConnectionResources::Ring kBlockOrder[] = {
    ConnectionResources::kCreatorIncomingCalls,
    ConnectionResources::kCreatorIncomingReplies,
    ConnectionResources::kCreatorOutgoingCalls,
    ConnectionResources::kCreatorOutgoingReplies,
};

size_t SectionSize(int32_t channelCount, uint32_t ringSize) {
  return size_t{ConnectionResources::kRingsPerChannel} * ringSize *
         static_cast<size_t>(channelCount);
}

}  // namespace

std::optional<ConnectionResources> ConnectionResources::Create(int32_t channelCount,
                                                               uint32_t ringSize) {
  std::optional<platform::SharedSection> section =
      platform::SharedSection::Create(SectionSize(channelCount, ringSize));
  std::optional<Event> stop = Event::Create(EventReset::kManual);
  if (!section || !stop) return std::nullopt;
  std::vector<Event> events;
  const auto count = static_cast<size_t>(channelCount * kEventsPerChannel);
  events.reserve(count);
  while (events.size() < count) {
    std::optional<Event> event = Event::Create(EventReset::kAuto);
    if (!event) return std::nullopt;
    events.push_back(std::move(*event));
  }
  return ConnectionResources(std::move(*section), std::move(events), std::move(*stop), channelCount,
                             ringSize);
}

std::optional<ConnectionResources> ConnectionResources::Adopt(const SectionBlock& block,
                                                              platform::ReceivedHandles& handles) {
  if (block.channelCount < 1 || block.channelCount > kChannelCount || block.ringSize <= 0 ||
      block.ringSize > UINT32_MAX ||
      block.eventHandles.size() != static_cast<size_t>(block.channelCount * kEventsPerChannel)) {
    return std::nullopt;
  }
  const auto channelCount = static_cast<int32_t>(block.channelCount);
  const auto ringSize = static_cast<uint32_t>(block.ringSize);
  std::vector<std::optional<Event>> adopted(block.eventHandles.size());
  for (int32_t channel = 0; channel < channelCount; ++channel) {
    for (size_t position = 0; position < std::size(kBlockOrder); ++position) {
      const size_t value = static_cast<size_t>(channel) * kEventsPerChannel + position * 2;
      const size_t index = EventIndex(channel, kBlockOrder[position]);
      for (size_t pair = 0; pair < 2; ++pair) {
        adopted[index + pair] =
            Event::Adopt(handles.Take(block.eventHandles[value + pair]), EventReset::kAuto);
        if (!adopted[index + pair]) return std::nullopt;
      }
    }
  }
  std::optional<platform::SharedSection> section = platform::SharedSection::Open(
      handles.Take(block.sectionHandle), SectionSize(channelCount, ringSize));
  std::optional<Event> stop = Event::Adopt(handles.Take(block.stopHandle), EventReset::kManual);
  if (!section || !stop) return std::nullopt;
  std::vector<Event> events;
  events.reserve(adopted.size());
  for (std::optional<Event>& event : adopted) events.push_back(std::move(*event));
  return ConnectionResources(std::move(*section), std::move(events), std::move(*stop), channelCount,
                             ringSize);
}

std::optional<SectionBlock> ConnectionResources::Describe(uint32_t ownerProcessId,
                                                          platform::PeerHandles& handles) const {
  SectionBlock block;
  block.ownerProcessId = ownerProcessId;
  block.channelCount = channelCount_;
  block.ringSize = ringSize_;
  bool added = true;
  const auto add = [&handles, &added](const OwnedHandle& handle) {
    const std::optional<int64_t> reference = handles.Add(handle);
    added = added && reference.has_value();
    return reference.value_or(0);
  };
  for (int32_t channel = 0; channel < channelCount_; ++channel) {
    for (const Ring ring : kBlockOrder) {
      const size_t index = EventIndex(channel, ring);
      block.eventHandles.push_back(add(events_[index].Handle()));
      block.eventHandles.push_back(add(events_[index + 1].Handle()));
    }
  }
  block.sectionHandle = add(section_.Handle());
  block.stopHandle = add(stop_.Handle());
  if (!added) return std::nullopt;
  return block;
}

std::span<uint8_t> ConnectionResources::RingMemory(int32_t channel, Ring ring) const {
  const size_t offset =
      (static_cast<size_t>(channel) * kRingsPerChannel + static_cast<size_t>(ring)) * ringSize_;
  return section_.Memory().subspan(offset, ringSize_);
}

platform::Event& ConnectionResources::DataEvent(int32_t channel, Ring ring) {
  return events_[EventIndex(channel, ring)];
}

platform::Event& ConnectionResources::SpaceEvent(int32_t channel, Ring ring) {
  return events_[EventIndex(channel, ring) + 1];
}

}  // namespace IPC
