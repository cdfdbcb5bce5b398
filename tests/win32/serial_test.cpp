// The serial port against a pty played by tests/win32/serial_driver.py (which sets
// VANTREL_TEST_PTY_PORT and echoes every byte; "~~HANGUP~~" makes it close its end).
// Without the driver only the tests that need no device run.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win32/win32_test_util.h"
#include "win32/serial.h"

namespace vantrel::win32 {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr UINT kData = WM_APP + 1;
constexpr UINT kLost = WM_APP + 2;

Bytes B(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

void Configure(SerialPort& port, int number, std::string_view settings = "9600,n,8,1") {
  port.SetCommPort(number);
  port.SetSettings(settings);
  port.SetInBufferSize(1024);
  port.SetRThreshold(1);
  port.SetInputLen(0);
  port.SetNullDiscard(false);
}

TEST(SerialNoDevice, MissingPortNumberOrSettingsRefuseToOpen) {
  SerialPort port;
  // COM9 is mapped to a path that does not exist: under Wine it may even open,
  // but its set-up calls fail, and that is "cannot open".
  Configure(port, 9);
  EXPECT_FALSE(port.SetPortOpen(true));
  EXPECT_FALSE(port.PortOpen());
  EXPECT_NE(port.LastOpenError(), 0u);
  for (int bad : {0, 10, -1}) {
    Configure(port, bad);
    EXPECT_FALSE(port.SetPortOpen(true)) << bad;
  }
  for (const char* bad : {"9600,x,8,1", "9600,n,9,1", "9600,n,8", "fast,n,8,1", "9600,n,8,1,"}) {
    Configure(port, 9, bad);
    EXPECT_FALSE(port.SetPortOpen(true)) << bad;
  }
  // Closed: nothing to write to, nothing to read, closing again is harmless.
  const Bytes frame = B("\x1b\x13");
  port.Write(frame);
  EXPECT_TRUE(port.Input().empty());
  EXPECT_TRUE(port.SetPortOpen(false));
  DCB dcb;
  EXPECT_FALSE(port.GetLineState(&dcb));
}

class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* number = std::getenv("VANTREL_TEST_PTY_PORT");
    if (!number) GTEST_SKIP() << "needs tests/win32/serial_driver.py";
    number_ = std::atoi(number);
    port_.SetNotify(window_.hwnd(), kData, kLost);
    Configure(port_, number_);
  }

  void OnMessage(UINT msg) {
    if (msg == kData) {
      ++notices_;
      const Bytes in = port_.Input();
      received_.insert(received_.end(), in.begin(), in.end());
    } else if (msg == kLost) {
      ++lost_notices_;
    }
  }

  // Writes the bytes and returns what comes back once `expect` bytes (default: as
  // many as were sent) have arrived.
  Bytes Echo(const Bytes& out, std::size_t expect = 0) {
    if (!expect) expect = out.size();
    received_.clear();
    port_.Write(out);
    window_.PumpUntil([&] { return received_.size() >= expect; }, 5s);
    // Anything extra would arrive right behind.
    window_.PumpUntil([] { return false; }, 20ms);
    return std::exchange(received_, {});
  }

  int number_ = 0;
  test::MessageWindow window_{[this](UINT m) { OnMessage(m); }};
  SerialPort port_;
  Bytes received_;
  int notices_ = 0;
  int lost_notices_ = 0;
};

TEST_F(SerialPty, LineSettingsAreAppliedToTheLine) {
  for (const auto& [text, parity] :
       {std::pair{"9600,o,8,1", ODDPARITY}, std::pair{"9600,n,8,1", NOPARITY}}) {
    port_.SetSettings(text);
    port_.SetNullDiscard(parity == ODDPARITY);
    ASSERT_TRUE(port_.SetPortOpen(true)) << text << " error " << port_.LastOpenError();
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(port_.GetLineState(&dcb, &timeouts));
    EXPECT_EQ(dcb.BaudRate, 9600u) << text;
    EXPECT_EQ(dcb.Parity, parity) << text;
    EXPECT_EQ(dcb.ByteSize, 8) << text;
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT) << text;
    EXPECT_EQ(dcb.fNull != 0, parity == ODDPARITY) << text;
    // No handshaking of any kind.
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    EXPECT_NE(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_NE(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    // All-zero timeouts: the reader's 1-byte read waits for a byte, no polling.
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_TRUE(port_.SetPortOpen(false));
  }
}

TEST_F(SerialPty, EveryByteArrivesOnceInOrder) {
  ASSERT_TRUE(port_.SetPortOpen(true)) << port_.LastOpenError();
  EXPECT_TRUE(port_.SetPortOpen(true));  // already open: no change
  Bytes all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(Echo(all), all);

  // A burst larger than one read, written in frame-sized pieces.
  Bytes burst;
  for (int i = 0; i < 3000; ++i) burst.push_back(static_cast<std::uint8_t>('a' + i % 26));
  received_.clear();
  for (std::size_t at = 0; at < burst.size(); at += 29)
    port_.Write(std::span(burst).subspan(at, std::min<std::size_t>(29, burst.size() - at)));
  window_.PumpUntil([&] { return received_.size() >= burst.size(); }, 10s);
  window_.PumpUntil([] { return false; }, 20ms);
  EXPECT_EQ(received_, burst);
  EXPECT_EQ(lost_notices_, 0);
}

TEST_F(SerialPty, NullDiscardDropsZeroBytes) {
  port_.SetNullDiscard(true);
  ASSERT_TRUE(port_.SetPortOpen(true)) << port_.LastOpenError();
  EXPECT_EQ(Echo(B(std::string("\0A\0\0B\x1b\0C", 8)), 4), B("AB\x1b"
                                                             "C"));
  port_.SetNullDiscard(false);
  port_.Reopen();
  EXPECT_EQ(Echo(B(std::string("A\0B", 3))), B(std::string("A\0B", 3)));
}

TEST_F(SerialPty, ReopenRepeatedlyKeepsWorking) {
  ASSERT_TRUE(port_.SetPortOpen(true)) << port_.LastOpenError();
  for (int i = 0; i < 25; ++i) {
    port_.Reopen();
    ASSERT_TRUE(port_.PortOpen()) << "round " << i;
    if (i % 5 == 0) {
      EXPECT_EQ(Echo(B("\x1b\x12 ok")), B("\x1b\x12 ok")) << "round " << i;
    }
  }
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(port_.SetPortOpen(false));
    ASSERT_TRUE(port_.SetPortOpen(true)) << "round " << i;
  }
  EXPECT_EQ(Echo(B("end")), B("end"));
}

// Runs last: the driver closes its end of the pty, which then is gone.
TEST_F(SerialPty, ZLostPortIsReportedOnceWithoutSpinning) {
  ASSERT_TRUE(port_.SetPortOpen(true)) << port_.LastOpenError();
  port_.Write(B("~~HANGUP~~"));
  ASSERT_TRUE(window_.PumpUntil([&] { return lost_notices_ > 0; }, 5s));
  EXPECT_TRUE(port_.Lost());

  FILETIME created, exited, kernel0, user0, kernel1, user1;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel0, &user0);
  window_.PumpUntil([] { return false; }, 500ms);
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel1, &user1);
  const auto ticks = [](FILETIME f) {
    return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  const ULONGLONG busy_ms = (ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 10000;
  EXPECT_LT(busy_ms, 150u) << "the reader spins after the port went away";
  EXPECT_EQ(lost_notices_, 1);

  // Writing to the lost line neither blocks for long nor crashes; closing is clean.
  const auto start = std::chrono::steady_clock::now();
  port_.Write(B("\x1b\x13"));
  EXPECT_TRUE(port_.SetPortOpen(false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_FALSE(port_.PortOpen());
}

}  // namespace
}  // namespace vantrel::win32
