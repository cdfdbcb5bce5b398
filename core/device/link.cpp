#include "core/device/link.h"

#include "core/device/frames.h"

namespace vantrel::device {

DeviceLink::DeviceLink(const AssignmentTable& table, std::u16string& fk_model, PortOut& port,
                       InputSink& input, MouseButtons& mouse, Clipboard& clipboard, Timers& timers)
    : fk_model_(fk_model),
      port_(port),
      timers_(timers),
      receiver_(fk_model, timers),
      playback_(table, fk_model, port, input, mouse, clipboard) {}

void DeviceLink::OnReceive(std::span<const std::uint8_t> bytes) {
  for (int key : receiver_.Receive(bytes)) playback_.Play(key);
}

void DeviceLink::OnTimer(TimerId id) {
  switch (id) {
    case TimerId::kGather:
      receiver_.OnGatherTimer();
      break;
    case TimerId::kRefresh:
      RefreshTick();
      break;
    case TimerId::kHandOver:
    case TimerId::kReconnect:
      break;  // the shell's
  }
}

bool DeviceLink::Receiving() const {
  return receiver_.Waiting();
}

void DeviceLink::KeyUpIn() {
  playback_.KeyUpIn();
}

void DeviceLink::FkOff() {
  Send(port_, LampsOff(ModelOf(fk_model_)));
}

void DeviceLink::SendStartupSequence() {
  Send(port_, StartupSequence());
}

void DeviceLink::ArmRefresh() {
  timers_.Arm(TimerId::kRefresh, kRefreshDelay);
}

void DeviceLink::ResetReceive() {
  receiver_.Reset();
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
    timers_.Arm(TimerId::kRefresh, kRefresh6094Gap);
    return;
  }
  Send(port_, Refresh(model));
  lamp_tick_ = 0;
}

}  // namespace vantrel::device
