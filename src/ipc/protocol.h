#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ipc/call_arguments.h"
#include "ipc/call_deserializer.h"
#include "ipc/connection_resources.h"
#include "ipc/function_name.h"
#include "ipc/remote_function.h"
#include "ipc/transport.h"
#include "platform/process_handle.h"

namespace IPC {

/// Remote calls by name over a transport. Outgoing calls name a function of the peer and carry
/// its serialized arguments; incoming calls are dispatched to the deserializers registered here.
/// Registrations belong to the protocol and survive a change of transport. A subclass that
/// listens to its transport resets it in its own destructor, before its members are gone.
class Protocol {
 public:
  Protocol() = default;
  virtual ~Protocol();
  Protocol(const Protocol&) = delete;
  Protocol& operator=(const Protocol&) = delete;

  /// Registers `deserializer` under `name` (1 to 63 bytes), replacing an earlier one. False for
  /// an invalid name.
  bool RegisterDeserializer(std::string_view name,
                            std::shared_ptr<BaseCallDeserializer> deserializer);

  /// Registers `method` of `listener` under `name`.
  template <class Listener, class... Args>
  bool Register(std::string_view name, Listener& listener, void (Listener::*method)(Args...)) {
    return RegisterDeserializer(
        name, std::make_shared<CallDeserializer<Listener, Args...>>(listener, method));
  }

  /// Calls `function` of the peer with `arguments` and waits for its reply. Returns the call
  /// status: 5 without a transport, 1 when not connected, 4 for a channel out of range, 2 when
  /// the arguments cannot be written or the return data has another layout, 3 when the peer has
  /// no such function, 6 for a malformed reply.
  template <class... Args>
  uint8_t Call(const RemoteFunction& function, const Args&... arguments) {
    return CallWithin(platform::kInfinite, function, arguments...);
  }

  /// The same, but a call without its reply `timeoutMs` after it began ends the connection and
  /// returns kCallTimedOut.
  template <class... Args>
  uint8_t CallWithin(uint32_t timeoutMs, const RemoteFunction& function, const Args&... arguments) {
    return CallFunction(function, timeoutMs, [&arguments...](IpcBuffer& buffer) {
      return (WriteArgument(buffer, arguments) && ...);
    });
  }

 protected:
  /// Dispatches an incoming call: reads the function name (at most 63 bytes, else 2), looks up
  /// its deserializer (none: 3) and lets it read the arguments and call the function.
  uint8_t Dispatch(IpcBuffer& request, IpcBuffer& reply);

  /// Closes the current transport, waiting for its thread, and puts a new unconnected one for
  /// `listener` in its place (none when `listener` is null). Not from a transport thread.
  void ResetTransport(TransportListener* listener);
  /// Starts the current transport (see Transport::Start).
  bool StartTransport(ConnectionResources resources, bool createdSection,
                      std::optional<platform::ProcessHandle> peer);
  bool IsTransportConnected();
  /// Ends the current connection; from the transport thread it only starts the disconnection.
  void CloseTransport();

 private:
  uint8_t CallFunction(const RemoteFunction& function, uint32_t timeoutMs,
                       const Transport::CallWriter& writeArguments);

  // Shared while a call uses the transport, exclusive while it is replaced or started.
  std::shared_mutex transportLock_;
  std::unique_ptr<Transport> transport_;  // guarded by transportLock_
  std::mutex functionLock_;
  std::unordered_map<std::string, std::shared_ptr<BaseCallDeserializer>, FunctionNameHash,
                     std::equal_to<>>
      functions_;  // guarded by functionLock_
};

}  // namespace IPC
