// The serial control through which a window reaches the FK device.
//
// The port is opened for overlapped I/O, and a line thread of its own does all the
// I/O afterwards, so nothing the window does waits for the line:
// - It keeps a 1-byte read pending (all-zero COMMTIMEOUTS: it completes when a byte
//   arrives), then reads what ClearCommError reports queued, appends the bytes to
//   a locked buffer and posts `data_msg` to the owner's window. The owner handles
//   `data_msg` on its own thread by calling Input(), which empties the buffer. At
//   most one `data_msg` is outstanding; no byte is delivered twice or lost.
// - Write() and Reopen() only queue; the thread writes the queue in order and
//   reopens once the bytes before the reopen have left. Received bytes survive a
//   reopen. When the line stops draining, an unsent lamp-state frame is dropped
//   once a later one is queued behind it, and the queue is capped, so memory stays
//   bounded; that is said once in the debug output.
// - Closing lets what was queued go out first, for at most kDrainMs, and drops the
//   rest.
//
// When the port goes away under the thread (the device's cable or USB adapter
// pulled, the peer of a pty closed, a reopen refused), it posts `lost_msg` once and
// stops; PortOpen() stays true until the owner closes the port.
//
// Every method is called from the owner's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/platform.h"
#include "win32/handles.h"

namespace vantrel::win32 {

// Ports above COM9 (USB-serial adapters) are opened as \\.\COMn like the others.
inline constexpr int kMaxComPort = 255;

// The numbers of the COM ports the system has now, in no particular order.
std::vector<int> PresentComPorts();

class SerialPort final : public device::SerialControl {
 public:
  SerialPort() = default;
  SerialPort(HWND hwnd, UINT data_msg, UINT lost_msg) { SetNotify(hwnd, data_msg, lost_msg); }
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Where the reader posts: (hwnd, data_msg, 0, 0) when bytes are waiting and
  // (hwnd, lost_msg, 0, 0) when the port has gone. Takes effect at the next opening.
  void SetNotify(HWND hwnd, UINT data_msg, UINT lost_msg);

  // device::SerialControl. Setters take effect at the next opening.
  void SetCommPort(int number) override;
  // "<baud>,<parity n|o|e|m|s>,<data bits 4..8>,<stop bits 1|1.5|2>". Text that does
  // not parse makes the next opening fail, as the control refuses it.
  void SetSettings(std::string_view text) override;
  void SetInBufferSize(int bytes) override;
  void SetRThreshold(int characters) override;
  void SetInputLen(int characters) override;
  void SetNullDiscard(bool discard) override;
  // Opening fails (false, port stays closed) when the port is missing or in use
  // or any set-up call fails. Closing always succeeds; opening an open port and
  // closing a closed one change nothing and return true.
  bool SetPortOpen(bool open) override;
  bool PortOpen() const override { return open_; }
  // Queue the bytes and return at once. Nothing happens on a closed port.
  void Write(std::span<const std::uint8_t> bytes) override;
  void WriteLampState(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> Input() override;
  // Closes and opens with the same settings once what is queued has gone out.
  void Reopen() override;

  // How long closing waits for queued bytes to leave.
  static constexpr DWORD kDrainMs = 500;

  // The line state and timeouts applied at the last opening, as handed to
  // SetCommState/SetCommTimeouts, for tests (a pty shows neither parity nor fNull
  // when read back); false when closed.
  bool GetLineState(DCB* dcb, COMMTIMEOUTS* timeouts = nullptr) const;
  // True once the reader has reported the port gone (until the next opening).
  bool Lost() const { return lost_.load(); }
  // The Win32 error of the last failed opening (0 after a good one).
  DWORD LastOpenError() const { return last_open_error_; }

 private:
  // What an opening applies; the line thread's reopen applies the same.
  struct LineConfig {
    int comm_port = 1;
    DWORD baud = 9600;
    BYTE parity = NOPARITY;
    BYTE data_bits = 8;
    BYTE stop_bits = ONESTOPBIT;
    int in_buffer_size = 1024;
    bool null_discard = false;
  };
  // One queued write; `reopen` closes and reopens the port after it.
  struct Pending {
    std::vector<std::uint8_t> bytes;
    bool lamp_state = false;
    bool reopen = false;
  };
  struct Notify {
    HWND hwnd = nullptr;
    UINT data_msg = 0;
    UINT lost_msg = 0;
  };

  // Opens and sets up the line; an invalid handle (and *error) when any call fails.
  static UniqueHandle OpenLine(const LineConfig& config, DCB* dcb, COMMTIMEOUTS* timeouts,
                               DWORD* error);
  bool Open();
  // Lets the queue drain (bounded), ends the thread; drop_received also empties
  // the receive buffer.
  void Close(bool drop_received);
  void Enqueue(std::span<const std::uint8_t> bytes, bool lamp_state);
  void LineLoop(UniqueHandle port);
  // Appends received bytes and notifies the owner when no notice is outstanding.
  void Deliver(const std::uint8_t* bytes, std::size_t size);
  void NotifyIfDue(std::size_t buffered);
  void ReportLost();

  // Settings, applied at opening.
  LineConfig config_;
  bool settings_valid_ = true;
  int r_threshold_ = 0;
  int input_len_ = 0;
  Notify notify_;

  bool open_ = false;
  std::thread line_;
  UniqueHandle wake_;  // auto-reset: queue changed, or a drain was asked for
  UniqueHandle stop_;  // manual-reset: stop now, dropping what is queued
  UniqueHandle done_;  // manual-reset: the line thread has finished
  // Copies taken at opening: the line thread reads these, never the setters' fields.
  LineConfig config_now_;
  Notify notify_now_;
  int r_threshold_now_ = 0;
  DWORD last_open_error_ = 0;
  DCB applied_dcb_{};
  COMMTIMEOUTS applied_timeouts_{};

  std::mutex lock_;
  std::vector<std::uint8_t> buffer_;  // received, guarded by lock_
  std::deque<Pending> queue_;         // to send, guarded by lock_
  std::size_t queued_bytes_ = 0;      // guarded by lock_
  bool draining_ = false;             // guarded by lock_: finish the queue, then end
  bool dropped_said_ = false;         // guarded by lock_
  std::atomic<bool> notice_pending_{false};
  std::atomic<bool> lost_{false};
};

}  // namespace vantrel::win32
