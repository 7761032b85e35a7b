#include "backup/image_receiver.h"

#include <algorithm>

#include "common/handheld_layout.h"
#include "common/hex_text.h"
#include "common/image_layout.h"
#include "common/interruption.h"

const BackupFlavor kNorBackup{wire::kNorAnnounce, wire::kNorPayload, wire::kNorFramesPerPage, "备份系统Nor成功!", false};
const BackupFlavor kNandBackup{wire::kNandAnnounce, wire::kNandPayload, nand::kPagesPerBlock, "备份系统Nand成功!", true};

namespace {

const char kTimeoutQuestion[] = "接收数据超时,您要重新开始备份吗?";
const char kRestartQuestion[] = "您要重新开始备份吗?";
const char kHeaderCheckError[] = "接收数据时校验错1!";
const char kPayloadCheckError[] = "接收数据时校验错2!";
const char kNotFromPageZero[] = "请从00页开始发送!";
const char kNoBlockNumber[] = "第一帧的块号无效(高字节大于80h),无法确定开始逻辑块号!";
const char kSpeedError[] = "更改串口设置时出错!";
const char kReceiving[] = "正在接收数据...";

enum class Got { Byte, Cancel, Timeout };

// One attempt of a backup either ends the backup or, after the user said Yes
// to a question, asks for a fresh attempt.
struct AttemptResult {
  bool again;
  BackupEnding ending;
};

class BackupRun {
 public:
  BackupRun(Module1& m, const BackupFlavor& flavor, ImageSink& sink)
      : m_(m), host_(m.host), flavor_(flavor), sink_(sink) {}

  AttemptResult Attempt();

 private:
  Module1& m_;
  Host& host_;
  const BackupFlavor& flavor_;
  ImageSink& sink_;

  Got Receive(std::uint8_t& byte);
  Got AwaitByte(std::uint8_t wanted);
  Got ReceiveHeader();
  Got ReceivePayload(bool& checkOk);
  const char* FirstFrameError() const;
  bool TakeFirstFrame();
  void ShowReceived();
  // Asked once more before the image replaces the file: a cancel or an
  // interruption that came meanwhile (while the disk flushed) still counts.
  bool StillWanted() {
    host_.ProcessEvents();
    return !m_.CancelFlag;
  }

  int received_ = 0;        // whole blocks (NAND) or pages (NOR) of the image so far
  unsigned continuedAt_ = 0;  // NAND: the logical block this attempt continues the kept ones at
  unsigned imageStart_ = 0;   // NAND: the logical block of the image's first block

  // Asks whether to start again; the kept blocks are named on a line of their
  // own. `noIsDefault` when starting again cannot help unless the user acts.
  AttemptResult Ask(const std::string& question, BackupEnding ifNo, bool noIsDefault = false);
  // The ending of a wait that brought no byte.
  AttemptResult NoByte(Got got) { return got == Got::Cancel ? Cancel() : Timeout(); }
  AttemptResult Timeout() { return m_.PortLost ? Lost() : Ask(kTimeoutQuestion, BackupEnding::Timeout); }
  AttemptResult Lost();
  AttemptResult Error(const std::string& message, bool noIsDefault = false);
  AttemptResult Cancel();
  AttemptResult SpeedError();
  AttemptResult SinkError();
};

Got BackupRun::Receive(std::uint8_t& byte) {
  byte = m_.ReceiveByte();
  if (m_.CancelFlag) return Got::Cancel;
  if (m_.TimeoutFlag) return Got::Timeout;
  return Got::Byte;
}

// Drops every byte until `wanted` arrives; events run after each one.
Got BackupRun::AwaitByte(std::uint8_t wanted) {
  for (;;) {
    std::uint8_t byte;
    const Got got = Receive(byte);
    if (got != Got::Byte) return got;
    m_.YieldAfterPoll(true);
    if (byte == wanted) return Got::Byte;
  }
}

Got BackupRun::ReceiveHeader() {
  m_.RunningXor = 0;
  for (std::uint8_t& slot : m_.HeaderBuffer) {
    const Got got = Receive(slot);
    if (got != Got::Byte) return got;
    m_.RunningXor ^= slot;
  }
  return Got::Byte;
}

// The payload into TransferBuffer, and whether its check byte agrees.
Got BackupRun::ReceivePayload(bool& checkOk) {
  m_.RunningXor = 0;
  for (std::size_t i = 0; i < flavor_.payloadSize; ++i) {
    const Got got = Receive(m_.TransferBuffer[i]);
    if (got != Got::Byte) return got;
    m_.RunningXor ^= m_.TransferBuffer[i];
  }
  std::uint8_t check;
  const Got got = Receive(check);
  checkOk = check == m_.RunningXor;
  return got;
}

// NOR: the first data frame must be page 00. NAND: it names the first block,
// which needs a high byte below 80h (80h itself marks the end frame).
const char* BackupRun::FirstFrameError() const {
  const std::uint8_t* h = m_.HeaderBuffer.data();
  if (flavor_.nand) return h[0] < wire::kEndFrame ? nullptr : kNoBlockNumber;
  return h[1] == 0 ? nullptr : kNotFromPageZero;
}

// NAND: the sink learns the first block, and whether the attempt continues
// blocks it kept; the status line says so.
bool BackupRun::TakeFirstFrame() {
  m_.FirstPageSeen = true;
  if (!flavor_.nand) return true;
  const unsigned f = m_.HeaderBuffer[0] * 256u + m_.HeaderBuffer[1];
  if (!sink_.FirstBlock(f)) return false;
  received_ = sink_.KeptBlocks();
  const auto at = static_cast<unsigned>(nand::LogicalBlockOfCode(static_cast<int>(f)));
  imageStart_ = at - static_cast<unsigned>(received_);
  if (sink_.HeldBlocks() > 0) continuedAt_ = at;
  ShowReceived();
  return true;
}

// "正在接收数据...", whether the attempt continues kept blocks, what became of
// blocks the attempt could not continue, and the count of whole blocks (with
// their logical range) or pages received.
void BackupRun::ShowReceived() {
  std::string status = kReceiving;
  if (continuedAt_ > 0) status += " 从第 " + BlockHex(continuedAt_) + " 块继续";
  const std::vector<std::string> notes = sink_.Notes();
  if (!notes.empty()) status += " " + notes.back();
  const int held = std::max(received_, sink_.HeldBlocks());
  std::string count = "已收到 " + std::to_string(held) + (flavor_.nand ? " 块" : " 页");
  if (flavor_.nand && held > 0)
    count += " (" + BlockRangeHex(imageStart_, imageStart_ + static_cast<unsigned>(held) - 1) + ")";
  host_.SetStatusCount(status, held, count);
}

AttemptResult BackupRun::Attempt() {
  m_.SetBaseSpeed();
  m_.SpeedSwitched = false;
  m_.CancelFlag = false;
  host_.SetBarRange(Host::Bar::Current, 0, flavor_.framesPerBar);
  host_.SetBarValue(Host::Bar::Current, 0);
  host_.SetStatus("正在与文曲星连接...");

  const Got hello = AwaitByte(wire::kHello);
  if (hello == Got::Cancel) return {false, BackupEnding::Cancel};
  if (hello == Got::Timeout || !m_.SendByte(wire::kHelloAnswer)) {
    if (m_.PortLost) return Lost();
    return Ask(kTimeoutQuestion, BackupEnding::TimeoutBeforeFile);
  }
  m_.FirstPageSeen = false;
  received_ = 0;
  continuedAt_ = 0;
  ShowReceived();

  if (!sink_.Begin()) {
    // Nothing to restart until the user fixes what the sink needs.
    host_.HideCancelDialog();
    host_.ShowMessage(sink_.Problem());
    return {false, BackupEnding::Error};
  }

  for (int frame = 0;; ++frame) {
    if (frame >= flavor_.framesPerBar) frame = 0;

    const Got announced = AwaitByte(flavor_.announcement);
    if (announced != Got::Byte) return NoByte(announced);
    if (!m_.SpeedSwitched && !m_.SwitchToModelSpeed()) return SpeedError();
    if (!m_.SendByte(wire::kGoAhead)) return Timeout();

    const Got header = ReceiveHeader();
    if (header != Got::Byte) return NoByte(header);
    if (m_.RunningXor != 0) return Error(kHeaderCheckError);
    if (m_.HeaderBuffer[0] == wire::kEndFrame) {
      const std::optional<BackupEnding> ending = sink_.Complete(host_, [this] { return StillWanted(); });
      return ending ? AttemptResult{false, *ending} : SinkError();
    }
    if (!m_.FirstPageSeen) {
      if (const char* error = FirstFrameError()) return Error(error);
      if (!TakeFirstFrame()) return SinkError();
    }

    bool checkOk = false;
    const Got payload = ReceivePayload(checkOk);
    if (payload != Got::Byte) return NoByte(payload);
    if (!checkOk) return Error(kPayloadCheckError);
    if (!sink_.Add(m_.TransferBuffer.data(), flavor_.payloadSize)) return SinkError();

    host_.SetBarValue(Host::Bar::Current, frame + 1);
    if (frame + 1 == flavor_.framesPerBar) {
      ++received_;
      ShowReceived();
    }
  }
}

AttemptResult BackupRun::Ask(const std::string& question, BackupEnding ifNo, bool noIsDefault) {
  host_.HideCancelDialog();
  const std::string kept = sink_.KeptLine();
  return {host_.Ask(kept.empty() ? question : question + "\r\n" + kept, noIsDefault), ifNo};
}

// The port's device went away (a cable pulled out): the attempt ends at once
// and the user may start again once it is back, on the port opened afresh.
AttemptResult BackupRun::Lost() {
  const AttemptResult result = Ask(m_.LostPortText() + "\r\n" + kRestartQuestion, BackupEnding::PortLost);
  if (result.again && !m_.ReopenPort()) return {false, BackupEnding::PortFailed};
  return result;
}

AttemptResult BackupRun::Error(const std::string& message, bool noIsDefault) {
  host_.HideCancelDialog();
  host_.ShowMessage(message);
  return Ask(kRestartQuestion, BackupEnding::Error, noIsDefault);
}

AttemptResult BackupRun::Cancel() { return {false, BackupEnding::Cancel}; }

AttemptResult BackupRun::SpeedError() {
  host_.HideCancelDialog();
  host_.ShowMessage(kSpeedError);
  return {false, BackupEnding::SpeedError};
}

// A full disk, a failing drive or an unreadable file ends the attempt at
// the payload that met it, with the system's reason; the user may set it
// right and start again, but nobody else should.
AttemptResult BackupRun::SinkError() { return Error(sink_.Problem(), true); }

}  // namespace

BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor, ImageSink& sink) {
  m.TransferKind = 1;
  BackupRun run(m, flavor, sink);
  AttemptResult result = run.Attempt();
  for (; result.again; result = run.Attempt()) {
    sink.Restart();
    m.FlushPort();  // the rest of the frame that broke is no hello
  }
  // Success and a failed replace took their own steps in Complete. A cancel,
  // also one that answered a question, keeps nothing, but for a program
  // ended from outside (a closed terminal, a kill): its whole blocks are kept.
  const bool cancelled = result.ending == BackupEnding::Cancel || m.CancelFlag;
  if (result.ending != BackupEnding::Success && result.ending != BackupEnding::ReplaceFailed) {
    if (cancelled && !InterruptedFromOutside())
      sink.Discard();
    else
      sink.Abandon(m.host);
  }
  for (const std::string& note : sink.Notes()) m.host.ShowMessage(note);
  m.PartialImage = sink.SavedApart();
  return result.ending;
}
