// The serial port over a pty whose far end serial_driver.py plays: it echoes every byte,
// stops reading for a second after "~~STALL~~" and hangs up on "~~HANGUP~~". Without
// the driver these cases are skipped.
#include "win32/serial.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

namespace vantrel::win32 {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr SerialPort::Messages kMessages{WM_APP + 1, WM_APP + 2, WM_APP + 3};

class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* number = std::getenv("VANTREL_TEST_PTY_PORT");
    if (!number) GTEST_SKIP() << "needs tests/win32/serial_driver.py";
    number_ = std::atoi(number);
  }
  void TearDown() override { DestroyWindow(window_); }

  // Opens the pty's port (or another) and waits for the opening's result, which comes
  // as a message: the opening does not hold up the caller.
  std::optional<bool> Open(device::LineSettings line = {}, int com_port = 0) {
    port_.Open({.com_port = com_port ? com_port : number_, .line = line});
    EXPECT_FALSE(port_.IsOpen());
    opened_.reset();
    Pump([&] { return opened_.has_value(); }, 10s);
    return opened_;
  }
  // Runs the thread's messages as the program's window does, until `done` or for
  // `time`: a data notice takes the bytes waiting, a lost notice is counted.
  void Pump(const std::function<bool()>& done, std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (!done() && std::chrono::steady_clock::now() < end) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
        if (msg.message == kMessages.opened) opened_ = port_.OpenResult(msg.wParam, msg.lParam);
        if (!port_.Current(msg.wParam)) continue;
        const Bytes in = msg.message == kMessages.data ? port_.TakeReceived() : Bytes{};
        received_.insert(received_.end(), in.begin(), in.end());
        lost_ += msg.message == kMessages.lost ? 1 : 0;
      }
    }
  }
  // Writes the bytes; what comes back once `count` bytes are in, and 50 ms more.
  Bytes Echo(const Bytes& out, std::size_t count) {
    port_.Write(out);
    Pump([&] { return received_.size() >= count; }, 10s);
    Pump([] { return false; }, 50ms);
    return std::exchange(received_, {});
  }
  static Bytes Of(std::string_view text) { return Bytes(text.begin(), text.end()); }

  HWND window_ =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SerialPort port_{window_, kMessages};
  std::optional<bool> opened_;
  Bytes received_;
  int lost_ = 0, number_ = 0;
};

TEST_F(SerialPty, LineStateAndBytesPerSettings) {
  EXPECT_THAT(PresentComPorts(), testing::Contains(number_));
  Bytes every;  // every byte value, then more than one read holds
  for (int i = 0; i < 256 + 3000; ++i) every.push_back(static_cast<std::uint8_t>(i));
  const struct {
    device::LineSettings line;
    Bytes before_reopen{};  // when not empty: written, its echo in, then the port reopened
    Bytes out, in;
  } kRows[] = {{.line = {.keep_zero_bytes = true}, .out = every, .in = every},
               // A key pressed as the program reopens the port after a frame still plays.
               {.line = {.keep_zero_bytes = true},
                .before_reopen = {0x1B},
                .out = {0x21},
                .in = {0x1B, 0x21}},
               {.line = {.odd_parity = true},
                .out = {0, 'A', 0, 0, 'B', 0x1B, 0, 'C'},
                .in = {'A', 'B', 0x1B, 'C'}}};
  for (const auto& row : kRows) {
    SCOPED_TRACE("row " + std::to_string(&row - kRows));
    ASSERT_EQ(Open(row.line), true) << "error " << port_.LastOpenError();
    // The line as set up (a pty shows neither parity nor fNull when read back).
    DCB d{};
    COMMTIMEOUTS t{};
    ASSERT_TRUE(port_.GetLineState(&d, &t));
    EXPECT_TRUE(d.BaudRate == 9600 && d.ByteSize == 8 && d.StopBits == ONESTOPBIT);
    EXPECT_EQ(d.Parity, row.line.odd_parity ? ODDPARITY : NOPARITY);
    EXPECT_EQ(d.fParity != 0, row.line.odd_parity);
    EXPECT_EQ(d.fNull != 0, !row.line.keep_zero_bytes);
    EXPECT_FALSE(d.fOutxCtsFlow || d.fOutxDsrFlow || d.fOutX || d.fInX ||
                 d.fDtrControl != DTR_CONTROL_DISABLE || d.fRtsControl != RTS_CONTROL_DISABLE)
        << "no handshake, DTR and RTS low";
    EXPECT_TRUE(d.fErrorChar && d.ErrorChar == '?') << "a damaged byte plays no key";
    // All zero: the 1-byte read waits for a byte.
    EXPECT_EQ(t.ReadIntervalTimeout + t.ReadTotalTimeoutConstant + t.ReadTotalTimeoutMultiplier,
              0u);
    if (!row.before_reopen.empty()) {
      port_.Write(row.before_reopen);
      Sleep(300);
      port_.Reopen();
    }
    EXPECT_EQ(Echo(row.out, row.in.size()), row.in);
  }
  // A port that is not there: the failure, too, comes as the opening's result.
  EXPECT_EQ(Open({}, kMaxComPort), false);
  EXPECT_NE(port_.LastOpenError(), 0u);
}

// Writes queued behind one the line has not taken yet leave in the order written.
TEST_F(SerialPty, QueuedWritesLeaveInOrderBehindAStalledLine) {
  ASSERT_EQ(Open(), true) << port_.LastOpenError();
  Bytes sent = Of("~~STALL~~");
  port_.Write(sent);
  Sleep(200);  // the far end has stopped reading
  for (Bytes frame : {Bytes(48 * 1024, 'x'), Of("aaa"), Of("bbb"), Of("ccc")}) {
    port_.Write(frame);
    sent.insert(sent.end(), frame.begin(), frame.end());
  }
  const Bytes back = Echo({}, sent.size());
  EXPECT_TRUE(back == sent) << back.size() << " bytes back, not as written";
}

// Runs last: the driver closes its end of the pty, which then is gone.
TEST_F(SerialPty, ZLostPortIsReportedOnceWithoutSpinning) {
  ASSERT_EQ(Open(), true) << port_.LastOpenError();
  port_.Write(Of("~~HANGUP~~"));
  Pump([&] { return lost_ > 0; }, 5s);
  ASSERT_TRUE(port_.Lost());
  const auto cpu_ms = [] {  // the process's, the line thread's with it
    FILETIME t[4];
    GetProcessTimes(GetCurrentProcess(), &t[0], &t[1], &t[2], &t[3]);
    return (std::bit_cast<ULONGLONG>(t[2]) + std::bit_cast<ULONGLONG>(t[3])) / 10000;
  };
  const auto before = cpu_ms();
  Pump([] { return false; }, 500ms);
  // Idle it takes 0 to 10 ms; spinning, at least 150 (Wine's server takes the rest).
  EXPECT_LT(cpu_ms() - before, 100u) << "the reader spins";
  EXPECT_EQ(lost_, 1);
  // Writing to the lost line neither blocks nor crashes; closing is clean.
  const auto start = std::chrono::steady_clock::now();
  port_.Write(Bytes{0x1B, 0x13});
  port_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

}  // namespace
}  // namespace vantrel::win32
