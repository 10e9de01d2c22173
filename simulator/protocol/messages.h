#pragma once

// The requests a client library sends to the runtime service. Every request is an object
// with "id" (a number the client chooses) and "op" (one of the names below) and the op's
// own fields; the service answers each with an object carrying the same "id", "result" (a
// luxResult) and, on failure, "error" (a text for lux_GetLastErrorInfo).

namespace luxsim {

namespace key {
inline constexpr char kId[] = "id";
inline constexpr char kOp[] = "op";
inline constexpr char kResult[] = "result";
inline constexpr char kError[] = "error";
}  // namespace key

namespace op {
/// {"minor_version", "flags"} -> {}: the first request of every client.
inline constexpr char kHello[] = "hello";
/// {"build_tool", "product", "major", "minor", "patch", "build"} -> {}
inline constexpr char kClientInfo[] = "client_info";
/// {} -> {"session", "luid"}
inline constexpr char kCreateSession[] = "create_session";
/// {"session"} -> {}
inline constexpr char kDestroySession[] = "destroy_session";
/// {"session"} -> {"status": six booleans, visible first}
inline constexpr char kSessionStatus[] = "session_status";
/// {"session" (0: the runtime), "name", "type", "value"} -> {"taken"}
inline constexpr char kSetProperty[] = "set_property";
/// {"session", "name", "type"} -> {"found", "value"}
inline constexpr char kGetProperty[] = "get_property";
/// {"session", "eye"} -> {"pose": seven numbers, orientation then position}
inline constexpr char kRenderDesc[] = "render_desc";
/// {"session", "frame"} -> {}
inline constexpr char kWaitFrame[] = "wait_frame";
/// {"session", "frame"} -> {}
inline constexpr char kBeginFrame[] = "begin_frame";
/// {"session", "frame", "layers": [{"type", "render_pose"}]} -> {}
inline constexpr char kSubmitFrame[] = "submit_frame";
/// {"session"} -> {"swap_chain"}
inline constexpr char kCreateSwapChain[] = "create_swap_chain";
/// {"session", "swap_chain"} -> {}
inline constexpr char kCommitSwapChain[] = "commit_swap_chain";
/// {"session", "swap_chain"} -> {}
inline constexpr char kDestroySwapChain[] = "destroy_swap_chain";
/// {"session"} -> {}: the application has recentered or acknowledged a recenter request.
inline constexpr char kClearRecenter[] = "clear_recenter";
/// {"identity"} -> {}
inline constexpr char kIdentifyClient[] = "identify_client";
/// {"level", "message"} -> {}
inline constexpr char kTrace[] = "trace";
/// {"enable"} -> {}
inline constexpr char kRealtimeEventOutput[] = "realtime_event_output";
/// {"category", "fields": {key: value}, "flags"} -> {}
inline constexpr char kReportMetrics[] = "report_metrics";
/// {"code", "text", "not_counted"} -> {}: the simulated runtime reports the runtime error
/// `code` of the calling process in its realtime event stream, as if a call had failed.
inline constexpr char kRaiseRuntimeError[] = "raise_runtime_error";
/// {"connected"} -> {}: the simulated headset's HDMI cable is plugged in or pulled out.
inline constexpr char kSetHdmiCable[] = "set_hdmi_cable";
/// {"session", "luid"} -> {}: the application renders the session's frames on the display
/// adapter of this LUID.
inline constexpr char kSetRenderAdapter[] = "set_render_adapter";
/// {} -> {"device"}: the id of the audio output device the runtime selects for applications,
/// empty for the system's default device.
inline constexpr char kAudioOutputDevice[] = "audio_output_device";
}  // namespace op

/// Property types of set_property and get_property.
namespace property_type {
inline constexpr char kBool[] = "bool";
inline constexpr char kInt[] = "int";
inline constexpr char kFloat[] = "float";
inline constexpr char kFloatArray[] = "float_array";
inline constexpr char kString[] = "string";
}  // namespace property_type

}  // namespace luxsim
