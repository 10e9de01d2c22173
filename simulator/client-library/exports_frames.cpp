// Exports about frames, layers, rendering descriptions and textures. The simulated runtime has
// no graphics device: OpenGL textures are names the application cannot draw into, Direct3D
// and Vulkan are not supported.

#include <cmath>
#include <cstring>

#include "lux/lux_capi.h"
#include "protocol/messages.h"
#include "protocol/pose_json.h"
#include "protocol/simulated_headset.h"
#include "runtime_client.h"

using luxsim::InvalidArgument;
using luxsim::RuntimeClient;
using luxsim::SessionRequest;

namespace {

// Texture names handed out for swap-chain and mirror buffers.
constexpr unsigned int kFirstSwapChainTexture = 1000;
constexpr unsigned int kMirrorTexture = 999;

luxResult FrameCall(const char* op, luxSession session, long long frameIndex) {
  std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return luxError_InvalidSession;
  (*fields)["frame"] = Json::Int64(frameIndex);
  return RuntimeClient::Instance().Call(op, *fields);
}

// One layer as the service sees it: its type and, for layers with poses, the first pose.
Json::Value LayerFields(const luxLayerHeader& layer) {
  Json::Value fields;
  fields["type"] = static_cast<int>(layer.Type);
  switch (layer.Type) {
    case luxLayerType_EyeFov:
    case luxLayerType_EyeFovDepth:
      fields["render_pose"] =
          luxsim::PoseToJson(reinterpret_cast<const luxLayerEyeFov&>(layer).RenderPose[0]);
      break;
    case luxLayerType_Quad:
    case luxLayerType_HeadLockedQuad:
      fields["render_pose"] =
          luxsim::PoseToJson(reinterpret_cast<const luxLayerQuad&>(layer).QuadPoseCenter);
      break;
    default:
      break;
  }
  return fields;
}

luxResult SubmitFrame(luxSession session, long long frameIndex,
                      luxLayerHeader const* const* layerPtrList, unsigned int layerCount) {
  std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return luxError_InvalidSession;
  if (layerCount > 0 && layerPtrList == nullptr) {
    return InvalidArgument("No layer list given");
  }
  (*fields)["frame"] = Json::Int64(frameIndex);
  Json::Value& layers = (*fields)["layers"] = Json::Value(Json::arrayValue);
  for (unsigned int i = 0; i < layerCount; ++i) {
    if (layerPtrList[i] != nullptr) layers.append(LayerFields(*layerPtrList[i]));
  }
  return RuntimeClient::Instance().Call(luxsim::op::kSubmitFrame, *fields);
}

// Creates a texture swap chain at the service for a device the simulation can serve.
luxResult CreateSwapChain(luxSession session, const luxTextureSwapChainDesc* desc,
                          luxTextureSwapChain* outTextureSwapChain) {
  if (outTextureSwapChain == nullptr || desc == nullptr) {
    return RuntimeClient::Instance().Fail(luxError_InvalidParameter,
                                          "Missing swap chain arguments");
  }
  *outTextureSwapChain = nullptr;
  const std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return luxError_InvalidSession;
  Json::Value response;
  const luxResult result =
      RuntimeClient::Instance().Call(luxsim::op::kCreateSwapChain, *fields, &response);
  if (LUX_FAILURE(result)) return result;
  *outTextureSwapChain =
      RuntimeClient::Instance().AddSwapChain(session, response["swap_chain"].asUInt64(), *desc);
  return result;
}

luxResult CreateMirrorTexture(luxSession session, const luxMirrorTextureDesc* desc,
                              luxMirrorTexture* outMirrorTexture) {
  if (outMirrorTexture == nullptr || desc == nullptr) {
    return InvalidArgument("Missing mirror arguments");
  }
  *outMirrorTexture = nullptr;
  if (!SessionRequest(session)) return luxError_InvalidSession;
  *outMirrorTexture = RuntimeClient::Instance().AddMirrorTexture(session, *desc);
  return luxSuccess;
}

// Fills `*output` with what `read` takes from the state of `chain`.
template <typename Output, typename Read>
luxResult ReadSwapChain(luxSession session, luxTextureSwapChain chain, Output* output, Read read) {
  const std::optional<luxTextureSwapChainData> data =
      RuntimeClient::Instance().SwapChain(session, chain);
  if (!data) return luxError_TextureSwapChainInvalid;
  if (output == nullptr) return InvalidArgument("No output");
  *output = read(*data);
  return luxSuccess;
}

luxResult NoGraphicsApi(const char* api) {
  return RuntimeClient::Instance().Fail(
      luxError_Unsupported, std::string(api) + " is not available in the simulated runtime");
}

}  // namespace

luxResult lux_WaitToBeginFrame(luxSession session, long long frameIndex) {
  return FrameCall(luxsim::op::kWaitFrame, session, frameIndex);
}

luxResult lux_BeginFrame(luxSession session, long long frameIndex) {
  return FrameCall(luxsim::op::kBeginFrame, session, frameIndex);
}

luxResult lux_EndFrame(luxSession session, long long frameIndex,
                       const luxViewScaleDesc* /*viewScaleDesc*/,
                       luxLayerHeader const* const* layerPtrList, unsigned int layerCount) {
  return SubmitFrame(session, frameIndex, layerPtrList, layerCount);
}

luxResult lux_SubmitFrame2(luxSession session, long long frameIndex,
                           const luxViewScaleDesc* /*viewScaleDesc*/,
                           luxLayerHeader const* const* layerPtrList, unsigned int layerCount) {
  return SubmitFrame(session, frameIndex, layerPtrList, layerCount);
}

luxEyeRenderDesc lux_GetRenderDesc2(luxSession session, luxEyeType eye, luxFovPort fov) {
  luxEyeRenderDesc desc{};
  desc.Eye = eye;
  desc.Fov = fov;
  desc.DistortedViewport = {{eye == luxEye_Right ? luxsim::kEyeResolutionWidth : 0, 0},
                            {luxsim::kEyeResolutionWidth, luxsim::kEyeResolutionHeight}};
  desc.PixelsPerTanAngleAtCenter = {luxsim::kEyeResolutionWidth / (fov.LeftTan + fov.RightTan),
                                    luxsim::kEyeResolutionHeight / (fov.UpTan + fov.DownTan)};
  desc.HmdToEyePose = luxsim::EyeOffsetPose(eye, luxsim::kDefaultInterAxialDistance);
  std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return desc;
  (*fields)["eye"] = static_cast<int>(eye);
  Json::Value response;
  if (LUX_SUCCESS(RuntimeClient::Instance().Call(luxsim::op::kRenderDesc, *fields, &response))) {
    desc.HmdToEyePose = luxsim::PoseFromJson(response["pose"]);
  }
  return desc;
}

double lux_GetPredictedDisplayTime(luxSession /*session*/, long long /*frameIndex*/) {
  return lux_GetTimeInSeconds() + 1.0 / luxsim::kDisplayRefreshRate;
}

luxSizei lux_GetFovTextureSize(luxSession /*session*/, luxEyeType eye, luxFovPort fov,
                               float pixelsPerDisplayPixel) {
  const luxFovPort native = luxsim::DefaultEyeFov(eye);
  const float pixelsPerTanX = luxsim::kEyeResolutionWidth / (native.LeftTan + native.RightTan);
  const float pixelsPerTanY = luxsim::kEyeResolutionHeight / (native.UpTan + native.DownTan);
  return {static_cast<int>(
              std::ceil((fov.LeftTan + fov.RightTan) * pixelsPerTanX * pixelsPerDisplayPixel)),
          static_cast<int>(
              std::ceil((fov.UpTan + fov.DownTan) * pixelsPerTanY * pixelsPerDisplayPixel))};
}

luxResult lux_GetFovStencil(luxSession session, const luxFovStencilDesc* desc,
                            luxFovStencilMeshBuffer* meshBuffer) {
  if (!SessionRequest(session)) return luxError_InvalidSession;
  if (desc == nullptr || meshBuffer == nullptr) {
    return InvalidArgument("Missing stencil arguments");
  }
  // The simulated lenses show the whole rectangle: the visible area is two triangles, the
  // hidden area is empty.
  const bool visible = desc->StencilType == luxFovStencil_VisibleArea;
  static const luxVector2f kCorners[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  static const uint16_t kIndices[] = {0, 1, 2, 0, 2, 3};
  meshBuffer->UsedVertexCount = visible ? 4 : 0;
  meshBuffer->UsedIndexCount = visible ? 6 : 0;
  if (meshBuffer->VertexBuffer == nullptr || meshBuffer->IndexBuffer == nullptr) return luxSuccess;
  if (meshBuffer->AllocVertexCount < meshBuffer->UsedVertexCount ||
      meshBuffer->AllocIndexCount < meshBuffer->UsedIndexCount) {
    return RuntimeClient::Instance().Fail(luxError_InsufficientArraySize,
                                          "Stencil buffers too small");
  }
  std::memcpy(meshBuffer->VertexBuffer, kCorners,
              sizeof(luxVector2f) * meshBuffer->UsedVertexCount);
  std::memcpy(meshBuffer->IndexBuffer, kIndices, sizeof(uint16_t) * meshBuffer->UsedIndexCount);
  return luxSuccess;
}

luxResult lux_QueryDistortion(luxSession session, luxEyeType /*eye*/, luxDistortionDesc* outDesc) {
  if (!SessionRequest(session)) return luxError_InvalidSession;
  if (outDesc == nullptr) {
    return InvalidArgument("No distortion to fill");
  }
  *outDesc = luxDistortionDesc{{0.5f, 0.5f}, {1.0f, 0.22f, 0.24f, 0.0f, 0.0f, 0.0f}};
  return luxSuccess;
}

luxResult lux_CreateTextureSwapChainGL(luxSession session, const luxTextureSwapChainDesc* desc,
                                       luxTextureSwapChain* outTextureSwapChain) {
  return CreateSwapChain(session, desc, outTextureSwapChain);
}

luxResult lux_GetTextureSwapChainBufferGL(luxSession session, luxTextureSwapChain chain, int index,
                                          unsigned int* outTextureId) {
  const std::optional<luxTextureSwapChainData> data =
      RuntimeClient::Instance().SwapChain(session, chain);
  if (!data) return luxError_TextureSwapChainInvalid;
  if (outTextureId == nullptr || index < -1 || index >= luxsim::kSwapChainLength) {
    return InvalidArgument("No such swap chain buffer");
  }
  const int buffer = index == -1 ? data->currentIndex : index;
  *outTextureId = kFirstSwapChainTexture +
                  static_cast<unsigned int>(data->serviceId * luxsim::kSwapChainLength + buffer);
  return luxSuccess;
}

luxResult lux_GetTextureSwapChainLength(luxSession session, luxTextureSwapChain chain,
                                        int* outLength) {
  return ReadSwapChain(session, chain, outLength,
                       [](const luxTextureSwapChainData&) { return luxsim::kSwapChainLength; });
}

luxResult lux_GetTextureSwapChainCurrentIndex(luxSession session, luxTextureSwapChain chain,
                                              int* outIndex) {
  return ReadSwapChain(session, chain, outIndex,
                       [](const luxTextureSwapChainData& data) { return data.currentIndex; });
}

luxResult lux_GetTextureSwapChainDesc(luxSession session, luxTextureSwapChain chain,
                                      luxTextureSwapChainDesc* outDesc) {
  return ReadSwapChain(session, chain, outDesc,
                       [](const luxTextureSwapChainData& data) { return data.desc; });
}

luxResult lux_CommitTextureSwapChain(luxSession session, luxTextureSwapChain chain) {
  const std::optional<luxTextureSwapChainData> data =
      RuntimeClient::Instance().SwapChain(session, chain);
  std::optional<Json::Value> fields = SessionRequest(session);
  if (!data || !fields) return luxError_TextureSwapChainInvalid;
  (*fields)["swap_chain"] = Json::UInt64(data->serviceId);
  const luxResult result = RuntimeClient::Instance().Call(luxsim::op::kCommitSwapChain, *fields);
  if (LUX_SUCCESS(result)) RuntimeClient::Instance().AdvanceSwapChain(chain);
  return result;
}

void lux_DestroyTextureSwapChain(luxSession session, luxTextureSwapChain chain) {
  const std::optional<luxTextureSwapChainData> data =
      RuntimeClient::Instance().SwapChain(session, chain);
  std::optional<Json::Value> fields = SessionRequest(session);
  if (!data || !fields) return;
  (*fields)["swap_chain"] = Json::UInt64(data->serviceId);
  RuntimeClient::Instance().Call(luxsim::op::kDestroySwapChain, *fields);
  RuntimeClient::Instance().RemoveSwapChain(chain);
}

luxResult lux_CreateMirrorTextureGL(luxSession session, const luxMirrorTextureDesc* desc,
                                    luxMirrorTexture* outMirrorTexture) {
  return CreateMirrorTexture(session, desc, outMirrorTexture);
}

luxResult lux_CreateMirrorTextureWithOptionsGL(luxSession session, const luxMirrorTextureDesc* desc,
                                               luxMirrorTexture* outMirrorTexture) {
  return CreateMirrorTexture(session, desc, outMirrorTexture);
}

luxResult lux_GetMirrorTextureBufferGL(luxSession session, luxMirrorTexture mirrorTexture,
                                       unsigned int* outTextureId) {
  if (!RuntimeClient::Instance().HasMirrorTexture(session, mirrorTexture)) {
    return luxError_InvalidParameter;
  }
  if (outTextureId == nullptr) return InvalidArgument("No output");
  *outTextureId = kMirrorTexture;
  return luxSuccess;
}

void lux_DestroyMirrorTexture(luxSession session, luxMirrorTexture mirrorTexture) {
  if (RuntimeClient::Instance().HasMirrorTexture(session, mirrorTexture)) {
    RuntimeClient::Instance().RemoveMirrorTexture(mirrorTexture);
  }
}

luxResult lux_CreateTextureSwapChainDX(luxSession, void*, const luxTextureSwapChainDesc*,
                                       luxTextureSwapChain*) {
  return NoGraphicsApi("Direct3D");
}

luxResult lux_CreateMirrorTextureDX(luxSession, void*, const luxMirrorTextureDesc*,
                                    luxMirrorTexture*) {
  return NoGraphicsApi("Direct3D");
}

luxResult lux_CreateMirrorTextureWithOptionsDX(luxSession, void*, const luxMirrorTextureDesc*,
                                               luxMirrorTexture*) {
  return NoGraphicsApi("Direct3D");
}

luxResult lux_GetTextureSwapChainBufferDX(luxSession, luxTextureSwapChain, int, const void*,
                                          void**) {
  return NoGraphicsApi("Direct3D");
}

luxResult lux_GetMirrorTextureBufferDX(luxSession, luxMirrorTexture, const void*, void**) {
  return NoGraphicsApi("Direct3D");
}

luxResult lux_GetSessionPhysicalDeviceVk(luxSession, luxGraphicsLuid, void*, void**) {
  return NoGraphicsApi("Vulkan");
}

luxResult lux_SetSynchronizationQueueVk(luxSession, void*) { return NoGraphicsApi("Vulkan"); }

luxResult lux_CreateTextureSwapChainVk(luxSession, void*, const luxTextureSwapChainDesc*,
                                       luxTextureSwapChain*) {
  return NoGraphicsApi("Vulkan");
}

luxResult lux_GetTextureSwapChainBufferVk(luxSession, luxTextureSwapChain, int, uint64_t*) {
  return NoGraphicsApi("Vulkan");
}

luxResult lux_CreateMirrorTextureWithOptionsVk(luxSession, void*, const luxMirrorTextureDesc*,
                                               luxMirrorTexture*) {
  return NoGraphicsApi("Vulkan");
}

luxResult lux_GetMirrorTextureBufferVk(luxSession, luxMirrorTexture, uint64_t*) {
  return NoGraphicsApi("Vulkan");
}
