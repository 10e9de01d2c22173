#pragma once

#include <json/value.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/framing.h"
#include "protocol/unique_fd.h"

namespace luxsim {

/// The client library's connection to the runtime service: one request at a time, each
/// answered before the next is sent. Safe to use from several threads.
class ServiceConnection {
 public:
  /// Connects to the service's socket at `path`; nothing, with the reason in `error`, when
  /// no service listens there.
  static std::unique_ptr<ServiceConnection> Connect(const std::string& path, std::string* error);

  /// Sends `request` (an "id" is added) and waits for its answer; nothing, with the reason in
  /// `error`, when the service cannot be reached or does not answer in time.
  std::optional<Json::Value> Call(Json::Value request, std::string* error);

  /// Takes over a connected socket.
  explicit ServiceConnection(UniqueFd socket) : socket_(std::move(socket)) {}

 private:
  bool SendAll(const std::string& bytes, std::string* error);
  std::optional<Json::Value> Receive(uint64_t id, std::string* error);

  std::mutex mutex_;  // guards every field below and the socket's use
  UniqueFd socket_;
  FrameDecoder decoder_;
  uint64_t nextId_ = 1;
};

}  // namespace luxsim
