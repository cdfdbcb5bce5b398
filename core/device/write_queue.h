// The frames waiting for the line to the device, in order, with the reopens that
// follow some of them. A line that stops draining (a device that stopped reading, a
// wedged adapter) must neither grow the queue without end nor hold back the newest
// lamps behind stale ones: once more than kBackedUp bytes wait, a lamp-state frame
// not yet started gives way to a later one, and past kCap nothing more is queued.
// Pure logic; the port's line thread holds it under its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace vantrel::device {

class WriteQueue {
 public:
  // About half a second of frames at 9600 baud.
  static constexpr std::size_t kBackedUp = 512;
  static constexpr std::size_t kCap = std::size_t{64} * 1024;

  struct Entry {
    std::vector<std::uint8_t> bytes;
    bool lamp_state = false;
    bool reopen = false;  // close and open the port again once the bytes have gone out
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  // False when something was dropped: earlier lamp states, or these bytes.
  [[nodiscard]] bool Push(std::span<const std::uint8_t> bytes, bool lamp_state);
  // A reopen after everything queued so far.
  void Reopen();
  std::optional<Entry> Pop();
  void Clear();
  bool Empty() const { return entries_.empty(); }
  const std::deque<Entry>& Entries() const { return entries_; }

 private:
  std::deque<Entry> entries_;
  std::size_t bytes_ = 0;
};

}  // namespace vantrel::device
