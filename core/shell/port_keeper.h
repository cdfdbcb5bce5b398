// Who has the FK device's port, as one state, and the ways it changes hands: the
// shell plays through it; the CAD program gets it while one of its windows is in
// front; the editor borrows it; a port that is missing or lost is retried every
// second. Opening is a request whose result comes back as an event (PortOpened).
#pragma once

#include <string>

#include "core/data/settings.h"
#include "core/device/link.h"
#include "core/device/platform.h"

namespace vantrel::shell {

class ShellPlatform;
enum class ShellTimer;

enum class PortState {
  kClosed,      // before start-up and after shut-down
  kOpening,     // an opening was asked for; its result has not come
  kPlaying,     // open: keys play through it
  kLost,        // wanted, but missing or gone: retried every second
  kHandedOver,  // the CAD program has it
  kLent,        // the editor has it
};

inline constexpr int kStartupBufferSize = 2048;
inline constexpr int kReopenBufferSize = 1024;
inline constexpr int kReconnectInterval = 1000;

// The balloon texts while the device port is unavailable (port number filled in).
std::u16string PortUnavailableText(int com_port);
std::u16string PortLostText(int com_port);

class PortKeeper {
 public:
  PortKeeper(device::DevicePort& port, device::DeviceLink& link, const Settings& settings,
             ShellPlatform& platform, device::Timers<ShellTimer>& timers);

  PortState State() const { return state_; }
  bool Playing() const { return state_ == PortState::kPlaying; }

  // Opens the port for the first time: the start-up sequence and the lamps' refresh
  // follow once it is open.
  void Start();
  // The result of the opening asked for last.
  void PortOpened(bool ok);
  // The port went away under us.
  void PortLost();
  // The retry timer.
  void Retry();

  // The CAD program takes the device: the lamps go out and the port closes; retries
  // stop. TakeBack opens it again and refreshes the lamps.
  void HandOver();
  void TakeBack();
  // The editor opens its own port meanwhile; Return opens ours again, refreshing the
  // lamps when a layout is loaded.
  void Lend();
  void Return(bool refresh);
  // Detection named a model whose line differs from the one the port was opened with.
  void ModelDetected();
  // Lamps out and the port closed, for good.
  void Shutdown();

 private:
  struct AfterOpen {
    bool startup_sequence = false;
    bool refresh = false;
  };
  void Open(int in_buffer_size, AfterOpen after);
  // Lamps off and the port closed, when it is open.
  void Release();
  void Trouble(bool lost);

  device::DevicePort& port_;
  device::DeviceLink& link_;
  const Settings& settings_;
  ShellPlatform& platform_;
  device::Timers<ShellTimer>& timers_;

  PortState state_ = PortState::kClosed;
  AfterOpen after_open_;
  device::PortSettings opened_with_;
  // The user has been told of the outage going on.
  bool told_ = false;
};

}  // namespace vantrel::shell
