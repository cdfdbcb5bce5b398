// The serial control through which a window reaches the FK device.
//
// The port is opened for overlapped I/O. A reader thread of its own waits for bytes
// (a 1-byte read with all-zero COMMTIMEOUTS, which completes when a byte arrives,
// then reads what ClearCommError reports queued), appends them to a locked buffer
// and posts `data_msg` to the owner's window. The receive event is the owner's:
// its window procedure, on the user-interface thread, handles `data_msg` by calling
// Input(), which empties the buffer. At most one `data_msg` is outstanding; a message
// may find the buffer already empty, and no byte is ever delivered twice or lost.
//
// When the port goes away under the reader (the device's cable or USB adapter
// pulled, the peer of a pty closed), the reader posts `lost_msg` once and stops;
// PortOpen() stays true until the owner closes the port.
//
// Not thread-safe apart from that hand-over: every method is called from the
// owner's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/platform.h"
#include "win32/handles.h"

namespace vantrel::win32 {

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
  bool PortOpen() const override { return port_.Valid(); }
  // Queues the bytes and waits (bounded) for the write to complete. Nothing happens
  // on a closed port.
  void Write(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> Input() override;
  // Closes and opens with the same settings.
  void Reopen() override;

  // The line state and timeouts applied at the last opening, as handed to
  // SetCommState/SetCommTimeouts, for tests (a pty shows neither parity nor fNull
  // when read back); false when closed.
  bool GetLineState(DCB* dcb, COMMTIMEOUTS* timeouts = nullptr) const;
  // True once the reader has reported the port gone (until the next opening).
  bool Lost() const { return lost_.load(); }
  // The Win32 error of the last failed opening (0 after a good one).
  DWORD LastOpenError() const { return last_open_error_; }

 private:
  bool Open();
  void Close();  // drops received bytes not yet taken
  void Shut();   // ends the reader and closes the handle, keeping received bytes
  void ReadLoop();
  // Appends received bytes and notifies the owner when no notice is outstanding.
  void Deliver(const std::vector<std::uint8_t>& bytes);
  void NotifyIfDue(std::size_t buffered);

  // Settings, applied at opening.
  int comm_port_ = 1;
  DWORD baud_ = 9600;
  BYTE parity_ = NOPARITY;
  BYTE data_bits_ = 8;
  BYTE stop_bits_ = ONESTOPBIT;
  bool settings_valid_ = true;
  int in_buffer_size_ = 1024;
  int r_threshold_ = 0;
  int input_len_ = 0;
  bool null_discard_ = false;
  struct Notify {
    HWND hwnd = nullptr;
    UINT data_msg = 0;
    UINT lost_msg = 0;
  };
  Notify notify_;

  // Open port.
  UniqueHandle port_;
  UniqueHandle stop_;         // set to end the reader
  UniqueHandle write_event_;  // completion of Write()
  std::thread reader_;
  // Copies taken at opening: the reader reads these, never the setters' fields.
  Notify notify_now_;
  bool discard_nulls_now_ = false;
  int r_threshold_now_ = 0;
  DWORD last_open_error_ = 0;
  DCB applied_dcb_{};
  COMMTIMEOUTS applied_timeouts_{};

  std::mutex lock_;
  std::vector<std::uint8_t> buffer_;  // guarded by lock_
  std::atomic<bool> notice_pending_{false};
  std::atomic<bool> lost_{false};
};

}  // namespace vantrel::win32
