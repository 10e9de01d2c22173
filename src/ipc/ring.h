#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ipc/ipc_buffer.h"
#include "platform/event.h"
#include "platform/waitable.h"

namespace IPC {

// A ring is a 256-byte header (the write index at offset 0, written only by the writer; the
// read index at offset 128, written only by the reader) followed by blocks of 128 bytes. Both
// indices count blocks. A message travels as one or more fragments; a fragment starts at a
// block with a 16-byte header (block count, message sequence number, offset of the fragment in
// the message, total message length) followed by its data, and never wraps past the end of the
// ring: the writer fills the contiguous free blocks up to the end and then goes on from block 0.
// One block always stays free so that a full ring differs from an empty one.
inline constexpr uint32_t kRingHeaderBytes = 256;
inline constexpr uint32_t kWriteIndexOffset = 0;
inline constexpr uint32_t kReadIndexOffset = 128;
inline constexpr uint32_t kBlockBytes = 128;
inline constexpr uint32_t kFragmentHeaderBytes = 16;
/// Longest message a reader accepts.
inline constexpr uint32_t kMaxMessageBytes = 0x40000000;
/// A deadline (on the tick-count clock) that never comes: waits without a time limit.
inline constexpr uint64_t kNoDeadline = UINT64_MAX;

/// Blocks taken by a fragment of `dataBytes` bytes.
constexpr uint32_t FragmentBlocks(uint32_t dataBytes) {
  return dataBytes <= kBlockBytes - kFragmentHeaderBytes ? 1 : (dataBytes + 15) / kBlockBytes + 1;
}

/// Header of every fragment, as it lies in the ring.
struct FragmentHeader {
  uint32_t blocks;
  uint32_t sequence;
  uint32_t offset;
  uint32_t total;
};
static_assert(sizeof(FragmentHeader) == kFragmentHeaderBytes);

/// What both ends of a ring share: its memory, its data event (set by the writer after it
/// publishes) and its space event (set by the reader after it releases), and the signals that
/// end every wait on them. Each ring has exactly one writer and one reader.
class RingCommon {
 public:
  virtual ~RingCommon() = default;
  RingCommon(const RingCommon&) = delete;
  RingCommon& operator=(const RingCommon&) = delete;

  uint32_t BlockCount() const { return blockCount_; }
  /// True once the ring met something impossible (an index or fragment header out of bounds)
  /// and stopped; it is not used again.
  bool Failed() const { return failed_; }

 protected:
  /// A ring over `memory` (the header and the blocks). A wait ends early when one of
  /// `stopSignals` is signalled; they must outlive the ring.
  RingCommon(std::span<uint8_t> memory, platform::Event& dataEvent, platform::Event& spaceEvent,
             std::span<platform::Waitable* const> stopSignals);

  /// Waits for `event`; false when a stop signal ended the wait or `deadline` (milliseconds on
  /// the tick-count clock) passed.
  bool WaitFor(platform::Event& event, uint64_t deadline);
  std::atomic_ref<uint32_t> WriteIndex() const;
  std::atomic_ref<uint32_t> ReadIndex() const;
  uint8_t* Block(uint32_t index) const;
  uint32_t Advance(uint32_t position, uint32_t blocks) const;
  bool Fail();

  std::span<uint8_t> memory_;
  uint32_t blockCount_;
  platform::Event& dataEvent_;
  platform::Event& spaceEvent_;
  std::vector<platform::Waitable*> waitObjects_;  // the stop signals, then the event waited for
  bool failed_ = false;
};

/// The writing end of a ring.
class RingWriter : public RingCommon {
 public:
  RingWriter(std::span<uint8_t> memory, platform::Event& dataEvent, platform::Event& spaceEvent,
             std::span<platform::Waitable* const> stopSignals)
      : RingCommon(memory, dataEvent, spaceEvent, stopSignals) {}

  /// Waits until a block is free and returns a buffer that serializes straight into the
  /// contiguous free blocks; a message too large for them moves to storage of its own. Nothing
  /// when a stop signal ended the wait, `deadline` passed or the ring failed.
  std::optional<IpcBuffer> Reserve(uint64_t deadline = kNoDeadline);
  /// Publishes the message written into the buffer from the last Reserve: in place as one
  /// fragment, or copied out in fragments as large as the free space allows, waiting for space
  /// between them. False when stopped, `deadline` passed (a message may then be cut short, so
  /// the ring must not be used again) or the ring failed.
  bool Commit(const IpcBuffer& message, uint64_t deadline = kNoDeadline);

 private:
  /// Contiguous free blocks from the write position (0 when full or failed).
  uint32_t FreeBlocks();
  /// Waits for at least one free block; 0 when stopped, out of time or failed.
  uint32_t WaitForFreeBlocks(uint64_t deadline);
  void Publish(const FragmentHeader& header);

  uint32_t writePosition_ = 0;
  uint32_t sequence_ = 0;  // of the next message
};

/// The reading end of a ring. A message is valid until the next Read, TryRead or Release.
class RingReader : public RingCommon {
 public:
  RingReader(std::span<uint8_t> memory, platform::Event& dataEvent, platform::Event& spaceEvent,
             std::span<platform::Waitable* const> stopSignals)
      : RingCommon(memory, dataEvent, spaceEvent, stopSignals) {}

  /// The next complete message if there is one: a message of one fragment in place, a longer
  /// one from the reassembly buffer. Releases what was read before. Nothing when no message is
  /// complete yet or the ring failed (a corrupt fragment header stops the reader).
  std::optional<std::span<const uint8_t>> TryRead();
  /// Waits for the next complete message; nothing when stopped, `deadline` passed or the ring
  /// failed.
  std::optional<std::span<const uint8_t>> Read(uint64_t deadline = kNoDeadline);
  /// Hands the blocks read so far back to the writer.
  void Release();

 private:
  bool Reassemble(const FragmentHeader& header, const uint8_t* data, uint32_t length);

  uint32_t readPosition_ = 0;  // local position, ahead of the published read index
  uint32_t published_ = 0;
  uint32_t sequence_ = 0;            // expected in the next fragment
  std::vector<uint8_t> reassembly_;  // kept, grown up to the largest total seen
  bool reassembling_ = false;
  uint32_t total_ = 0;     // of the message being reassembled
  uint32_t received_ = 0;  // bytes of it so far
};

}  // namespace IPC
