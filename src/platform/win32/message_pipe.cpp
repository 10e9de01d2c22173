#include "platform/message_pipe.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/win32/wide_text.h"

// Message-mode named pipes "\\.\pipe\<name>", opened for overlapped I/O. Each end keeps one read
// under way into its own buffer, so that the pipe's event is signalled while a message waits or
// the other end has gone, and a receive can be bounded. A client end starts reading ahead only
// at its first Receive, so that a TransactNamedPipe finds no read under way.
//
// Handles travel inside the message: the sender duplicates each into the process at the other
// end (DuplicateHandle) and writes the value it has there; the receiver takes the values it is
// given.

namespace platform {

namespace {

constexpr DWORD kPipeBuffer = 64 * 1024;

std::wstring PipePath(const std::string& name) { return L"\\\\.\\pipe\\" + Widen(name); }

HANDLE NewEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

HANDLE Native(const OwnedHandle& handle) { return reinterpret_cast<HANDLE>(handle.Get()); }

PipeStatus WriteStatus(DWORD error) {
  return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED
             ? PipeStatus::kBroken
             : PipeStatus::kFailed;
}

}  // namespace

struct MessagePipe::End {
  End(HANDLE pipeHandle, bool serverEnd) : pipe(pipeHandle), server(serverEnd), event(NewEvent()) {}
  ~End() {
    if (reading) {
      CancelIoEx(pipe, &read);
      DWORD ignored = 0;
      GetOverlappedResult(pipe, &read, &ignored, TRUE);
    }
    if (event != nullptr) CloseHandle(event);
    CloseHandle(pipe);
  }
  End(const End&) = delete;
  End& operator=(const End&) = delete;

  /// Starts the next read-ahead unless one is under way or has completed.
  void StartRead() {
    if (reading || readDone) return;
    buffer.resize(kPipeBuffer);
    read = OVERLAPPED{};
    read.hEvent = event;
    ResetEvent(event);
    DWORD count = 0;
    if (ReadFile(pipe, buffer.data(), kPipeBuffer, &count, &read)) {
      Complete(ERROR_SUCCESS, count);
    } else if (GetLastError() == ERROR_IO_PENDING) {
      reading = true;
    } else {
      Complete(GetLastError(), 0);
    }
  }

  /// Collects the read-ahead when it has completed; false while it is under way.
  bool Collect() {
    if (readDone) return true;
    if (!reading) return false;
    DWORD count = 0;
    if (GetOverlappedResult(pipe, &read, &count, FALSE)) {
      reading = false;
      Complete(ERROR_SUCCESS, count);
    } else if (GetLastError() != ERROR_IO_INCOMPLETE) {
      reading = false;
      Complete(GetLastError(), count);
    }
    return readDone;
  }

  void Complete(DWORD error, DWORD count) {
    readDone = true;
    readError = error;
    buffer.resize(count);
    SetEvent(event);  // stays signalled until the message is taken
    if (error == ERROR_MORE_DATA) {
      // The rest of a message larger than the read-ahead buffer.
      DWORD left = 0;
      if (PeekNamedPipe(pipe, nullptr, 0, nullptr, nullptr, &left) && left > 0) {
        const size_t start = buffer.size();
        buffer.resize(start + left);
        OVERLAPPED rest{};
        rest.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD got = 0;
        if (rest.hEvent != nullptr &&
            (ReadFile(pipe, buffer.data() + start, left, &got, &rest) ||
             GetLastError() == ERROR_IO_PENDING) &&
            GetOverlappedResult(pipe, &rest, &got, TRUE)) {
          readError = ERROR_SUCCESS;
        }
        buffer.resize(start + got);
        if (rest.hEvent != nullptr) CloseHandle(rest.hEvent);
      }
    }
  }

  /// The completed message; the read-ahead is taken.
  PipeMessage TakeMessage() {
    PipeMessage message;
    readDone = false;
    ResetEvent(event);
    message.bytes = std::move(buffer);
    buffer.clear();
    return message;
  }

  HANDLE pipe;
  const bool server;
  HANDLE event;  // signalled while a completed read waits to be taken
  OVERLAPPED read{};
  std::vector<uint8_t> buffer;
  bool reading = false;   // a read is under way
  bool readDone = false;  // a read completed and waits to be taken
  DWORD readError = ERROR_SUCCESS;
};

PeerHandles::PeerHandles(const ProcessHandle& peer) {
  HANDLE process = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), Native(peer.handle_), GetCurrentProcess(), &process, 0,
                      FALSE, DUPLICATE_SAME_ACCESS)) {
    process_.Reset(reinterpret_cast<intptr_t>(process));
  }
}

PeerHandles::~PeerHandles() {
  if (delivered_) return;
  for (const intptr_t value : duplicated_) {
    DuplicateHandle(Native(process_), reinterpret_cast<HANDLE>(value), nullptr, nullptr, 0, FALSE,
                    DUPLICATE_CLOSE_SOURCE);
  }
}

std::optional<int64_t> PeerHandles::Add(const OwnedHandle& handle) {
  HANDLE target = nullptr;
  if (!process_.IsValid() || !DuplicateHandle(GetCurrentProcess(), Native(handle), Native(process_),
                                              &target, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return std::nullopt;
  }
  duplicated_.push_back(reinterpret_cast<intptr_t>(target));
  return static_cast<int64_t>(duplicated_.back());
}

// Kernel handle values are positive; the negative ones are pseudo handles.
OwnedHandle ReceivedHandles::Take(int64_t reference) {
  if (reference <= 0 || reference > INTPTR_MAX || !taken_.insert(reference).second) {
    return OwnedHandle();
  }
  return OwnedHandle(static_cast<intptr_t>(reference));
}

uint32_t CurrentSessionId() {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return session;
}

PipeConnection ConnectMessagePipe(const std::string& name, uint32_t busyWaitMs) {
  PipeConnection result;
  const std::wstring path = PipePath(name);
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 2; ++attempt) {
    pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (error == ERROR_PIPE_BUSY && attempt == 0) {
      if (WaitNamedPipeW(path.c_str(), std::max<uint32_t>(busyWaitMs, 1))) continue;
      result.status = PipeStatus::kBusy;
      return result;
    }
    result.status = error == ERROR_FILE_NOT_FOUND  ? PipeStatus::kNotFound
                    : error == ERROR_PIPE_BUSY     ? PipeStatus::kBusy
                    : error == ERROR_ACCESS_DENIED ? PipeStatus::kAccessDenied
                                                   : PipeStatus::kFailed;
    return result;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    CloseHandle(pipe);
    result.status = error == ERROR_PIPE_NOT_CONNECTED ? PipeStatus::kBroken : PipeStatus::kFailed;
    return result;
  }
  auto end = std::make_shared<MessagePipe::End>(pipe, false);
  if (end->event == nullptr) return result;
  result.status = PipeStatus::kOk;
  result.pipe = MessagePipe(std::move(end));
  return result;
}

intptr_t MessagePipe::WaitHandle() const { return reinterpret_cast<intptr_t>(end_->event); }

PipeStatus MessagePipe::Send(std::span<const uint8_t> bytes, PeerHandles* handles) {
  OVERLAPPED write{};
  write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD written = 0;
  const bool sent =
      write.hEvent != nullptr &&
      (WriteFile(end_->pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &write) ||
       GetLastError() == ERROR_IO_PENDING) &&
      GetOverlappedResult(end_->pipe, &write, &written, TRUE) && written == bytes.size();
  const DWORD error = GetLastError();
  if (write.hEvent != nullptr) CloseHandle(write.hEvent);
  if (!sent) return WriteStatus(error);
  if (handles != nullptr) handles->delivered_ = true;
  return PipeStatus::kOk;
}

PipeStatus MessagePipe::Transact(std::span<const uint8_t> request, PeerHandles* handles,
                                 PipeMessage& answer, size_t maxBytes, size_t, uint32_t timeoutMs) {
  answer = PipeMessage{};
  // A read under way would take the answer.
  if (end_->reading || end_->readDone) return PipeStatus::kFailed;
  OVERLAPPED transaction{};
  transaction.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (transaction.hEvent == nullptr) return PipeStatus::kFailed;
  answer.bytes.resize(maxBytes);
  DWORD received = 0;
  PipeStatus status = PipeStatus::kOk;
  if (!TransactNamedPipe(end_->pipe, const_cast<uint8_t*>(request.data()),
                         static_cast<DWORD>(request.size()), answer.bytes.data(),
                         static_cast<DWORD>(maxBytes), &received, &transaction)) {
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      // The request has gone out: the handles it names are the peer's now.
      if (handles != nullptr) handles->delivered_ = true;
      if (WaitForSingleObject(transaction.hEvent, timeoutMs) != WAIT_OBJECT_0) {
        CancelIoEx(end_->pipe, &transaction);
        GetOverlappedResult(end_->pipe, &transaction, &received, TRUE);
        error = ERROR_TIMEOUT;
      } else {
        error = GetOverlappedResult(end_->pipe, &transaction, &received, FALSE) ? ERROR_SUCCESS
                                                                                : GetLastError();
      }
    }
    status = error == ERROR_SUCCESS       ? PipeStatus::kOk
             : error == ERROR_TIMEOUT     ? PipeStatus::kTimeout
             : error == ERROR_BROKEN_PIPE ? PipeStatus::kBroken
             : error == ERROR_MORE_DATA   ? PipeStatus::kMoreData
                                          : PipeStatus::kFailed;
  }
  CloseHandle(transaction.hEvent);
  if (status == PipeStatus::kOk && handles != nullptr) handles->delivered_ = true;
  answer.bytes.resize(status == PipeStatus::kOk || status == PipeStatus::kMoreData ? received : 0);
  return status;
}

PipeStatus MessagePipe::Receive(PipeMessage& message, size_t maxBytes, size_t, uint32_t timeoutMs) {
  message = PipeMessage{};
  end_->StartRead();
  if (!end_->Collect()) {
    if (WaitForSingleObject(end_->event, timeoutMs) != WAIT_OBJECT_0) return PipeStatus::kTimeout;
    if (!end_->Collect()) return PipeStatus::kTimeout;
  }
  const DWORD error = end_->readError;
  if (error != ERROR_SUCCESS) {
    end_->readDone = false;
    ResetEvent(end_->event);
    // The end of the pipe stays signalled, as the broken pipe does for every later wait.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) {
      end_->readDone = true;
      SetEvent(end_->event);
      return PipeStatus::kBroken;
    }
    return PipeStatus::kFailed;
  }
  message = end_->TakeMessage();
  end_->StartRead();
  if (message.bytes.size() > maxBytes) {
    message.bytes.resize(maxBytes);
    return PipeStatus::kMoreData;
  }
  return PipeStatus::kOk;
}

std::optional<uint32_t> MessagePipe::PeerProcessId() const {
  ULONG id = 0;
  const BOOL read = end_->server ? GetNamedPipeClientProcessId(end_->pipe, &id)
                                 : GetNamedPipeServerProcessId(end_->pipe, &id);
  if (!read || id == 0) return std::nullopt;
  return id;
}

std::optional<uint32_t> MessagePipe::PeerSessionId() const {
  ULONG id = 0;
  const BOOL read = end_->server ? GetNamedPipeClientSessionId(end_->pipe, &id)
                                 : GetNamedPipeServerSessionId(end_->pipe, &id);
  if (!read) return std::nullopt;
  return id;
}

struct MessagePipeServer::Listener {
  explicit Listener(std::wstring pipePath) : path(std::move(pipePath)), event(NewEvent()) {}
  ~Listener() {
    Abandon();
    if (event != nullptr) CloseHandle(event);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  /// Creates the next instance and lets it wait for a client; the first instance claims the
  /// name, which fails while another server serves it.
  bool Arm(bool first) {
    instance = CreateNamedPipeW(
        path.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, nullptr);
    if (instance == INVALID_HANDLE_VALUE) return false;
    connect = OVERLAPPED{};
    connect.hEvent = event;
    ResetEvent(event);
    if (ConnectNamedPipe(instance, &connect)) {
      SetEvent(event);
    } else if (GetLastError() == ERROR_PIPE_CONNECTED) {
      SetEvent(event);
    } else if (GetLastError() != ERROR_IO_PENDING) {
      Abandon();
      return false;
    }
    return true;
  }

  void Abandon() {
    if (instance == INVALID_HANDLE_VALUE) return;
    CancelIoEx(instance, &connect);
    CloseHandle(instance);
    instance = INVALID_HANDLE_VALUE;
  }

  std::wstring path;
  HANDLE event;  // signalled once a client connected to the waiting instance
  HANDLE instance = INVALID_HANDLE_VALUE;
  OVERLAPPED connect{};
};

std::optional<MessagePipeServer> MessagePipeServer::Listen(const std::string& name) {
  auto listener = std::make_shared<Listener>(PipePath(name));
  if (listener->event == nullptr || !listener->Arm(true)) return std::nullopt;
  return MessagePipeServer(std::move(listener));
}

MessagePipeServer::~MessagePipeServer() = default;

intptr_t MessagePipeServer::WaitHandle() const {
  return reinterpret_cast<intptr_t>(listener_->event);
}

std::optional<MessagePipe> MessagePipeServer::Accept() {
  Listener& listener = *listener_;
  if (listener.instance == INVALID_HANDLE_VALUE && !listener.Arm(false)) return std::nullopt;
  if (WaitForSingleObject(listener.event, 0) != WAIT_OBJECT_0) return std::nullopt;
  DWORD ignored = 0;
  const bool connected =
      GetOverlappedResult(listener.instance, &listener.connect, &ignored, FALSE) ||
      GetLastError() == ERROR_PIPE_CONNECTED;
  HANDLE pipe = std::exchange(listener.instance, INVALID_HANDLE_VALUE);
  listener.Arm(false);
  if (!connected) {
    CloseHandle(pipe);
    return std::nullopt;
  }
  auto end = std::make_shared<MessagePipe::End>(pipe, true);
  if (end->event == nullptr) return std::nullopt;
  end->StartRead();
  return MessagePipe(std::move(end));
}

}  // namespace platform
