// Runs a ring reader against ring memory that the input scribbles on, mixed with messages of a
// well-behaved writer, the way a hostile peer could. The reader must never touch memory outside
// the ring or hand out a message outside the ring or its reassembly buffer; AddressSanitizer
// watches both (the ring is a heap block of exactly its size).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "fuzz_input.h"
#include "ipc/ring.h"
#include "platform/event.h"

namespace {

constexpr uint32_t kBlocks = 16;
constexpr size_t kRingBytes = IPC::kRingHeaderBytes + kBlocks * IPC::kBlockBytes;

// Events shared by every run; the stop event is always set, so no wait ever blocks.
struct Signals {
  platform::Event data = *platform::Event::Create(platform::EventReset::kAuto);
  platform::Event space = *platform::Event::Create(platform::EventReset::kAuto);
  platform::Event stop = *platform::Event::Create(platform::EventReset::kManual, true);
  std::array<platform::Waitable*, 1> stops = {&stop};
};

Signals& SharedSignals() {
  static Signals signals;
  return signals;
}

// Reads every complete message, touching each of its bytes.
void ReadAll(IPC::RingReader& reader) {
  volatile uint8_t sink = 0;
  while (const auto message = reader.TryRead()) {
    for (const uint8_t byte : *message) sink = sink ^ byte;
  }
  reader.Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Signals& signals = SharedSignals();
  const auto memory = std::make_unique<uint32_t[]>(kRingBytes / sizeof(uint32_t));
  const std::span<uint8_t> ring(reinterpret_cast<uint8_t*>(memory.get()), kRingBytes);
  IPC::RingWriter writer(ring, signals.data, signals.space, signals.stops);
  IPC::RingReader reader(ring, signals.data, signals.space, signals.stops);
  FuzzInput input({data, size});
  while (!input.Empty()) {
    switch (input.Take(1) % 5) {
      case 0: {  // scribble on the ring
        const size_t offset = input.Take(2) % kRingBytes;
        const auto bytes = input.TakeBytes(input.Take(1));
        std::memcpy(ring.data() + offset, bytes.data(),
                    std::min<size_t>(bytes.size(), kRingBytes - offset));
        break;
      }
      case 1: {  // move the write index
        const auto index = static_cast<uint32_t>(input.Take(4));
        std::memcpy(ring.data() + IPC::kWriteIndexOffset, &index, sizeof index);
        break;
      }
      case 2:
        ReadAll(reader);
        break;
      case 3: {  // a message from a well-behaved writer
        const std::vector<uint8_t> payload(input.Take(2) % 4096, 0x5A);
        if (auto buffer = writer.Reserve()) {
          buffer->WriteRaw(payload);
          writer.Commit(*buffer);
        }
        break;
      }
      default: {  // move the read index under the writer
        const auto index = static_cast<uint32_t>(input.Take(4));
        std::memcpy(ring.data() + IPC::kReadIndexOffset, &index, sizeof index);
        break;
      }
    }
  }
  ReadAll(reader);
  return 0;
}
