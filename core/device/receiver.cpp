#include "core/device/receiver.h"

#include "core/device/frames.h"

namespace vantrel::device {

std::vector<int> Receiver::Receive(std::span<const std::uint8_t> bytes) {
  std::vector<int> keys;
  if (bytes.empty()) return keys;
  if (gathering_first_) {
    // Arrived during a wait between reads: the next read takes it.
    AppendFirst(bytes);
    return keys;
  }
  if (!first_data_seen_) {
    gathering_first_ = true;
    AppendFirst(bytes);
    ReadFirst();
    return keys;
  }

  if (ModelOf(fk_model_) == Model::k6094) {
    if (esc_pending_) Reset();  // the model changed under a waiting ESC
    for (std::uint8_t b : bytes) {
      if (b <= 0x1F) keys.push_back(b + 1);
    }
    return keys;
  }
  const bool was_pending = esc_pending_;
  for (std::uint8_t b : bytes) {
    if (esc_pending_ && b >= 0x21 && b <= 0x40) {
      keys.push_back(b - 0x20);
      esc_pending_ = false;
    } else {
      // A newer ESC replaces a waiting one; anything else forms no code.
      esc_pending_ = b == kEsc;
    }
  }
  if (esc_pending_) {
    timers_.Arm(LinkTimer::kGather, kGatherWait);
  } else if (was_pending) {
    timers_.Disarm(LinkTimer::kGather);
  }
  return keys;
}

void Receiver::OnGatherTimer() {
  if (gathering_first_) {
    ReadFirst();
  } else {
    esc_pending_ = false;
  }
}

void Receiver::Reset() {
  if (gathering_first_) {
    timers_.Disarm(LinkTimer::kGather);
    ConsumeFirst();
  }
  if (esc_pending_) {
    timers_.Disarm(LinkTimer::kGather);
    esc_pending_ = false;
  }
}

void Receiver::ExpectFirstData() {
  Reset();
  first_data_seen_ = false;
  reads_ = 0;
  first_length_ = 0;
}

void Receiver::AppendFirst(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    if (first_length_ < first_head_.size()) first_head_[first_length_] = b;
    ++first_length_;
  }
}

void Receiver::ReadFirst() {
  ++reads_;
  const bool short_or_long = first_length_ <= 2 || first_length_ >= 32;
  if (short_or_long || reads_ >= kMaxReads) {
    ConsumeFirst();
  } else {
    timers_.Arm(LinkTimer::kGather, kGatherWait);
  }
}

void Receiver::ConsumeFirst() {
  gathering_first_ = false;
  first_data_seen_ = true;
  if (!fk_model_.empty()) return;
  const std::uint8_t first = first_head_[0];
  if (first == 3) {
    detected_model_ = u"6094";
  } else if (first >= 32) {
    // Identification too short to hold an 11th character is not a 48G9995's.
    const bool tilde = first_length_ >= 11 && first_head_[10] == '~';
    detected_model_ = tilde ? u"48G9995" : u"X8000";
  }
}

}  // namespace vantrel::device
