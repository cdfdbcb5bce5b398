// Turns the bytes of receive events into FK key numbers.
//
// The first data after start-up is gathered over up to 99 reads 50 ms apart (the
// device may be sending its identification) and consumed without a key; it names
// the model when none is configured (reported, never written here). Later data is a stream of key
// codes: each complete code yields its key once, in order, and anything else is dropped. A two-byte
// code whose ESC arrived alone waits up to 50 ms for its code byte.
//
// The waits are timer deadlines (LinkTimer::kGather), never sleeps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/device/platform.h"

namespace vantrel::device {

class Receiver {
 public:
  static constexpr int kGatherWait = 50;  // ms between reads of the first data
  static constexpr int kMaxReads = 99;
  static constexpr std::uint8_t kEsc = 0x1B;

  Receiver(const std::u16string& fk_model, Timers<LinkTimer>& timers)
      : fk_model_(fk_model), timers_(timers) {}

  // One receive event's bytes; returns the keys (1..32) completed by them, in order.
  std::vector<int> Receive(std::span<const std::uint8_t> bytes);
  // kGather expired: the next read of the first data, or the end of a lone ESC's wait.
  void OnGatherTimer();
  // Drops a waiting ESC; first data still being gathered is consumed as it stands.
  void Reset();
  // The next data is first data again (a device started anew sends its
  // identification): gathered and consumed without a key.
  void ExpectFirstData();

  bool Waiting() const { return gathering_first_ || esc_pending_; }
  bool FirstDataSeen() const { return first_data_seen_; }
  // The model the first data named, once, after the call that consumed it; empty
  // when a model was configured or nothing has been detected since the last take.
  std::u16string TakeDetectedModel() { return std::exchange(detected_model_, {}); }

 private:
  void AppendFirst(std::span<const std::uint8_t> bytes);
  void ReadFirst();  // one read of the first data: stop, or wait for the next
  void ConsumeFirst();

  const std::u16string& fk_model_;
  Timers<LinkTimer>& timers_;
  std::u16string detected_model_;

  bool first_data_seen_ = false;
  bool gathering_first_ = false;
  int reads_ = 0;
  // Detection looks at the first and the 11th character only; the length decides
  // whether to read on. Long first data is thus never stored whole.
  std::array<std::uint8_t, 11> first_head_{};
  std::size_t first_length_ = 0;

  bool esc_pending_ = false;
};

}  // namespace vantrel::device
