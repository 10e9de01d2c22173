#pragma once

#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace luxsim {

/// Largest message body a frame may carry.
inline constexpr size_t kMaxFrameBody = 1 << 20;

/// One message as it travels between a client library and the runtime service: the length of
/// the body (32-bit, little endian), then the body, a compact JSON object.
std::string EncodeFrame(const Json::Value& message);

/// Splits a byte stream into messages.
class FrameDecoder {
 public:
  /// Adds bytes received from the peer.
  void Append(const char* bytes, size_t count);

  /// The next complete message, or nothing until more bytes arrive. After a frame that is too
  /// long or whose body is not a JSON object the decoder fails for good.
  std::optional<Json::Value> Next();

  bool Failed() const { return failed_; }

 private:
  std::string buffer_;
  size_t consumed_ = 0;
  bool failed_ = false;
};

}  // namespace luxsim
