// The serial port through which a window reaches the FK device.
//
// Each opening gets a line thread of its own, and nothing the window does waits for
// the line:
// - The thread opens and sets up the port (CreateFile and SetCommState can take
//   seconds on a Bluetooth port or a wedged USB adapter) and posts the result.
// - It keeps a 1-byte overlapped read pending (all-zero COMMTIMEOUTS: it completes
//   when a byte arrives), then reads what ClearCommError reports queued, appends the
//   bytes to a locked buffer and posts that data is waiting. The owner takes them
//   with TakeReceived on its own thread. At most one such notice is outstanding; no
//   byte is delivered twice or lost.
// - Write() and Reopen() only queue (device::WriteQueue); the thread writes the
//   queue in order and reopens once the bytes before the reopen have left.
//   Received bytes survive a reopen.
// - When the port goes away under the thread (the cable or adapter pulled, the peer
//   of a pty closed, a reopen refused), it posts that once and stops; IsOpen() stays
//   true until the owner closes the port.
// - Closing lets what was queued go out first, for at most kDrainMs, and drops the
//   rest. A thread still stuck in opening is left to finish alone: it closes what it
//   opened and tells nobody.
//
// Every message carries the number of the opening it belongs to (wParam); a message
// of an opening since closed is stale, and the owner asks before acting on one.
// Every method is called from the owner's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "core/device/platform.h"

namespace vantrel::win32 {

// Ports above COM9 (USB-serial adapters) are opened as \\.\COMn like the others.
inline constexpr int kMaxComPort = 255;

// The numbers of the COM ports the system has now, in no particular order.
std::vector<int> PresentComPorts();

class SerialPort final : public device::DevicePort {
 public:
  // Posted to the owner's window with the opening's number in wParam; `opened` has
  // lParam 1 when the port opened, 0 when it could not be.
  struct Messages {
    UINT data = 0;
    UINT lost = 0;
    UINT opened = 0;
  };

  SerialPort() = default;
  SerialPort(HWND hwnd, Messages messages) { SetNotify(hwnd, messages); }
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Where the thread posts; takes effect at the next opening.
  void SetNotify(HWND hwnd, Messages messages);

  // device::DevicePort
  void Open(const device::PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  std::vector<std::uint8_t> TakeReceived() override;
  // Queue the bytes and return at once. Nothing happens on a port not open.
  void Write(std::span<const std::uint8_t> bytes) override;
  void WriteLampState(std::span<const std::uint8_t> bytes) override;
  void Reopen() override;

  // The owner's side of the messages. An `opened` message: the result, or nothing
  // for a stale one; the port is open after a true result.
  [[nodiscard]] std::optional<bool> OpenResult(WPARAM opening, LPARAM opened);
  // A `data` or `lost` message belongs to the opening in hand.
  [[nodiscard]] bool Current(WPARAM opening) const;

  // How long closing waits for queued bytes to leave.
  static constexpr DWORD kDrainMs = 500;

  // The line state and timeouts applied at the opening, as handed to
  // SetCommState/SetCommTimeouts, for tests (a pty shows neither parity nor fNull
  // when read back); false when not open.
  [[nodiscard]] bool GetLineState(DCB* dcb, COMMTIMEOUTS* timeouts = nullptr) const;
  // True once the thread has reported the port gone (until the next opening).
  bool Lost() const;
  // The Win32 error of the last failed opening (0 after a good one).
  DWORD LastOpenError() const;

  struct Line;  // what the owner and an opening's line thread share (serial.cpp)

 private:
  void Enqueue(std::span<const std::uint8_t> bytes, bool lamp_state);

  HWND hwnd_ = nullptr;
  Messages messages_;
  WPARAM openings_ = 0;
  std::shared_ptr<Line> line_;
  std::thread thread_;
  bool open_ = false;
};

}  // namespace vantrel::win32
