#include "core/device/link.h"

#include <utility>

#include "core/device/frames.h"

namespace vantrel::device {

DeviceLink::DeviceLink(const AssignmentTable& table, const std::u16string& fk_model, PortOut& port,
                       InputSink& input, MouseButtons& mouse, Clipboard& clipboard,
                       ForegroundCheck& foreground, Timers<LinkTimer>& timers, LinkEvents& events)
    : fk_model_(fk_model),
      port_(port),
      timers_(timers),
      events_(events),
      receiver_(fk_model, timers),
      playback_(table, fk_model, port, input, mouse, clipboard, foreground, timers, events) {}

void DeviceLink::OnReceive(std::span<const std::uint8_t> bytes) {
  const std::vector<int> keys = receiver_.Receive(bytes);
  ReportDetection();
  if (!bytes.empty()) bytes_in_window_ = true;
  for (int key : keys) {
    if (Flooded()) return;
    if (burst_keys_++ == 0) timers_.Arm(LinkTimer::kBurst, kBurstWindow);
    if (Flooded()) {
      if (!std::exchange(flooding_told_, true)) events_.DeviceFlooding();
      return;
    }
    playback_.Play(key);
  }
}

void DeviceLink::BurstTick() {
  const bool bytes_came = std::exchange(bytes_in_window_, false);
  if (Flooded() && bytes_came) {
    timers_.Arm(LinkTimer::kBurst, kBurstWindow);  // not quiet yet
    return;
  }
  burst_keys_ = 0;
}

void DeviceLink::OnTimer(LinkTimer id) {
  switch (id) {
    case LinkTimer::kGather:
      receiver_.OnGatherTimer();
      ReportDetection();
      break;
    case LinkTimer::kRefresh:
      RefreshTick();
      break;
    case LinkTimer::kText:
      playback_.OnTextTimer();
      break;
    case LinkTimer::kBurst:
      BurstTick();
      break;
  }
}

void DeviceLink::ReportDetection() {
  const std::u16string model = receiver_.TakeDetectedModel();
  if (!model.empty()) events_.ModelDetected(model);
}

bool DeviceLink::Receiving() const {
  return receiver_.Waiting();
}

void DeviceLink::ReleaseHeldKeys(bool force) {
  playback_.ReleaseHeldKeys(force);
}

void DeviceLink::LampsOff() {
  Send(port_, device::LampsOff(ModelOf(fk_model_)));
}

void DeviceLink::SendStartupSequence() {
  Send(port_, StartupSequence());
}

void DeviceLink::ArmRefresh() {
  // A refresh whose second tick never came (the port closed between them) must not
  // leave the next one to send the lit mask without its 08.
  lamp_tick_ = 0;
  timers_.Arm(LinkTimer::kRefresh, kRefreshDelay);
}

void DeviceLink::ResetReceive() {
  receiver_.Reset();
  ReportDetection();
}

void DeviceLink::RefreshTick() {
  const Model model = ModelOf(fk_model_);
  if (model != Model::k6094) {
    Send(port_, Refresh(model));
    return;
  }
  // The 6094 needs a pause between the 08 and the lit mask: two ticks 50 ms apart.
  if (lamp_tick_ == 0) Send(port_, Refresh6094First());
  if (lamp_tick_ != 1) {
    ++lamp_tick_;
    timers_.Arm(LinkTimer::kRefresh, kRefresh6094Gap);
    return;
  }
  Send(port_, Refresh(model));
  lamp_tick_ = 0;
}

}  // namespace vantrel::device
