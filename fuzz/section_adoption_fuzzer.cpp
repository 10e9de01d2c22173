// The section block of a peer's hello and the handles that came with it, as a hostile peer may
// make them: any counts, sizes and handle values, and handles of any kind in any order. The
// handles are duplicates of real ones: the events, section and stop event of one real
// connection, a section of another size, and a descriptor of another kind. Input: the block's
// channel count and ring size (2 bytes each; a ring size with the top bit set is taken as the
// real one), the handle values (1 byte each: the count, then the values, then section and
// stop), then which handles travel and in which order (1 byte each, to the end).
//
// Checks: adopted resources cover memory that can be read and written to its last byte.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "fuzz_input.h"
#include "ipc/connection_resources.h"
#include "ipc/hello.h"
#include "platform/shared_section.h"

namespace {

using IPC::ConnectionResources;

constexpr uint32_t kRingSize = 4096;

// The handles a peer could send: those of one real connection, then the odd ones.
struct Offered {
  Offered() {
    connection.emplace(*ConnectionResources::Create(IPC::kChannelCount, kRingSize));
    platform::PeerHandles described(*platform::ProcessHandle::Open(platform::CurrentProcessId()));
    connection->Describe(1, described);
    handles = described.Carried();
    handles.push_back(&otherSection->Handle());
    int ends[2];
    if (pipe(ends) != 0) std::abort();
    pipeEnd.Reset(ends[0]);
    pipeOtherEnd.Reset(ends[1]);
    handles.push_back(&pipeEnd);
  }
  std::optional<ConnectionResources> connection;
  std::optional<platform::SharedSection> otherSection = platform::SharedSection::Create(4096);
  platform::OwnedHandle pipeEnd;
  platform::OwnedHandle pipeOtherEnd;
  std::vector<const platform::OwnedHandle*> handles;
};

void Touch(const ConnectionResources& resources) {
  for (int32_t channel = 0; channel < resources.ChannelCount(); ++channel) {
    for (const auto ring : {ConnectionResources::kCreatorOutgoingCalls,
                            ConnectionResources::kCreatorIncomingReplies}) {
      const std::span<uint8_t> memory = resources.RingMemory(channel, ring);
      memory.front() ^= memory.back();
      memory.back() ^= memory.front();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Offered offered;
  FuzzInput input({data, size});
  IPC::SectionBlock block;
  block.ownerProcessId = 1;
  block.channelCount = static_cast<int16_t>(input.Take(2));
  const uint64_t ringSize = input.Take(2);
  block.ringSize = (ringSize & 0x8000) != 0 ? kRingSize : static_cast<int64_t>(ringSize);
  for (uint64_t count = input.Take(1) % 32; count > 0; --count) {
    block.eventHandles.push_back(static_cast<int8_t>(input.Take(1)));
  }
  block.sectionHandle = static_cast<int8_t>(input.Take(1));
  block.stopHandle = static_cast<int8_t>(input.Take(1));
  std::vector<platform::OwnedHandle> carried;
  while (!input.Empty() && carried.size() < IPC::kMaxHelloHandles) {
    const platform::OwnedHandle* handle = offered.handles[input.Take(1) % offered.handles.size()];
    carried.emplace_back(dup(static_cast<int>(handle->Get())));
  }
  platform::ReceivedHandles received(std::move(carried));
  if (std::optional<ConnectionResources> adopted = ConnectionResources::Adopt(block, received)) {
    Touch(*adopted);
  }
  return 0;
}
