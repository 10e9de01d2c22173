#include "ipc/protocol.h"

#include "ipc/call_status.h"

namespace IPC {

Protocol::~Protocol() = default;

bool Protocol::RegisterDeserializer(std::string_view name,
                                    std::shared_ptr<BaseCallDeserializer> deserializer) {
  if (!IsValidFunctionName(name) || deserializer == nullptr) return false;
  std::lock_guard lock(functionLock_);
  functions_.insert_or_assign(std::string(name), std::move(deserializer));
  return true;
}

uint8_t Protocol::Dispatch(IpcBuffer& request, IpcBuffer& reply) {
  std::string name;
  if (!request.ReadString(name, kMaxFunctionNameLength) || name.empty()) return kCallBadSignature;
  std::shared_ptr<BaseCallDeserializer> deserializer;
  {
    std::lock_guard lock(functionLock_);
    const auto found = functions_.find(name);
    if (found == functions_.end()) return kCallNotRegistered;
    deserializer = found->second;
  }
  return deserializer->Call(request, &reply);
}

uint8_t Protocol::CallFunction(const RemoteFunction& function, uint32_t timeoutMs,
                               const Transport::CallWriter& writeArguments) {
  std::shared_lock lock(transportLock_);
  if (transport_ == nullptr) return kCallNotInitialized;
  return transport_->Call(
      function.Channel(),
      [&](IpcBuffer& call) { return call.WriteString(function.Name()) && writeArguments(call); },
      CheckReturnData, timeoutMs);
}

void Protocol::ResetTransport(TransportListener* listener) {
  CloseTransport();
  std::unique_ptr<Transport> replaced;
  {
    std::unique_lock lock(transportLock_);
    replaced = std::move(transport_);
    if (listener != nullptr) transport_ = std::make_unique<Transport>(*listener);
  }
}

bool Protocol::StartTransport(ConnectionResources resources, bool createdSection,
                              std::optional<platform::ProcessHandle> peer) {
  std::unique_lock lock(transportLock_);
  return transport_ != nullptr &&
         transport_->Start(std::move(resources), createdSection, std::move(peer));
}

bool Protocol::IsTransportConnected() {
  std::shared_lock lock(transportLock_);
  return transport_ != nullptr && transport_->IsConnected();
}

void Protocol::CloseTransport() {
  std::shared_lock lock(transportLock_);
  if (transport_ != nullptr) transport_->Close();
}

}  // namespace IPC
