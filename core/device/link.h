// The main window's side of the FK device: gathering and decoding received bytes,
// playing the key's macro, the held keys of split mode, and the lamp frames.
//
// Single-threaded and event-driven. The host feeds received bytes (OnReceive) and
// timer expiries (OnTimer); the link writes frames to the port, sends input
// events, and arms its own timers (kRefresh, kGather) through Timers.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/data/table.h"
#include "core/device/platform.h"

namespace vantrel::device {

class DeviceLink {
 public:
  // fk_model is the program-wide FkModel: read on every frame and decode, and
  // filled in by detection on the first data.
  DeviceLink(const AssignmentTable& table, std::u16string& fk_model, PortOut& port,
             InputSink& input, MouseButtons& mouse, Clipboard& clipboard, Timers& timers);

  // Bytes the port delivered in one receive event (everything buffered, in order).
  // Plays every complete key code in order; waits (by arming kGather) for a code
  // byte that has not arrived yet.
  void OnReceive(std::span<const std::uint8_t> bytes);
  // kRefresh or kGather expired.
  void OnTimer(TimerId id);
  // True while received data is waiting for more bytes (the hand-over check must
  // not close the port then).
  bool Receiving() const;

  // Releases whatever split mode still holds; writes no frame.
  void KeyUpIn();
  // Lamps off for the current model; neither closes nor reopens the port.
  void FkOff();
  // The 10-byte start-up sequence.
  void SendStartupSequence();
  // Arms the device refresh: all lamps lit about 500 ms from now.
  void ArmRefresh();
  // Forget partially gathered data (the port was closed under it).
  void ResetReceive();

  std::int16_t KeyNo() const { return key_no_; }
  std::int16_t MouseNo() const { return mouse_no_; }
  bool FirstDataSeen() const { return first_data_seen_; }
  bool Holding() const { return held_flag_ != 0; }
  // The hidden status label: the clipboard messages of text steps.
  const std::u16string& StatusLabel() const { return status_label_; }
  void ClearStatusLabel() { status_label_.clear(); }

 private:
  // Implementation state is the implementer's; these are what callers observe.
  std::int16_t key_no_ = 0;
  std::int16_t mouse_no_ = 0;
  bool first_data_seen_ = false;
  std::int16_t held_flag_ = 0;
  std::u16string status_label_;
};

}  // namespace vantrel::device
