#include "core/shell/port_keeper.h"

#include "core/data/text.h"
#include "core/device/frames.h"
#include "core/shell/resident.h"

namespace vantrel::shell {

std::u16string PortUnavailableText(int com_port) {
  return u"COM" + Decimal(com_port) + u" を開けません。FK キーボードの接続を待っています。";
}

std::u16string PortLostText(int com_port) {
  return u"COM" + Decimal(com_port) + u" との接続が切れました。FK キーボードの接続を待っています。";
}

PortKeeper::PortKeeper(device::DevicePort& port, device::DeviceLink& link, const Settings& settings,
                       ShellPlatform& platform, device::Timers<ShellTimer>& timers)
    : port_(port), link_(link), settings_(settings), platform_(platform), timers_(timers) {}

void PortKeeper::Start() {
  Open(kStartupBufferSize, {true, true});
}

void PortKeeper::PortOpened(bool ok) {
  if (state_ != PortState::kOpening) return;  // closed again meanwhile
  if (!ok) return Trouble(false);
  state_ = PortState::kPlaying;
  told_ = false;
  timers_.Disarm(ShellTimer::kReconnect);
  if (after_open_.startup_sequence) link_.SendStartupSequence();
  if (after_open_.refresh) link_.ArmRefresh();
}

void PortKeeper::PortLost() {
  if (state_ != PortState::kPlaying) return;
  port_.Close();
  link_.ResetReceive();
  // The device that would release the held keys with its next press is gone.
  link_.ReleaseHeldKeys();
  Trouble(true);
}

void PortKeeper::Retry() {
  if (state_ != PortState::kLost) return;
  // The device may have been unplugged, power-cycled or never set up: it is started
  // as at start-up, and the first data it sends (its identification) plays no key.
  link_.ExpectFirstData();
  Open(kReopenBufferSize, {true, true});
}

void PortKeeper::HandOver() {
  if (state_ == PortState::kHandedOver || state_ == PortState::kLent ||
      state_ == PortState::kClosed) {
    return;
  }
  Release();
  timers_.Disarm(ShellTimer::kReconnect);
  state_ = PortState::kHandedOver;
}

void PortKeeper::TakeBack() {
  if (state_ == PortState::kHandedOver) Open(kReopenBufferSize, {false, true});
}

void PortKeeper::Lend() {
  if (state_ == PortState::kClosed) return;
  Release();
  timers_.Disarm(ShellTimer::kReconnect);
  state_ = PortState::kLent;
}

void PortKeeper::Return(bool refresh) {
  if (state_ == PortState::kLent) Open(kReopenBufferSize, {false, refresh});
}

void PortKeeper::ModelDetected() {
  // The port was opened for a model not yet known; its line settings apply only at
  // an opening.
  if (state_ != PortState::kPlaying) return;
  if (device::LineSettingsFor(device::ModelOf(settings_.fk_model)) == opened_with_.line) return;
  Open(opened_with_.in_buffer_size, {false, true});
}

void PortKeeper::Shutdown() {
  Release();
  timers_.Disarm(ShellTimer::kReconnect);
  state_ = PortState::kClosed;
}

void PortKeeper::Open(int in_buffer_size, AfterOpen after) {
  opened_with_ = {settings_.com_port, device::LineSettingsFor(device::ModelOf(settings_.fk_model)),
                  in_buffer_size};
  after_open_ = after;
  state_ = PortState::kOpening;
  port_.Open(opened_with_);
}

void PortKeeper::Release() {
  if (state_ == PortState::kPlaying) link_.LampsOff();
  port_.Close();
  link_.ResetReceive();
}

void PortKeeper::Trouble(bool lost) {
  state_ = PortState::kLost;
  if (!told_) {
    told_ = true;
    platform_.Balloon(kProgramName, lost ? PortLostText(settings_.com_port)
                                         : PortUnavailableText(settings_.com_port));
  }
  timers_.Arm(ShellTimer::kReconnect, kReconnectInterval);
}

}  // namespace vantrel::shell
