#include "listener_backlog.h"

namespace luxsim {

bool ListenerBacklog::Offer(std::vector<std::byte> packet, size_t recordCount) {
  if (queuedRecords_ + recordCount > recordLimit_) {
    droppedRecords_ += recordCount;
    return false;
  }
  queuedRecords_ += recordCount;
  packets_.push_back({std::move(packet), recordCount});
  return true;
}

std::span<const std::byte> ListenerBacklog::Pending() const {
  if (packets_.empty()) return {};
  return std::span<const std::byte>(packets_.front().bytes).subspan(sentOfFront_);
}

void ListenerBacklog::Consume(size_t count) {
  while (count > 0 && !packets_.empty()) {
    const size_t rest = packets_.front().bytes.size() - sentOfFront_;
    if (count < rest) {
      sentOfFront_ += count;
      return;
    }
    count -= rest;
    queuedRecords_ -= packets_.front().recordCount;
    packets_.pop_front();
    sentOfFront_ = 0;
  }
}

}  // namespace luxsim
