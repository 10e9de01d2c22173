// The realtime event stream as any local process that listens on its port first can feed it:
// bytes cut into receives of any size go through the packet reader into the listener's ring,
// under a clock the input moves, and whatever the ring delivers goes to the validator's event
// handling. Input: a series of steps, each a byte choosing
//   0  a receive: a 2-byte length, then that many bytes of the stream
//   1  the clock moves on by a 2-byte number of milliseconds
//   2  ProcessEvents with at most (1-byte number % 4) batches (0 meaning the default)
//   3  WaitForEvents without waiting
// and at the end the clock moves on by a second and everything due is delivered.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "events/client_socket.h"
#include "events/packet_reader.h"
#include "fuzz_input.h"
#include "fuzz_machine.h"
#include "validator/validator.h"

using LUX::Telemetry::PacketReader;
using LUX::Telemetry::TClientSocket;
using LUX::Telemetry::TelemetryEvent;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzMachine::Prefix();
  double now = 1000.0;
  TClientSocket listener([&now] { return now; });
  PacketReader reader;
  QasValidator::Validator validator;
  const PacketReader::RecordSink enqueue = [&listener](const TelemetryEvent& record) {
    listener.Enqueue(record);
  };
  const TClientSocket::EventCallback handle = [&validator](TelemetryEvent** events, int32_t count) {
    validator.OnTelemetryEvents(events, count);
  };
  FuzzInput input({data, size});
  while (!input.Empty()) {
    switch (input.Take(1) % 4) {
      case 0: {
        const std::span<std::byte> space = reader.FreeSpace();
        const std::span<const uint8_t> bytes = input.TakeBytes(input.Take(2));
        const size_t count = std::min(bytes.size(), space.size());
        if (count > 0) std::memcpy(space.data(), bytes.data(), count);
        reader.Commit(count, enqueue);
        break;
      }
      case 1:
        now += static_cast<double>(input.Take(2)) / 1000.0;
        break;
      case 2:
        listener.ProcessEvents(handle, static_cast<int32_t>(input.Take(1) % 4));
        break;
      default:
        listener.WaitForEvents(0);
        break;
    }
  }
  now += 1.0;
  listener.ProcessEvents(handle, 0);
  return 0;
}
