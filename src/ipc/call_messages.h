#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "ipc/ipc_buffer.h"

namespace IPC {

// What a call message and its reply carry besides the arguments and the return data: the kind
// byte that opens a call, the status byte (and for a failure the call status) that opens a
// reply. Both come from the peer, so reading them accepts any bytes.

/// Dispatches a call: reads its name and arguments from `request`, writes the return data into
/// `reply` and returns the call status.
using CallDispatcher = std::function<uint8_t(IpcBuffer& request, IpcBuffer& reply)>;
/// Reads the return data of a success reply and returns the call status it makes.
using ReturnDataReader = std::function<uint8_t(IpcBuffer& returnData)>;

/// The kind byte at the start of the call message `request`; nothing when it has none.
std::optional<uint8_t> ReadCallKind(IpcBuffer& request);

/// Writes into the empty `reply` the answer to a call of `kind` whose name and arguments follow
/// in `request`: a call goes to `dispatch`, a probe succeeds at once, a call without a kind or
/// of an unknown kind is a bad signature. Kind 2 (a post) is never answered: its caller does
/// not ask for this.
void WriteAnswer(std::optional<uint8_t> kind, IpcBuffer& request, IpcBuffer& reply,
                 const CallDispatcher& dispatch);

/// The call status of the reply message `bytes`: what `readReturnData` makes of the return data
/// of a success reply, the callee's status of a failure reply, and "Internal IPC error" for a
/// reply of any other shape (also for a failure claiming success or a time-out, which only the
/// caller's side can know).
uint8_t ReadReply(std::span<const uint8_t> bytes, const ReturnDataReader& readReturnData);

}  // namespace IPC
