#include "platform/audio_endpoints.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

// Core Audio's endpoints on a PulseAudio server (PipeWire's PulseAudio server too), through
// libpulse: an endpoint is a sink, its id the sink's name, its friendly name the sink's
// description, the default endpoint the server's default sink; a sink is active unless its
// active port is unavailable (unplugged). A peak meter is a peak-detecting record stream on the
// sink's monitor source that stays open while the meter lives, so reading the peak is one
// atomic load of the level the last packet carried.

namespace platform {

namespace {

constexpr AudioResult AsResult(uint32_t code) { return static_cast<AudioResult>(code); }
/// AUDCLNT_E_SERVICE_NOT_RUNNING: no audio server answers, or it went away.
constexpr AudioResult kServiceNotRunning = AsResult(0x88890010);
/// AUDCLNT_E_DEVICE_INVALIDATED: the endpoint is gone.
constexpr AudioResult kDeviceInvalidated = AsResult(0x88890004);
/// E_NOTFOUND (ERROR_NOT_FOUND as an HRESULT): there is no default endpoint.
constexpr AudioResult kNotFound = AsResult(0x80070490);
/// E_INVALIDARG: an index beyond the end of a collection.
constexpr AudioResult kInvalidArgument = AsResult(0x80070057);

/// Levels a meter receives per second: each is the peak of the sound over 10 ms.
constexpr uint32_t kMeterRate = 100;

/// The connection to the audio server: a libpulse context on its own threaded main loop. The
/// enumerator, its endpoints and their meters share it; it ends with the last of them. libpulse
/// objects are touched only under the loop's lock; the loop's thread runs the callbacks.
class ServerConnection {
 public:
  /// Connects to the server that libpulse's configuration names ($PULSE_SERVER, the client
  /// configuration, the user's own server), never starting one; null when none answers.
  static std::shared_ptr<ServerConnection> Connect() {
    auto connection = std::make_shared<ServerConnection>();
    return connection->Open() ? connection : nullptr;
  }

  ServerConnection()
      : loop_(pa_threaded_mainloop_new()),
        context_(loop_ != nullptr
                     ? pa_context_new(pa_threaded_mainloop_get_api(loop_), "Corvia audio meter")
                     : nullptr) {}

  ~ServerConnection() {
    if (loop_ != nullptr) pa_threaded_mainloop_stop(loop_);
    if (context_ != nullptr) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    if (loop_ != nullptr) pa_threaded_mainloop_free(loop_);
  }
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  /// Holds the loop's lock for its lifetime.
  class Lock {
   public:
    explicit Lock(ServerConnection& connection) : loop_(connection.loop_) {
      pa_threaded_mainloop_lock(loop_);
    }
    ~Lock() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  /// Under the lock: waits until `done` holds. The callbacks wake the waiter (`Wake`), and so
  /// does every change of the connection's state, so a lost server ends every wait; libpulse
  /// bounds each request to the server by its own time-out.
  void WaitUntil(const std::function<bool()>& done) {
    while (!done()) pa_threaded_mainloop_wait(loop_);
  }

  /// Under the lock: waits until `operation` (taken over) has run; false when it could not
  /// start or was cancelled because the connection ended.
  bool Await(pa_operation* operation) {
    if (operation == nullptr) return false;
    WaitUntil([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    return done;
  }

  /// Wakes the waiter; called by callbacks on the loop's thread.
  void Wake() { pa_threaded_mainloop_signal(loop_, 0); }

  pa_context* Context() const { return context_; }

 private:
  bool Open() {
    if (loop_ == nullptr || context_ == nullptr) return false;
    pa_context_set_state_callback(
        context_, [](pa_context*, void* self) { static_cast<ServerConnection*>(self)->Wake(); },
        this);
    Lock lock(*this);
    if (pa_threaded_mainloop_start(loop_) < 0 ||
        pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      return false;
    }
    WaitUntil([this] {
      const pa_context_state_t state = pa_context_get_state(context_);
      return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    return pa_context_get_state(context_) == PA_CONTEXT_READY;
  }

  pa_threaded_mainloop* const loop_;
  pa_context* const context_;
};

/// What the enumerator learnt about a sink.
struct SinkFacts {
  std::string name;
  std::string description;
  std::string monitorSource;
  uint32_t state = kDeviceStateActive;
};

SinkFacts FactsOf(const pa_sink_info& sink) {
  const bool unplugged =
      sink.active_port != nullptr && sink.active_port->available == PA_PORT_AVAILABLE_NO;
  return {sink.name != nullptr ? sink.name : "",
          sink.description != nullptr ? sink.description : "",
          sink.monitor_source_name != nullptr ? sink.monitor_source_name : "",
          unplugged ? kDeviceStateUnplugged : kDeviceStateActive};
}

/// A request for sink facts in flight: the sinks reported so far and whether the server failed
/// it (no such sink, for example).
struct SinkQuery {
  explicit SinkQuery(ServerConnection& connection) : connection(&connection) {}

  ServerConnection* connection;
  std::vector<SinkFacts> sinks;
  bool failed = false;

  static void OnSink(pa_context*, const pa_sink_info* sink, int end, void* self) {
    auto* query = static_cast<SinkQuery*>(self);
    if (end < 0) query->failed = true;
    if (end == 0 && sink != nullptr) query->sinks.push_back(FactsOf(*sink));
    query->connection->Wake();
  }
};

/// A request for the server's facts in flight: the name of its default sink, empty when it has
/// none.
struct ServerQuery {
  explicit ServerQuery(ServerConnection& connection) : connection(&connection) {}

  ServerConnection* connection;
  std::string defaultSink;

  static void OnServer(pa_context*, const pa_server_info* server, void* self) {
    auto* query = static_cast<ServerQuery*>(self);
    if (server != nullptr && server->default_sink_name != nullptr) {
      query->defaultSink = server->default_sink_name;
    }
    query->connection->Wake();
  }
};

/// A sink's peak meter: a peak-detecting record stream on its monitor source.
class PeakMeter final : public IAudioMeterInformation {
 public:
  explicit PeakMeter(std::shared_ptr<ServerConnection> connection)
      : connection_(std::move(connection)) {}

  ~PeakMeter() override {
    if (stream_ == nullptr) return;
    ServerConnection::Lock lock(*connection_);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
  PeakMeter(const PeakMeter&) = delete;
  PeakMeter& operator=(const PeakMeter&) = delete;

  /// Opens the record stream on `source` and waits until it records.
  AudioResult Attach(const std::string& source) {
    ServerConnection::Lock lock(*connection_);
    const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32NE, kMeterRate, 1};
    stream_ = pa_stream_new(connection_->Context(), "Peak meter", &sampleSpec, nullptr);
    if (stream_ == nullptr) return kServiceNotRunning;
    pa_stream_set_state_callback(stream_, &PeakMeter::OnState, this);
    pa_stream_set_read_callback(stream_, &PeakMeter::OnRead, this);
    // One level per packet, delivered as soon as the server has it.
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.fragsize = sizeof(float);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream_, source.c_str(), &buffer, flags) < 0) {
      return kDeviceInvalidated;
    }
    connection_->WaitUntil([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
    return pa_stream_get_state(stream_) == PA_STREAM_READY ? 0 : kDeviceInvalidated;
  }

  AudioResult GetPeakValue(float* peak) override {
    if (failed_) return kDeviceInvalidated;
    *peak = level_;
    return 0;
  }

 private:
  static void OnState(pa_stream* stream, void* self) {
    auto* meter = static_cast<PeakMeter*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) meter->failed_ = true;
    meter->connection_->Wake();
  }

  // Keeps the highest of the levels that arrived together.
  static void OnRead(pa_stream* stream, size_t, void* self) {
    auto* meter = static_cast<PeakMeter*>(self);
    const void* data = nullptr;
    size_t length = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &length) == 0 &&
           length > 0) {
      if (data != nullptr) {
        float highest = 0.0f;
        const auto* levels = static_cast<const float*>(data);
        for (size_t i = 0; i < length / sizeof(float); ++i) {
          highest = std::max(highest, std::fabs(levels[i]));
        }
        meter->level_ = std::min(highest, 1.0f);
      }
      pa_stream_drop(stream);
    }
  }

  const std::shared_ptr<ServerConnection> connection_;
  pa_stream* stream_ = nullptr;     // used under the loop's lock
  std::atomic<float> level_{0.0f};  // written on the loop's thread
  std::atomic<bool> failed_{false};
};

class SinkProperties final : public IPropertyStore {
 public:
  explicit SinkProperties(std::string description) : description_(std::move(description)) {}
  AudioResult GetFriendlyName(PropertyVariant* value) override {
    *value = {kVariantWideString, description_};
    return 0;
  }

 private:
  const std::string description_;
};

class SinkEndpoint final : public IMMDevice {
 public:
  SinkEndpoint(std::shared_ptr<ServerConnection> connection, SinkFacts facts)
      : connection_(std::move(connection)), facts_(std::move(facts)) {}

  AudioResult GetId(std::string* id) override {
    *id = facts_.name;
    return 0;
  }

  AudioResult OpenPropertyStore(std::shared_ptr<IPropertyStore>* store) override {
    *store = std::make_shared<SinkProperties>(facts_.description);
    return 0;
  }

  AudioResult ActivateAudioMeter(std::shared_ptr<IAudioMeterInformation>* meter) override {
    auto attached = std::make_shared<PeakMeter>(connection_);
    const AudioResult result = attached->Attach(facts_.monitorSource);
    if (result == 0) *meter = std::move(attached);
    return result;
  }

 private:
  const std::shared_ptr<ServerConnection> connection_;
  const SinkFacts facts_;
};

class SinkCollection final : public IMMDeviceCollection {
 public:
  SinkCollection(std::shared_ptr<ServerConnection> connection, std::vector<SinkFacts> sinks)
      : connection_(std::move(connection)), sinks_(std::move(sinks)) {}

  AudioResult GetCount(uint32_t* count) override {
    *count = static_cast<uint32_t>(sinks_.size());
    return 0;
  }

  AudioResult Item(uint32_t index, std::shared_ptr<IMMDevice>* device) override {
    if (index >= sinks_.size()) return kInvalidArgument;
    *device = std::make_shared<SinkEndpoint>(connection_, sinks_[index]);
    return 0;
  }

 private:
  const std::shared_ptr<ServerConnection> connection_;
  const std::vector<SinkFacts> sinks_;
};

class SinkEnumerator final : public IMMDeviceEnumerator {
 public:
  explicit SinkEnumerator(std::shared_ptr<ServerConnection> connection)
      : connection_(std::move(connection)) {}

  AudioResult EnumAudioEndpoints(uint32_t stateMask,
                                 std::shared_ptr<IMMDeviceCollection>* devices) override {
    SinkQuery query(*connection_);
    {
      ServerConnection::Lock lock(*connection_);
      if (!connection_->Await(
              pa_context_get_sink_info_list(connection_->Context(), &SinkQuery::OnSink, &query)) ||
          query.failed) {
        return kServiceNotRunning;
      }
    }
    std::erase_if(query.sinks,
                  [stateMask](const SinkFacts& sink) { return (sink.state & stateMask) == 0; });
    *devices = std::make_shared<SinkCollection>(connection_, std::move(query.sinks));
    return 0;
  }

  AudioResult GetDefaultAudioEndpoint(std::shared_ptr<IMMDevice>* device) override {
    ServerQuery server(*connection_);
    SinkQuery query(*connection_);
    {
      ServerConnection::Lock lock(*connection_);
      if (!connection_->Await(pa_context_get_server_info(connection_->Context(),
                                                         &ServerQuery::OnServer, &server))) {
        return kServiceNotRunning;
      }
      if (server.defaultSink.empty()) return kNotFound;
      if (!connection_->Await(pa_context_get_sink_info_by_name(
              connection_->Context(), server.defaultSink.c_str(), &SinkQuery::OnSink, &query))) {
        return kServiceNotRunning;
      }
    }
    if (query.sinks.empty()) return kNotFound;
    *device = std::make_shared<SinkEndpoint>(connection_, std::move(query.sinks.front()));
    return 0;
  }

 private:
  const std::shared_ptr<ServerConnection> connection_;
};

}  // namespace

void InitializeComponentModel() {}

AudioResult CreateDeviceEnumerator(std::shared_ptr<IMMDeviceEnumerator>* enumerator) {
  std::shared_ptr<ServerConnection> connection = ServerConnection::Connect();
  if (connection == nullptr) return kServiceNotRunning;
  *enumerator = std::make_shared<SinkEnumerator>(std::move(connection));
  return 0;
}

}  // namespace platform
