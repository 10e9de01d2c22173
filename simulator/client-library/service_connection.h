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
  // How long the service may take to answer one request.
  static constexpr int kAnswerTimeoutMs = 10000;

  bool SendAll(const std::string& bytes, std::string* error);
  std::optional<Json::Value> Receive(uint64_t id, std::string* error);
  /// Waits for bytes at most `kAnswerTimeoutMs` and receives up to `size` of them; 0, with the
  /// reason in `error`, when none came in time or the connection ended.
  size_t ReceiveSome(char* buffer, size_t size, std::string* error);

  std::mutex mutex_;  // guards every field below and the socket's use
  UniqueFd socket_;
  FrameDecoder decoder_;
  uint64_t nextId_ = 1;
};

}  // namespace luxsim
