#include "core/device/write_queue.h"

namespace vantrel::device {

bool WriteQueue::Push(std::span<const std::uint8_t> bytes, bool lamp_state) {
  if (bytes.empty()) return true;
  bool dropped = false;
  if (lamp_state && bytes_ > kBackedUp) {
    // Lamp states not yet started are pointless behind this one. A reopen that
    // followed one stays, moved to the entry before it, so the order holds.
    for (std::size_t i = 0; i < entries_.size();) {
      Entry& e = entries_[i];
      if (!e.lamp_state) {
        ++i;
        continue;
      }
      bytes_ -= e.bytes.size();
      dropped = true;
      if (e.reopen && i == 0) {
        e = Entry{{}, false, true};
        ++i;
        continue;
      }
      if (e.reopen) entries_[i - 1].reopen = true;
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (bytes_ + bytes.size() > kCap) return false;
  entries_.push_back(Entry{{bytes.begin(), bytes.end()}, lamp_state, false});
  bytes_ += bytes.size();
  return !dropped;
}

void WriteQueue::Reopen() {
  if (entries_.empty()) {
    entries_.push_back(Entry{{}, false, true});
  } else {
    entries_.back().reopen = true;
  }
}

std::optional<WriteQueue::Entry> WriteQueue::Pop() {
  if (entries_.empty()) return std::nullopt;
  Entry e = std::move(entries_.front());
  entries_.pop_front();
  bytes_ -= e.bytes.size();
  return e;
}

void WriteQueue::Clear() {
  entries_.clear();
  bytes_ = 0;
}

}  // namespace vantrel::device
