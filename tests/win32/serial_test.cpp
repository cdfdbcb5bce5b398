// The serial port over a pty whose far end serial_driver.py plays: it echoes every byte,
// stops reading for a second after "~~STALL~~" and hangs up on "~~HANGUP~~". Without
// the driver these cases are skipped.
#include "win32/serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <utility>

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
    port_.SetNotify(window_, kMessages);
  }
  void TearDown() override { DestroyWindow(window_); }

  // Opens the pty's port and waits for the result, which comes as a message: the
  // opening does not hold up the caller.
  bool Open(bool odd_parity = false, bool keep_zero_bytes = true) {
    port_.Open({number_, {odd_parity, keep_zero_bytes}, 1024});
    EXPECT_FALSE(port_.IsOpen());
    opened_.reset();
    Pump([&] { return opened_.has_value(); }, 10s);
    return opened_.value_or(false) && port_.IsOpen();
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

  HWND window_ =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SerialPort port_;
  std::optional<bool> opened_;
  Bytes received_;
  int lost_ = 0, number_ = 0;
};

// What the line is set up with, as the device needs it.
struct LineState {
  DWORD baud;
  BYTE parity, byte_size, stop_bits;
  bool parity_checked, zero_bytes_dropped;
  bool any_handshake;  // CTS, DSR, XON/XOFF, or DTR/RTS raised
  bool damaged_byte_is_question_mark;
  DWORD timeouts;  // all read timeouts added: 0, the 1-byte read waits for a byte
  friend bool operator==(const LineState&, const LineState&) = default;
};

LineState Read(const DCB& d, const COMMTIMEOUTS& t) {
  return {d.BaudRate,
          d.Parity,
          d.ByteSize,
          d.StopBits,
          d.fParity != 0,
          d.fNull != 0,
          d.fOutxCtsFlow || d.fOutxDsrFlow || d.fOutX || d.fInX ||
              d.fDtrControl != DTR_CONTROL_DISABLE || d.fRtsControl != RTS_CONTROL_DISABLE,
          d.fErrorChar && d.ErrorChar == '?',
          t.ReadIntervalTimeout + t.ReadTotalTimeoutConstant + t.ReadTotalTimeoutMultiplier};
}

TEST_F(SerialPty, LineStateAndBytesPerSettings) {
  const std::vector<int> present = PresentComPorts();
  EXPECT_NE(std::find(present.begin(), present.end(), number_), present.end());
  for (int n : present) EXPECT_TRUE(n >= 1 && n <= kMaxComPort) << n;
  Bytes every;  // every byte value, then more than one read holds
  for (int i = 0; i < 256 + 3000; ++i) every.push_back(static_cast<std::uint8_t>(i));
  const struct {
    bool odd, keep_zero, reopen;  // reopen: the echo arrives, then the port is reopened
    Bytes out, in;
  } kCases[] = {
      {false, true, false, every, every},
      // A key pressed as the program reopens the port after a frame still plays.
      {false, true, true, {0x1B, 0x21}, {0x1B, 0x21}},
      {true, false, false, {0, 'A', 0, 0, 'B', 0x1B, 0, 'C'}, {'A', 'B', 0x1B, 'C'}}};
  for (const auto& c : kCases) {
    ASSERT_TRUE(Open(c.odd, c.keep_zero)) << c.odd << " error " << port_.LastOpenError();
    DCB d{};
    COMMTIMEOUTS t{};
    ASSERT_TRUE(port_.GetLineState(&d, &t));
    EXPECT_EQ(Read(d, t), (LineState{9600, static_cast<BYTE>(c.odd ? ODDPARITY : NOPARITY), 8,
                                     ONESTOPBIT, c.odd, !c.keep_zero, false, true, 0}))
        << c.odd;
    if (c.reopen) {
      port_.Write(c.out);
      Sleep(300);
      port_.Reopen();
      Sleep(300);
    }
    EXPECT_EQ(Echo(c.reopen ? Bytes{} : c.out, c.in.size()), c.in) << c.odd;
    port_.Close();
  }
  // A port that is not there: the failure, too, comes as the opening's result.
  port_.Open({kMaxComPort, {}, 1024});
  opened_.reset();
  Pump([&] { return opened_.has_value(); }, 10s);
  EXPECT_EQ(opened_, false);
  EXPECT_NE(port_.LastOpenError(), 0u);
}

// Writes queued behind one the line has not taken yet leave in the order written.
TEST_F(SerialPty, QueuedWritesLeaveInOrderBehindAStalledLine) {
  ASSERT_TRUE(Open()) << port_.LastOpenError();
  const std::string stall = "~~STALL~~";
  Bytes sent(stall.begin(), stall.end());
  port_.Write(sent);
  Sleep(200);  // the far end has stopped reading
  for (Bytes frame : {Bytes(48 * 1024, 'x'), Bytes(3, 'a'), Bytes(3, 'b'), Bytes(3, 'c')}) {
    port_.Write(frame);
    sent.insert(sent.end(), frame.begin(), frame.end());
  }
  const Bytes back = Echo({}, sent.size());
  EXPECT_EQ(std::string(back.end() - std::min<std::size_t>(back.size(), 12), back.end()),
            "xxxaaabbbccc");
  EXPECT_TRUE(back == sent) << back.size() << " bytes back";
  port_.Close();
}

// Runs last: the driver closes its end of the pty, which then is gone.
TEST_F(SerialPty, ZLostPortIsReportedOnceWithoutSpinning) {
  ASSERT_TRUE(Open()) << port_.LastOpenError();
  port_.Write(Bytes{'~', '~', 'H', 'A', 'N', 'G', 'U', 'P', '~', '~'});
  Pump([&] { return lost_ > 0; }, 5s);
  ASSERT_TRUE(port_.Lost());
  const auto cpu_ms = [] {
    FILETIME t[4];
    GetProcessTimes(GetCurrentProcess(), &t[0], &t[1], &t[2], &t[3]);
    return (ULARGE_INTEGER{{t[2].dwLowDateTime, t[2].dwHighDateTime}}.QuadPart +
            ULARGE_INTEGER{{t[3].dwLowDateTime, t[3].dwHighDateTime}}.QuadPart) /
           10000;
  };
  const auto before = cpu_ms();
  Pump([] { return false; }, 500ms);
  EXPECT_LT(cpu_ms() - before, 150u) << "the reader spins";
  EXPECT_EQ(lost_, 1);
  // Writing to the lost line neither blocks nor crashes; closing is clean.
  const auto start = std::chrono::steady_clock::now();
  port_.Write(Bytes{0x1B, 0x13});
  port_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

}  // namespace
}  // namespace vantrel::win32
