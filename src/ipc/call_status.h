#pragma once

#include <cstdint>
#include <string_view>

namespace IPC {

/// Result of a remote call.
enum CallStatus : uint8_t {
  kCallSuccess = 0,
  kCallDisconnected = 1,       // not connected, ring failure, or the peer went away
  kCallBadSignature = 2,       // arguments or reply do not match the expected layout
  kCallNotRegistered = 3,      // no deserializer registered under the called name
  kCallInvalidParameters = 4,  // channel index out of range
  kCallNotInitialized = 5,     // no transport (never connected)
  kCallInternalError = 6,      // malformed reply
  // Made by the caller's side alone, never taken from a reply: no reply within the call's time
  // limit. The connection is closed then, since a late reply would pass for the next call's.
  kCallTimedOut = 7,
};

/// The text shown for a call status.
std::string_view CallStatusText(uint8_t status);

/// Kind byte at the start of every call message.
enum CallKind : uint8_t {
  kCallKindCall = 0,   // a call by name: dispatched and answered
  kCallKindProbe = 1,  // answered with success, not dispatched (and sent on channel 2)
  kCallKindPost = 2,   // neither dispatched nor answered
};

/// First byte of every reply.
enum ReplyStatus : uint8_t {
  kReplySuccess = 1,  // the return data follows
  kReplyFailure = 3,  // a second byte holds the call status
};

}  // namespace IPC
