#pragma once

#include <cstdint>
#include <tuple>
#include <type_traits>

#include "ipc/call_arguments.h"
#include "ipc/call_status.h"
#include "ipc/ipc_buffer.h"

namespace IPC {

/// The return data of a call: two integers, the function's result (0: these functions return
/// nothing) and the number of arguments it read. The caller accepts exactly this layout.
bool WriteReturnData(IpcBuffer& reply, int64_t argumentCount);
/// kCallSuccess when `reply` holds two integers and nothing more, else kCallBadSignature. Only
/// the layout counts: the values are the callee's business.
uint8_t CheckReturnData(IpcBuffer& reply);

/// Receives the calls of one registered function: reads the arguments and calls it.
class BaseCallDeserializer {
 public:
  virtual ~BaseCallDeserializer() = default;
  /// Reads the arguments from `request`, calls the function and writes the return data into
  /// `reply` when there is one. Returns the call status.
  virtual uint8_t Call(IpcBuffer& request, IpcBuffer* reply) = 0;
};

/// Binds a member function `void Listener::method(Args...)` of a listener object. The request
/// must hold exactly the arguments, in order, and nothing after them.
template <class Listener, class... Args>
class CallDeserializer : public BaseCallDeserializer {
 public:
  using Method = void (Listener::*)(Args...);

  CallDeserializer(Listener& listener, Method method) : listener_(listener), method_(method) {}

  uint8_t Call(IpcBuffer& request, IpcBuffer* reply) override {
    std::tuple<std::remove_cvref_t<Args>...> arguments;
    const bool complete = std::apply(
        [&request](auto&... argument) { return (ReadArgument(request, argument) && ...); },
        arguments);
    if (!complete || request.HasError() || !request.AtEnd()) return kCallBadSignature;
    std::apply([this](auto&... argument) { (listener_.*method_)(std::move(argument)...); },
               arguments);
    if (reply != nullptr && !WriteReturnData(*reply, sizeof...(Args))) return kCallInternalError;
    return kCallSuccess;
  }

 private:
  Listener& listener_;
  Method method_;
};

}  // namespace IPC
