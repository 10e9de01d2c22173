#include "protocol/framing.h"

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace luxsim {

std::string EncodeFrame(const Json::Value& message) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  const std::string body = Json::writeString(builder, message);
  std::string frame;
  frame.reserve(4 + body.size());
  const uint32_t length = static_cast<uint32_t>(body.size());
  for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>(length >> shift));
  frame.append(body);
  return frame;
}

void FrameDecoder::Append(const char* bytes, size_t count) {
  if (failed_) return;
  // Drop what earlier messages used before the buffer grows.
  if (consumed_ > 0 && consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  } else if (consumed_ > 4096) {
    buffer_.erase(0, consumed_);
    consumed_ = 0;
  }
  buffer_.append(bytes, count);
}

std::optional<Json::Value> FrameDecoder::Next() {
  if (failed_ || buffer_.size() - consumed_ < 4) return std::nullopt;
  const auto* header = reinterpret_cast<const unsigned char*>(buffer_.data() + consumed_);
  const uint32_t length = static_cast<uint32_t>(header[0]) | static_cast<uint32_t>(header[1]) << 8 |
                          static_cast<uint32_t>(header[2]) << 16 |
                          static_cast<uint32_t>(header[3]) << 24;
  if (length > kMaxFrameBody) {
    failed_ = true;
    return std::nullopt;
  }
  if (buffer_.size() - consumed_ - 4 < length) return std::nullopt;
  const char* body = buffer_.data() + consumed_ + 4;
  consumed_ += 4 + length;

  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value message;
  std::string errors;
  if (!reader->parse(body, body + length, &message, &errors) || !message.isObject()) {
    failed_ = true;
    return std::nullopt;
  }
  return message;
}

}  // namespace luxsim
