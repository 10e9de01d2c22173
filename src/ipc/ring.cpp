#include "ipc/ring.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/clock.h"

namespace IPC {

namespace {

constexpr uint32_t kMinBlocks = 2;  // one for data, one kept free

uint32_t BlocksIn(std::span<uint8_t> memory) {
  if (memory.size() < kRingHeaderBytes + kMinBlocks * kBlockBytes) return 0;
  return static_cast<uint32_t>(
      std::min<size_t>((memory.size() - kRingHeaderBytes) / kBlockBytes, UINT32_MAX / kBlockBytes));
}

}  // namespace

RingCommon::RingCommon(std::span<uint8_t> memory, platform::Event& dataEvent,
                       platform::Event& spaceEvent,
                       std::span<platform::Waitable* const> stopSignals)
    : memory_(memory),
      blockCount_(BlocksIn(memory)),
      dataEvent_(dataEvent),
      spaceEvent_(spaceEvent),
      waitObjects_(stopSignals.begin(), stopSignals.end()) {
  waitObjects_.push_back(nullptr);
  failed_ = blockCount_ == 0 || waitObjects_.size() > platform::kMaximumWaitObjects;
}

bool RingCommon::WaitFor(platform::Event& event, uint64_t deadline) {
  uint32_t timeoutMs = platform::kInfinite;
  if (deadline != kNoDeadline) {
    const uint64_t now = platform::TickCountMs();
    if (now >= deadline) return false;
    timeoutMs = static_cast<uint32_t>(std::min<uint64_t>(deadline - now, platform::kInfinite - 1));
  }
  waitObjects_.back() = &event;
  return platform::WaitForMultiple(waitObjects_, timeoutMs) == waitObjects_.size() - 1;
}

std::atomic_ref<uint32_t> RingCommon::WriteIndex() const {
  return std::atomic_ref<uint32_t>(
      *reinterpret_cast<uint32_t*>(memory_.data() + kWriteIndexOffset));
}

std::atomic_ref<uint32_t> RingCommon::ReadIndex() const {
  return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(memory_.data() + kReadIndexOffset));
}

uint8_t* RingCommon::Block(uint32_t index) const {
  return memory_.data() + kRingHeaderBytes + static_cast<size_t>(index) * kBlockBytes;
}

uint32_t RingCommon::Advance(uint32_t position, uint32_t blocks) const {
  position += blocks;
  return position == blockCount_ ? 0 : position;
}

bool RingCommon::Fail() {
  failed_ = true;
  return false;
}

uint32_t RingWriter::FreeBlocks() {
  if (failed_) return 0;
  const uint32_t read = ReadIndex().load(std::memory_order_acquire);
  if (read >= blockCount_) {
    Fail();
    return 0;
  }
  if (read > writePosition_) return read - writePosition_ - 1;
  return blockCount_ - writePosition_ - (read == 0 ? 1 : 0);
}

uint32_t RingWriter::WaitForFreeBlocks(uint64_t deadline) {
  for (;;) {
    const uint32_t free = FreeBlocks();
    if (free > 0 || failed_) return free;
    if (!WaitFor(spaceEvent_, deadline)) return 0;
  }
}

std::optional<IpcBuffer> RingWriter::Reserve(uint64_t deadline) {
  const uint32_t free = WaitForFreeBlocks(deadline);
  if (free == 0) return std::nullopt;
  return IpcBuffer::Spilling({Block(writePosition_) + kFragmentHeaderBytes,
                              size_t{free} * kBlockBytes - kFragmentHeaderBytes});
}

void RingWriter::Publish(const FragmentHeader& header) {
  std::memcpy(Block(writePosition_), &header, sizeof header);
  writePosition_ = Advance(writePosition_, header.blocks);
  WriteIndex().exchange(writePosition_, std::memory_order_acq_rel);
  dataEvent_.Set();
}

bool RingWriter::Commit(const IpcBuffer& message, uint64_t deadline) {
  const std::span<const uint8_t> bytes = message.Bytes();
  if (failed_ || message.HasError() || bytes.empty()) return false;
  const auto total = static_cast<uint32_t>(bytes.size());
  if (!message.OwnsStorage()) {
    Publish({FragmentBlocks(total), sequence_++, 0, total});
    return true;
  }
  for (uint32_t offset = 0; offset < total;) {
    const uint32_t free = WaitForFreeBlocks(deadline);
    if (free == 0) return false;
    const uint32_t length = std::min(total - offset, free * kBlockBytes - kFragmentHeaderBytes);
    std::memcpy(Block(writePosition_) + kFragmentHeaderBytes, bytes.data() + offset, length);
    Publish({FragmentBlocks(length), sequence_, offset, total});
    offset += length;
  }
  ++sequence_;
  return true;
}

std::optional<std::span<const uint8_t>> RingReader::TryRead() {
  Release();
  while (!failed_) {
    const uint32_t write = WriteIndex().load(std::memory_order_acquire);
    if (write >= blockCount_) {
      Fail();
      break;
    }
    if (write == readPosition_) break;
    // A fragment lies between the read position and the write index, or the end of the ring
    // when the writer went on from block 0.
    const uint32_t available =
        write > readPosition_ ? write - readPosition_ : blockCount_ - readPosition_;
    FragmentHeader header;
    std::memcpy(&header, Block(readPosition_), sizeof header);
    if (header.blocks == 0 || header.blocks > available || header.sequence != sequence_ ||
        header.total == 0 || header.total > kMaxMessageBytes || header.offset >= header.total) {
      Fail();
      break;
    }
    const uint32_t length =
        std::min(header.total - header.offset, header.blocks * kBlockBytes - kFragmentHeaderBytes);
    const uint8_t* data = Block(readPosition_) + kFragmentHeaderBytes;
    readPosition_ = Advance(readPosition_, header.blocks);
    if (!reassembling_ && header.offset == 0 && length == header.total) {
      ++sequence_;
      return std::span<const uint8_t>(data, length);
    }
    if (!Reassemble(header, data, length)) break;
    Release();
    if (received_ == total_) {
      reassembling_ = false;
      ++sequence_;
      return std::span<const uint8_t>(reassembly_.data(), total_);
    }
  }
  return std::nullopt;
}

bool RingReader::Reassemble(const FragmentHeader& header, const uint8_t* data, uint32_t length) {
  if (!reassembling_) {
    if (header.offset != 0) return Fail();
    reassembling_ = true;
    total_ = header.total;
    received_ = 0;
  } else if (header.offset != received_ || header.total != total_) {
    return Fail();
  }
  // The buffer grows with the data that actually arrives (at least doubling, at most to the
  // total), so a header alone cannot make the reader claim the memory of a huge message.
  const size_t needed = size_t{received_} + length;
  if (needed > reassembly_.size()) {
    try {
      reassembly_.resize(std::min<size_t>(total_, std::max(needed, 2 * reassembly_.size())));
    } catch (const std::bad_alloc&) {
      return Fail();
    }
  }
  std::memcpy(reassembly_.data() + received_, data, length);
  received_ += length;
  return true;
}

std::optional<std::span<const uint8_t>> RingReader::Read(uint64_t deadline) {
  for (;;) {
    if (auto message = TryRead()) return message;
    if (failed_ || !WaitFor(dataEvent_, deadline)) return std::nullopt;
  }
}

void RingReader::Release() {
  if (readPosition_ == published_) return;
  published_ = readPosition_;
  ReadIndex().exchange(published_, std::memory_order_acq_rel);
  spaceEvent_.Set();
}

}  // namespace IPC
