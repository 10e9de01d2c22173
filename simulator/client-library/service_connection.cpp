#include "service_connection.h"

#include "protocol/messages.h"

// What both socket backends share: one request at a time, answered by the message of its id.

namespace luxsim {

std::optional<Json::Value> ServiceConnection::Call(Json::Value request, std::string* error) {
  std::lock_guard lock(mutex_);
  const uint64_t id = nextId_++;
  request[key::kId] = Json::UInt64(id);
  if (!SendAll(EncodeFrame(request), error)) return std::nullopt;
  return Receive(id, error);
}

std::optional<Json::Value> ServiceConnection::Receive(uint64_t id, std::string* error) {
  for (;;) {
    while (std::optional<Json::Value> message = decoder_.Next()) {
      if ((*message)[key::kId].asUInt64() == id) return message;
    }
    if (decoder_.Failed()) {
      *error = "the runtime service sent a malformed message";
      return std::nullopt;
    }
    char buffer[4096];
    const size_t count = ReceiveSome(buffer, sizeof buffer, error);
    if (count == 0) return std::nullopt;
    decoder_.Append(buffer, count);
  }
}

}  // namespace luxsim
