#include "platform/serial_port.h"

#include <windows.h>

#include "platform/handle.h"
#include "platform/win32/wide_text.h"

// A COM port opened for overlapped I/O, so that every write and every read of a byte can be
// bounded: the operation is started, waited for up to its limit and cancelled (CancelIoEx) when
// the limit passes. The line settings are the DCB's, the read interval the COMMTIMEOUTS'.

namespace platform {

namespace {

class ComPort final : public SerialPort {
 public:
  ComPort(OwnedHandle port, OwnedHandle completed)
      : port_(std::move(port)), completed_(std::move(completed)) {}

  bool GetLineSettings(SerialLineSettings& settings) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Port(), &dcb)) return false;
    settings.baudRate = dcb.BaudRate;
    settings.byteSize = dcb.ByteSize;
    switch (dcb.Parity) {
      case ODDPARITY:
        settings.parity = SerialParity::kOdd;
        break;
      case EVENPARITY:
        settings.parity = SerialParity::kEven;
        break;
      case MARKPARITY:
        settings.parity = SerialParity::kMark;
        break;
      case SPACEPARITY:
        settings.parity = SerialParity::kSpace;
        break;
      default:
        settings.parity = SerialParity::kNone;
        break;
    }
    settings.stopBits = dcb.StopBits == TWOSTOPBITS    ? SerialStopBits::kTwo
                        : dcb.StopBits == ONE5STOPBITS ? SerialStopBits::kOnePointFive
                                                       : SerialStopBits::kOne;
    settings.outX = dcb.fOutX != 0;
    settings.inX = dcb.fInX != 0;
    return true;
  }

  bool SetLineSettings(const SerialLineSettings& settings) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Port(), &dcb)) return false;
    static constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    static constexpr BYTE kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = kParities[static_cast<int>(settings.parity)];
    dcb.StopBits = kStopBits[static_cast<int>(settings.stopBits)];
    dcb.fOutX = settings.outX ? 1 : 0;
    dcb.fInX = settings.inX ? 1 : 0;
    return SetCommState(Port(), &dcb) != FALSE;
  }

  bool SetReadIntervalTimeout(std::chrono::milliseconds interval) override {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = static_cast<DWORD>(interval.count());
    return SetCommTimeouts(Port(), &timeouts) != FALSE;
  }

  bool Write(std::string_view bytes, std::chrono::milliseconds limit) override {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    while (!bytes.empty()) {
      DWORD written = 0;
      if (!Transfer(
              [&](OVERLAPPED* overlapped) {
                return WriteFile(Port(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                                 overlapped);
              },
              deadline, written)) {
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  SerialRead ReadByte(uint8_t& byte, std::chrono::milliseconds limit) override {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    for (;;) {
      DWORD count = 0;
      if (!Transfer(
              [&](OVERLAPPED* overlapped) {
                return ReadFile(Port(), &byte, 1, nullptr, overlapped);
              },
              deadline, count)) {
        return GetLastError() == ERROR_TIMEOUT ? SerialRead::kTimeout : SerialRead::kFailed;
      }
      if (count == 1) return SerialRead::kByte;
      // A read that the interval time-out ended without a byte: go on until the limit.
      if (GetTickCount64() >= deadline) {
        SetLastError(ERROR_TIMEOUT);
        return SerialRead::kTimeout;
      }
    }
  }

 private:
  HANDLE Port() const { return reinterpret_cast<HANDLE>(port_.Get()); }

  // Starts one overlapped operation and waits for it until `deadline`; on time-out it is
  // cancelled and the last error is ERROR_TIMEOUT.
  template <typename Start>
  bool Transfer(Start start, ULONGLONG deadline, DWORD& transferred) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = reinterpret_cast<HANDLE>(completed_.Get());
    ResetEvent(overlapped.hEvent);
    if (!start(&overlapped) && GetLastError() != ERROR_IO_PENDING) return false;
    const ULONGLONG now = GetTickCount64();
    const DWORD wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    if (WaitForSingleObject(overlapped.hEvent, wait) != WAIT_OBJECT_0) {
      CancelIoEx(Port(), &overlapped);
      GetOverlappedResult(Port(), &overlapped, &transferred, TRUE);
      SetLastError(ERROR_TIMEOUT);
      return false;
    }
    return GetOverlappedResult(Port(), &overlapped, &transferred, FALSE) != FALSE;
  }

  OwnedHandle port_;
  OwnedHandle completed_;  // the event of the operation under way
};

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& name) {
  // The device namespace reaches COM10 and above, which the plain names do not.
  HANDLE port = CreateFileW(Widen("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                            nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return nullptr;
  OwnedHandle owned(reinterpret_cast<intptr_t>(port));
  HANDLE completed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (completed == nullptr) return nullptr;
  // A freshly opened port starts empty.
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return std::make_unique<ComPort>(std::move(owned),
                                   OwnedHandle(reinterpret_cast<intptr_t>(completed)));
}

}  // namespace platform
