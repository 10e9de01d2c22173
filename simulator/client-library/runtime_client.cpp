#include "runtime_client.h"

#include <algorithm>
#include <cstring>

#include "log/channels/channel.h"
#include "protocol/messages.h"
#include "protocol/service_address.h"

namespace luxsim {

namespace {

// The library's connection events and failures. In the validator's process the lines go
// through the validator's output worker, in an application's through the library's own.
const luxlog::Channel connectionLog("LibLUXRT");

}  // namespace

union NeverDestroyedClient {
  NeverDestroyedClient() : client() {}
  ~NeverDestroyedClient() {}
  RuntimeClient client;
};

RuntimeClient& RuntimeClient::Instance() {
  static NeverDestroyedClient holder;
  return holder.client;
}

RuntimeClient::RuntimeClient() = default;

luxResult RuntimeClient::Initialize(const luxInitParams& params) {
  std::lock_guard lifecycle(lifecycleMutex_);
  if (Connection() != nullptr) return luxSuccess;
  std::string error;
  std::shared_ptr<ServiceConnection> connection =
      ServiceConnection::Connect(RuntimeServiceSocketPath(), &error);
  if (connection == nullptr) {
    const std::string text = "Unable to connect to the Corvia runtime service: " + error;
    connectionLog.Log(luxlog::kError, text);
    return Fail(luxError_ServiceConnection, text);
  }
  {
    std::lock_guard lock(mutex_);
    connection_ = connection;
  }
  Json::Value hello;
  hello["minor_version"] = params.RequestedMinorVersion;
  hello["flags"] = params.Flags;
  const luxResult result = Call(op::kHello, hello);
  if (LUX_FAILURE(result)) {
    connectionLog.Log(
        luxlog::kError,
        std::string("The Corvia runtime service refused the client: ") + LastError().ErrorString);
    Disconnect();
  } else {
    connectionLog.Log(luxlog::kInfo, "Connected to the Corvia runtime service");
  }
  return result;
}

void RuntimeClient::Shutdown() {
  std::lock_guard lifecycle(lifecycleMutex_);
  const bool connected = Connection() != nullptr;
  Disconnect();
  if (connected) connectionLog.Log(luxlog::kInfo, "Disconnected from the Corvia runtime service");
}

void RuntimeClient::Disconnect() {
  std::lock_guard lock(mutex_);
  connection_.reset();
  mirrorTextures_.clear();
  swapChains_.clear();
  sessions_.clear();
}

std::shared_ptr<ServiceConnection> RuntimeClient::Connection() {
  std::lock_guard lock(mutex_);
  return connection_;
}

luxResult RuntimeClient::Call(const char* op, Json::Value fields, Json::Value* response) {
  const std::shared_ptr<ServiceConnection> connection = Connection();
  if (connection == nullptr) return Fail(luxError_NotInitialized, "lux_Initialize was not called");
  fields[key::kOp] = op;
  std::string error;
  const std::optional<Json::Value> answer = connection->Call(std::move(fields), &error);
  if (!answer) {
    const std::string text = "Lost the Corvia runtime service: " + error;
    connectionLog.Log(luxlog::kError, text);
    return Fail(luxError_ServiceError, text);
  }
  const luxResult result = (*answer)[key::kResult].asInt();
  if (LUX_FAILURE(result)) Fail(result, (*answer)[key::kError].asString());
  if (response != nullptr) *response = *answer;
  return result;
}

luxResult RuntimeClient::Fail(luxResult result, const std::string& text) {
  std::lock_guard lock(mutex_);
  lastError_.Result = result;
  const size_t length = std::min(text.size(), sizeof lastError_.ErrorString - 1);
  std::memcpy(lastError_.ErrorString, text.data(), length);
  lastError_.ErrorString[length] = '\0';
  return result;
}

luxErrorInfo RuntimeClient::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

luxSession RuntimeClient::AddSession(uint64_t serviceId) {
  auto session = std::make_unique<luxHmdStruct>();
  session->serviceId = serviceId;
  const luxSession handle = session.get();
  std::lock_guard lock(mutex_);
  sessions_.emplace(handle, std::move(session));
  return handle;
}

std::optional<uint64_t> RuntimeClient::SessionId(luxSession session) {
  {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(session);
    if (found != sessions_.end()) return found->second->serviceId;
  }
  Fail(luxError_InvalidSession, "The session is not a session of this process");
  return std::nullopt;
}

void RuntimeClient::RemoveSession(luxSession session) {
  std::lock_guard lock(mutex_);
  std::erase_if(swapChains_,
                [session](const auto& entry) { return entry.second->session == session; });
  std::erase_if(mirrorTextures_,
                [session](const auto& entry) { return entry.second->session == session; });
  sessions_.erase(session);
}

luxTextureSwapChain RuntimeClient::AddSwapChain(luxSession session, uint64_t serviceId,
                                                const luxTextureSwapChainDesc& desc) {
  auto chain = std::make_unique<luxTextureSwapChainData>(
      luxTextureSwapChainData{serviceId, session, desc, 0});
  const luxTextureSwapChain handle = chain.get();
  std::lock_guard lock(mutex_);
  swapChains_.emplace(handle, std::move(chain));
  return handle;
}

std::optional<luxTextureSwapChainData> RuntimeClient::SwapChain(luxSession session,
                                                                luxTextureSwapChain chain) {
  {
    std::lock_guard lock(mutex_);
    const auto found = swapChains_.find(chain);
    if (found != swapChains_.end() && found->second->session == session) return *found->second;
  }
  Fail(luxError_TextureSwapChainInvalid, "The texture swap chain is not one of this session");
  return std::nullopt;
}

void RuntimeClient::AdvanceSwapChain(luxTextureSwapChain chain) {
  std::lock_guard lock(mutex_);
  const auto found = swapChains_.find(chain);
  if (found == swapChains_.end()) return;
  found->second->currentIndex = (found->second->currentIndex + 1) % kSwapChainLength;
}

void RuntimeClient::RemoveSwapChain(luxTextureSwapChain chain) {
  std::lock_guard lock(mutex_);
  swapChains_.erase(chain);
}

luxMirrorTexture RuntimeClient::AddMirrorTexture(luxSession session,
                                                 const luxMirrorTextureDesc& desc) {
  auto texture = std::make_unique<luxMirrorTextureData>(luxMirrorTextureData{session, desc});
  const luxMirrorTexture handle = texture.get();
  std::lock_guard lock(mutex_);
  mirrorTextures_.emplace(handle, std::move(texture));
  return handle;
}

bool RuntimeClient::HasMirrorTexture(luxSession session, luxMirrorTexture texture) {
  {
    std::lock_guard lock(mutex_);
    const auto found = mirrorTextures_.find(texture);
    if (found != mirrorTextures_.end() && found->second->session == session) return true;
  }
  Fail(luxError_InvalidParameter, "The mirror texture is not one of this session");
  return false;
}

void RuntimeClient::RemoveMirrorTexture(luxMirrorTexture texture) {
  std::lock_guard lock(mutex_);
  mirrorTextures_.erase(texture);
}

std::optional<Json::Value> SessionRequest(luxSession session) {
  if (session == nullptr) {
    RuntimeClient::Instance().Fail(luxError_InvalidSession, "No session given");
    return std::nullopt;
  }
  return ScopeRequest(session);
}

std::optional<Json::Value> ScopeRequest(luxSession session) {
  Json::Value fields(Json::objectValue);
  if (session == nullptr) {
    fields["session"] = 0;
    return fields;
  }
  const std::optional<uint64_t> id = RuntimeClient::Instance().SessionId(session);
  if (!id) return std::nullopt;
  fields["session"] = Json::UInt64(*id);
  return fields;
}

bool ValidSession(luxSession session) { return SessionRequest(session).has_value(); }

luxResult InvalidArgument(const std::string& text) {
  return RuntimeClient::Instance().Fail(luxError_InvalidParameter, text);
}

}  // namespace luxsim
