#include "tools/fksim/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel::fksim {

volatile std::sig_atomic_t g_stop = 0;

namespace {
// A pause this long ends a frame that could still grow (wake-up vs. lamps-off).
constexpr std::int64_t kQuietUs = 30000;
}  // namespace

bool Simulator::Wait(int timeout_ms, int extra_fd, bool* extra_ready) {
  if (decoder_.HasPending()) {
    std::int64_t left = decoder_.PendingSince() + kQuietUs - NowUs();
    int quiet_ms = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
    if (timeout_ms < 0 || quiet_ms < timeout_ms) timeout_ms = quiet_ms;
  }
  pollfd fds[2] = {{port_.fd(), static_cast<short>(reading_ ? POLLIN : 0), 0},
                   {extra_fd, POLLIN, 0}};
  int n = poll(fds, extra_fd >= 0 ? 2 : 1, timeout_ms);
  if (n < 0) return true;  // EINTR: the caller looks at g_stop
  if (extra_ready != nullptr) {
    *extra_ready = extra_fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }
  if ((fds[0].revents & POLLIN) != 0 && !ReadPort()) return false;
  if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) return false;
  if ((fds[0].revents & POLLHUP) != 0 && (fds[0].revents & POLLIN) == 0) {
    // Only a device can hang up (the pty slave is held open); do not spin on it.
    return false;
  }
  if (decoder_.HasPending() && NowUs() >= decoder_.PendingSince() + kQuietUs) {
    std::vector<Frame> frames;
    decoder_.Flush(frames);
    Record(frames);
  }
  return true;
}

bool Simulator::PumpUntil(std::int64_t deadline_us, const std::function<bool()>& done) {
  while (!done()) {
    std::int64_t left = deadline_us - NowUs();
    if (left <= 0 || g_stop || failed_) return false;
    if (!Wait(static_cast<int>((left + 999) / 1000), -1, nullptr)) failed_ = true;
  }
  return true;
}

bool Simulator::ReadPort() {
  std::uint8_t buf[4096];
  while (true) {
    ssize_t n = read(port_.fd(), buf, sizeof buf);
    if (n > 0) {
      std::int64_t t = NowUs();
      std::vector<std::uint8_t> bytes(buf, buf + n);
      std::vector<Frame> frames;
      decoder_.Feed(bytes, t, frames);
      chunks_.Add({t, std::move(bytes)});
      Record(frames);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    return false;  // end of file or a read error of the device
  }
}

void Simulator::Record(std::vector<Frame>& frames) {
  for (Frame& f : frames) frames_.Add(std::move(f));
  if (!frames.empty() && on_change) on_change();
}

}  // namespace vantrel::fksim
