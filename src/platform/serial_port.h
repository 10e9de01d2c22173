#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

/// Parity of a serial line (the DCB's NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY).
enum class SerialParity { kNone, kOdd, kEven, kMark, kSpace };
/// Stop bits of a serial line (ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS).
enum class SerialStopBits { kOne, kOnePointFive, kTwo };

/// The line settings of a serial port that a caller may change (the DCB's BaudRate, ByteSize,
/// Parity, StopBits, fOutX and fInX). Every other setting of the port stays as it is.
struct SerialLineSettings {
  uint32_t baudRate = 0;
  uint8_t byteSize = 8;
  SerialParity parity = SerialParity::kNone;
  SerialStopBits stopBits = SerialStopBits::kOne;
  bool outX = false;  // XON/XOFF flow control of the output
  bool inX = false;   // XON/XOFF flow control of the input
};

/// What reading one byte ended with.
enum class SerialRead { kByte, kTimeout, kFailed };

/// A COM port opened for reading and writing, without sharing, for synchronous input and output
/// (CreateFileW with GENERIC_READ | GENERIC_WRITE, no share mode, OPEN_EXISTING). Closed when
/// destroyed. Failures leave the system's error code for `LastErrorCode`.
///
/// The interface is abstract so that code using a port can be tested with a fake device.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  /// The port's current line settings (GetCommState).
  virtual bool GetLineSettings(SerialLineSettings& settings) = 0;
  /// Writes the line settings back (SetCommState).
  virtual bool SetLineSettings(const SerialLineSettings& settings) = 0;
  /// Sets the read interval time-out, the longest pause between two bytes of one read, with
  /// every total time-out 0 (SetCommTimeouts).
  virtual bool SetReadIntervalTimeout(std::chrono::milliseconds interval) = 0;
  /// Writes all of `bytes` within `limit` (WriteFile, bounded).
  virtual bool Write(std::string_view bytes, std::chrono::milliseconds limit) = 0;
  /// Reads one byte into `byte`, waiting at most `limit` for it (ReadFile of one byte,
  /// bounded).
  virtual SerialRead ReadByte(uint8_t& byte, std::chrono::milliseconds limit) = 0;
};

/// Opens the COM port `name` ("COM1", "COM2", ...; the name is passed on unchanged). Null when
/// it does not open.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& name);

}  // namespace platform
