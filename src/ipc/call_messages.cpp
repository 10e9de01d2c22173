#include "ipc/call_messages.h"

#include "ipc/call_status.h"

namespace IPC {

std::optional<uint8_t> ReadCallKind(IpcBuffer& request) {
  uint8_t kind = 0;
  if (!request.ReadByte(kind)) return std::nullopt;
  return kind;
}

void WriteAnswer(std::optional<uint8_t> kind, IpcBuffer& request, IpcBuffer& reply,
                 const CallDispatcher& dispatch) {
  uint8_t status = kCallSuccess;
  reply.WriteByte(kReplySuccess);
  if (kind == kCallKindCall) {
    status = dispatch(request, reply);
  } else if (kind != kCallKindProbe) {
    status = kCallBadSignature;
  }
  if (status != kCallSuccess || reply.HasError()) {
    reply.Rewind();
    reply.WriteByte(kReplyFailure);
    reply.WriteByte(status != kCallSuccess ? status : uint8_t{kCallInternalError});
  }
}

uint8_t ReadReply(std::span<const uint8_t> bytes, const ReturnDataReader& readReturnData) {
  IpcBuffer reply = IpcBuffer::Reader(bytes);
  uint8_t status = 0;
  if (!reply.ReadByte(status)) return kCallInternalError;
  if (status == kReplySuccess) return readReturnData(reply);
  uint8_t code = kCallSuccess;
  if (status != kReplyFailure || !reply.ReadByte(code) || code == kCallSuccess ||
      code == kCallTimedOut) {
    return kCallInternalError;
  }
  return code;
}

}  // namespace IPC
