// The messages of remote calls as the peer writes them: an incoming call (its kind byte, the
// function name and the arguments) is answered the way the transport answers it, through a
// protocol with the deserializers the validator and the simulated shell use; a reply is read
// the way a caller reads it. Input: a byte choosing the message (even: a call, odd: a reply),
// then the message.
//
// Checks: an answer is always a reply its caller can read, successful exactly for a call that
// reached a function, and a reply never reads as the caller's own time-out.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "ipc/call_deserializer.h"
#include "ipc/call_messages.h"
#include "ipc/call_status.h"
#include "ipc/protocol.h"

namespace {

struct Functions {
  void ToClient(std::string_view message) { bytes += message.size(); }
  void ToHub(std::string message) { bytes += message.size(); }
  void Pair(int32_t number, bool flag) { bytes += static_cast<size_t>(number) + flag; }
  size_t bytes = 0;
};

class Dispatcher : public IPC::Protocol {
 public:
  Dispatcher() {
    Register("toClient", functions_, &Functions::ToClient);
    Register("toHub", functions_, &Functions::ToHub);
    Register("pair", functions_, &Functions::Pair);
  }
  using IPC::Protocol::Dispatch;

 private:
  Functions functions_;
};

void AnswerCall(std::span<const uint8_t> message) {
  static Dispatcher dispatcher;
  IPC::IpcBuffer request = IPC::IpcBuffer::Reader(message);
  const std::optional<uint8_t> kind = IPC::ReadCallKind(request);
  if (kind == IPC::kCallKindPost) return;
  IPC::IpcBuffer reply = IPC::IpcBuffer::Growing();
  bool dispatched = false;
  IPC::WriteAnswer(kind, request, reply, [&](IPC::IpcBuffer& call, IPC::IpcBuffer& answer) {
    const uint8_t status = dispatcher.Dispatch(call, answer);
    dispatched = status == IPC::kCallSuccess;
    return status;
  });
  const uint8_t status = IPC::ReadReply(reply.Bytes(), IPC::CheckReturnData);
  if ((status == IPC::kCallSuccess) != dispatched || status == IPC::kCallTimedOut) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input({data, size});
  if (input.Take(1) % 2 == 0) {
    AnswerCall(input.Rest());
  } else if (IPC::ReadReply(input.Rest(), IPC::CheckReturnData) == IPC::kCallTimedOut) {
    std::abort();
  }
  return 0;
}
