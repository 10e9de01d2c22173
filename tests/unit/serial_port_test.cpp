#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/machine_prefix.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// A COM port is the terminal its name links to under the machine prefix, in raw mode: bytes
// pass unchanged both ways and nothing is echoed.
TEST(SerialPort, ATerminalUnderItsComNameCarriesBytesUnchanged) {
  const testsupport::ScopedMachinePrefix machine;
  const std::filesystem::path dev = std::filesystem::path(machine.Path()) / "dev";
  std::filesystem::create_directories(dev);
  int device = -1;
  int line = -1;
  char name[64];
  ASSERT_EQ(openpty(&device, &line, name, nullptr, nullptr), 0);
  close(line);
  std::filesystem::create_symlink(name, dev / "COM1");
  std::ofstream(dev / "COM2") << "not a terminal";
  EXPECT_EQ(OpenSerialPort("COM2"), nullptr);

  const std::unique_ptr<SerialPort> port = OpenSerialPort("COM1");
  ASSERT_NE(port, nullptr);
  // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
  ASSERT_TRUE(port->SetLineSettings({115200, 8, SerialParity::kNone, SerialStopBits::kTwo, true}));
  ASSERT_TRUE(port->SetReadIntervalTimeout(1000ms));
  SerialLineSettings current;
  ASSERT_TRUE(port->GetLineSettings(current));
  EXPECT_EQ(current.baudRate, 115200u);
  EXPECT_EQ(current.stopBits, SerialStopBits::kTwo);
  EXPECT_TRUE(current.outX && !current.inX);

  ASSERT_TRUE(port->Write("FWVER?\n", 1s));
  char written[16] = {};
  EXPECT_EQ(read(device, written, sizeof written), 7);
  EXPECT_STREQ(written, "FWVER?\n");  // no CR added
  ASSERT_EQ(write(device, "a\r\n", 3), 3);
  std::string received;
  uint8_t byte = 0;
  while (received.size() < 3 && port->ReadByte(byte, 1s) == SerialRead::kByte) {
    received.push_back(static_cast<char>(byte));
  }
  EXPECT_EQ(received, "a\r\n");  // no CR turned into LF
  EXPECT_EQ(port->ReadByte(byte, 10ms), SerialRead::kTimeout);
  fcntl(device, F_SETFL, O_NONBLOCK);
  EXPECT_EQ(read(device, written, sizeof written), -1);  // nothing echoed
  close(device);
}

}  // namespace
}  // namespace platform
