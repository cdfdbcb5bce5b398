// The main window's side of the FK device: gathering and decoding received bytes,
// playing the key's macro, the held keys of split mode, and the lamp frames.
//
// Single-threaded and event-driven. The host feeds received bytes (OnReceive) and
// timer expiries (OnTimer); the link writes frames to the port, sends input
// events, arms its own timers, and reports a detected model to its owner.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/data/table.h"
#include "core/device/platform.h"
#include "core/device/playback.h"
#include "core/device/receiver.h"

namespace vantrel::device {

// What the link tells its owner: besides playback's notices, the detected model.
class LinkEvents : public InputNotices {
 public:
  // The first data named the device's model while none was configured. The owner
  // stores it where the link reads the model, before any later byte is decoded.
  virtual void ModelDetected(std::u16string_view model) = 0;
  // The line brings more keys than a hand can press (noise, or a port that echoes
  // our own frames back): keys no longer play until it has been quiet. Told once.
  virtual void DeviceFlooding() = 0;
};

class DeviceLink {
 public:
  // fk_model is the configured model, read on every frame and decode.
  DeviceLink(const AssignmentTable& table, const std::u16string& fk_model, PortOut& port,
             InputSink& input, MouseButtons& mouse, Clipboard& clipboard,
             ForegroundCheck& foreground, Timers<LinkTimer>& timers, LinkEvents& events);

  // A person does not press more keys than this in kBurstWindow ms. Past it the rest
  // plays nothing, and keys play again only after a whole window without a byte.
  static constexpr int kMaxBurstKeys = 20;
  static constexpr int kBurstWindow = 100;

  // Bytes the port delivered in one receive event (everything buffered, in order).
  // Plays every complete key code in order, within the burst bound; waits (by
  // arming kGather) for a code byte that has not arrived yet.
  void OnReceive(std::span<const std::uint8_t> bytes);
  void OnTimer(LinkTimer id);
  // True while received data is waiting for more bytes (the hand-over check must
  // not close the port then).
  bool Receiving() const;

  // Releases whatever split mode still holds; writes no frame. Keys are kept while
  // the window in front drops input, unless `force` (see Playback).
  void ReleaseHeldKeys(bool force = false);
  // A window came to the front; true when keys kept for a window that dropped input
  // were let go of now (the lamps may be relit).
  bool ForegroundChanged() { return playback_.ForegroundChanged(); }
  // The text of the last text step was taken by the program in front.
  void PasteTaken() { playback_.PasteTaken(); }
  // Drops the rest of a macro waiting for its paste, and the presses behind it.
  void CancelMacro() { playback_.CancelMacro(); }
  // While the program's own menu is open, presses play nothing.
  void SetMenuOpen(bool open) { playback_.SetMenuOpen(open); }
  bool Busy() const { return playback_.Busy(); }
  // Lamps off for the current model; neither closes nor reopens the port.
  void LampsOff();
  // The 10-byte start-up sequence.
  void SendStartupSequence();
  // Arms the device refresh: all lamps lit about 500 ms from now.
  void ArmRefresh();
  // The port was closed under waiting data: a lone ESC is dropped; first data still
  // being gathered is consumed (and detected from) as it stands, as its last read
  // would have done.
  void ResetReceive();
  // The device is started anew: its first data plays no key.
  void ExpectFirstData() { receiver_.ExpectFirstData(); }

  std::int16_t MouseState() const { return playback_.MouseState(); }
  bool FirstDataSeen() const { return receiver_.FirstDataSeen(); }
  bool Holding() const { return playback_.Holding(); }
  // Entries (keys and mouse buttons) that split mode holds down now.
  int HeldCount() const { return playback_.HeldCount(); }
  // The hidden status label: the clipboard messages of text steps.
  const std::u16string& StatusLabel() const { return playback_.StatusLabel(); }
  void ClearStatusLabel() { playback_.ClearStatusLabel(); }

 private:
  static constexpr int kRefreshDelay = 500;

  void RefreshTick();
  void ReportDetection();
  void BurstTick();
  bool Flooded() const { return burst_keys_ > kMaxBurstKeys; }

  const std::u16string& fk_model_;
  PortOut& port_;
  Timers<LinkTimer>& timers_;
  LinkEvents& events_;
  Receiver receiver_;
  Playback playback_;
  int lamp_tick_ = 0;  // the 6094 refresh: 0 before its first tick, 1 before its second
  // Keys since the burst window opened; past the bound nothing plays until a quiet
  // window.
  int burst_keys_ = 0;
  bool bytes_in_window_ = false;
  bool flooding_told_ = false;
};

}  // namespace vantrel::device
