#include "ipc/call_deserializer.h"

namespace IPC {

bool WriteReturnData(IpcBuffer& reply, int64_t argumentCount) {
  return reply.WriteInt(0) && reply.WriteInt(argumentCount);
}

uint8_t CheckReturnData(IpcBuffer& reply) {
  int64_t result = 0;
  int64_t count = 0;
  if (!reply.ReadInt(result) || !reply.ReadInt(count) || !reply.AtEnd()) return kCallBadSignature;
  return kCallSuccess;
}

}  // namespace IPC
