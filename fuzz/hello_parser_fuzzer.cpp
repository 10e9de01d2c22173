// Feeds arbitrary bytes to the hello parser and to both sides' checks of a hello. Whatever
// parses must survive a round trip through the writer unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ipc/hello.h"

namespace {

void CheckRoundTrip(const IPC::HelloMessage& hello, IPC::HelloKind kind) {
  IPC::IpcBuffer buffer = IPC::IpcBuffer::Growing();
  if (!IPC::WriteHello(hello, buffer)) std::abort();
  const auto again = IPC::ReadHello(buffer.Bytes(), kind);
  if (!again || !(*again == hello)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (const IPC::HelloKind kind : {IPC::HelloKind::kRequest, IPC::HelloKind::kResponse}) {
    if (const auto hello = IPC::ReadHello(bytes, kind)) {
      CheckRoundTrip(*hello, kind);
      IPC::CheckHelloRequest(*hello, 1234, 5678);
    }
  }
  IPC::HelloMessage response;
  IPC::CheckHelloResponse(bytes, 5678, 1234, size % 2 == 0, response);
  return 0;
}
