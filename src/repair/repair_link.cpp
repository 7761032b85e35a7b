#include "repair/repair_link.h"

#include <cstring>

#include "common/handheld_layout.h"

namespace {
constexpr const char* kCheckErrorMessage = "文曲星端校验错!";
constexpr const char* kSpeedErrorMessage = "更改串口设置时出错!";
}  // namespace

std::string ResetRequest(bool lowSpeed) {
  return lowSpeed ? "文曲星端按下reset后,立刻点击确定." : "点击确定后,立刻按下文曲星端reset.";
}

// A cancel confirmed while the wait was giving up wins over the time-out. A
// wait ends this way at once when the port was lost.
AttemptEnd RepairLink::TimedOut() {
  if (m.PortLost) return m.CancelFlag ? AttemptEnd::Cancel : AttemptEnd::PortLost;
  m.TimedOut();
  return m.CancelFlag ? AttemptEnd::Cancel : AttemptEnd::Timeout;
}

AttemptEnd RepairLink::StopWith(AttemptEnd end, const std::string& message) {
  m.host.ShowMessage(message);
  return end;
}

AttemptEnd RepairLink::BeforeFrame() {
  if (m.SpeedSwitched) return WaitForGoAhead(frameTicks_, true);
  m.SpeedSwitched = true;
  if (lowSpeed_) return WaitForGoAhead(kLowSpeedTicks, false);
  return ConnectByPolling();
}

AttemptEnd RepairLink::WaitForGoAhead(int tickLimit, bool checkErrors) {
  if (!m.SendByte(announce_)) return TimedOut();
  TickCounter ticks(m.clock);
  for (;;) {
    if (ticks.Update() >= tickLimit) return TimedOut();
    const int value = m.PollByte();
    if (m.CancelFlag) return AttemptEnd::Cancel;
    if (checkErrors && value == wire::kCheckError) return StopWith(AttemptEnd::CheckError, kCheckErrorMessage);
    if (m.PortLost) return TimedOut();
    m.YieldAfterPoll(value >= 0);
    if (value != wire::kGoAhead) continue;
    if (checkErrors) ++framesConfirmed_;  // a later frame's go-ahead confirms the one before
    return AttemptEnd::Done;
  }
}

AttemptEnd RepairLink::ConnectByPolling() {
  TickCounter ticks(m.clock);  // one count for the whole connection
  for (;;) {
    if (ticks.Update() >= kConnectTicks) return TimedOut();
    if (!m.SendByte(wire::kHello)) return TimedOut();
    const int sentAt = ticks.Count();
    int value = -1;
    for (;;) {
      value = m.PollByte();
      if (m.CancelFlag) return AttemptEnd::Cancel;
      if (m.PortLost) return TimedOut();
      m.YieldAfterPoll(value >= 0);
      if (value >= 0 || ticks.Update() - sentAt >= kPollAnswerTicks) break;
    }
    if (m.CancelFlag) return AttemptEnd::Cancel;
    if (value == wire::kHelloAnswer) break;
  }
  if (!m.SendByte(announce_)) return TimedOut();
  if (!m.SwitchToModelSpeed()) return StopWith(AttemptEnd::SpeedError, kSpeedErrorMessage);
  m.ReceiveByte();  // the handheld's first byte at the new speed; its value does not matter
  if (m.CancelFlag) return AttemptEnd::Cancel;
  if (m.TimeoutFlag) return m.PortLost ? AttemptEnd::PortLost : AttemptEnd::Timeout;
  return AttemptEnd::Done;
}

RepairEnding RepairLink::RunAttempts(const std::string& prompt, int totalMinimum, const std::function<AttemptEnd()>& sendAll) {
  for (;;) {
    m.host.ShowResetPrompt(prompt);
    if (m.CancelFlag) return RepairEnding::Cancel;  // cancelled at the prompt: nothing was sent
    m.SetBaseSpeed();
    m.host.SetStatus("正在与文曲星连接...");
    m.SpeedSwitched = false;
    framesConfirmed_ = 0;
    switch (sendAll()) {
      case AttemptEnd::Done:
        return RepairEnding::Success;
      case AttemptEnd::Cancel:
        return RepairEnding::Cancel;
      case AttemptEnd::CheckError:
        return RepairEnding::CheckError;
      case AttemptEnd::SpeedError:
        return RepairEnding::SpeedError;
      case AttemptEnd::FileError:
        m.host.HideCancelDialog();
        m.host.ShowMessage("文件错误!");
        return RepairEnding::FileError;
      case AttemptEnd::Timeout:
      case AttemptEnd::PortLost:
        break;
    }
    m.host.SetBarValue(Host::Bar::Current, 0);
    m.host.SetBarValue(Host::Bar::Total, totalMinimum);
    m.host.SetStatus("等待开始...");
    m.host.HideCancelDialog();
    if (m.PortLost) {
      if (!m.host.Ask(m.LostPortText() + "\r\n重试吗?")) return RepairEnding::PortLost;
      if (!m.ReopenPort()) return RepairEnding::PortFailed;
      continue;
    }
    m.FlushPort();
    if (!m.host.Ask("请求超时,重试吗?")) return RepairEnding::Timeout;
  }
}

RepairEnding RepairLink::Finish(bool format) {
  if (format) m.SendFormatCommand();
  m.host.HideCancelDialog();
  m.host.ShowMessage("恭喜，已成功修复！");
  return RepairEnding::Success;
}

std::size_t BuildNorFrame(std::uint8_t* frame, int page, int k, const std::uint8_t* payload) {
  frame[0] = wire::kNorFrameKind;
  frame[1] = static_cast<std::uint8_t>(page);
  frame[2] = 0x00;
  frame[3] = static_cast<std::uint8_t>((page == 0 ? wire::kPage00Address : wire::kOtherPageAddress) + k);
  wire::PutLength(frame, wire::kNorPayload);
  wire::SealHeader(frame);
  std::memcpy(frame + wire::kHeaderSize, payload, wire::kNorPayload);
  frame[wire::kHeaderSize + wire::kNorPayload] = wire::XorOf(payload, wire::kNorPayload);
  return wire::kNorFrameSize;
}

std::size_t BuildNandFrame(std::uint8_t* frame, int blockCode, int pageIndex, const std::uint8_t* payload) {
  frame[0] = static_cast<std::uint8_t>(blockCode >> 8);
  frame[1] = static_cast<std::uint8_t>(blockCode & 0xFF);
  frame[2] = 0x00;
  frame[3] = static_cast<std::uint8_t>(2 * pageIndex);
  wire::PutLength(frame, wire::kNandPayload);
  wire::SealHeader(frame);
  std::memcpy(frame + wire::kHeaderSize, payload, wire::kNandPayload);
  frame[wire::kHeaderSize + wire::kNandPayload] = wire::XorOf(payload, wire::kNandPayload);
  return wire::kNandFrameSize;
}
