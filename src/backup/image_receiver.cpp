#include "backup/image_receiver.h"

#include "common/target_check.h"
#include "common/temporary_file.h"
#include "link/frame.h"

const BackupFlavor kNorBackup{wire::kNorAnnounce, wire::kNorPayload, 128, "备份系统Nor成功!", false};
const BackupFlavor kNandBackup{wire::kNandAnnounce, wire::kNandPayload, 32, "备份系统Nand成功!", true};

namespace {

const char kTimeoutQuestion[] = "接收数据超时,您要重新开始备份吗?";
const char kRestartQuestion[] = "您要重新开始备份吗?";
const char kHeaderCheckError[] = "接收数据时校验错1!";
const char kPayloadCheckError[] = "接收数据时校验错2!";
const char kNotFromPageZero[] = "请从00页开始发送!";
const char kNoBlockNumber[] = "第一帧的块号无效(高字节大于80h),无法确定开始逻辑块号!";
const char kSpeedError[] = "更改串口设置时出错!";

enum class Got { Byte, Cancel, Timeout, WriteFailed };

// One attempt of a backup either ends the backup or, after the user said Yes
// to a question, asks for a fresh attempt.
struct AttemptResult {
  bool again;
  BackupEnding ending;
};

class BackupRun {
 public:
  BackupRun(Module1& m, const BackupFlavor& flavor)
      : m_(m), host_(m.host), flavor_(flavor), temp_(CheckTarget(m.ImagePath).path) {}

  AttemptResult Attempt();

 private:
  Module1& m_;
  Host& host_;
  const BackupFlavor& flavor_;
  TemporaryFile temp_;
  unsigned firstBlock_ = 0;  // NAND: block number of the first data frame

  Got Receive(std::uint8_t& byte);
  Got AwaitByte(std::uint8_t wanted);
  Got ReceiveHeader();
  Got ReceivePayload(bool& checkOk);
  bool CheckFirstFrame(const char*& error);

  AttemptResult Success();
  AttemptResult Ask(const char* question, BackupEnding ifNo);
  AttemptResult Timeout() { return Ask(kTimeoutQuestion, BackupEnding::Timeout); }
  AttemptResult Error(const std::string& message);
  AttemptResult Cancel();
  AttemptResult SpeedError();
  AttemptResult FileError();
  AttemptResult WriteError();
  std::string FileProblem() const;
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

// Payload bytes go to the file as they arrive, before their check is known;
// a failed check discards the whole file anyway. A write that fails ends the
// backup at once.
Got BackupRun::ReceivePayload(bool& checkOk) {
  m_.RunningXor = 0;
  for (std::size_t i = 0; i < flavor_.payloadSize; ++i) {
    const Got got = Receive(m_.TransferBuffer[i]);
    if (got != Got::Byte) return got;
    m_.RunningXor ^= m_.TransferBuffer[i];
  }
  if (!temp_.Write(m_.TransferBuffer.data(), flavor_.payloadSize)) return Got::WriteFailed;
  std::uint8_t check;
  const Got got = Receive(check);
  checkOk = check == m_.RunningXor;
  return got;
}

// NOR: the first data frame must be page 00. NAND: it names the first block,
// which needs a high byte below 80h (80h itself marks the end frame).
bool BackupRun::CheckFirstFrame(const char*& error) {
  if (m_.FirstPageSeen) return true;
  const std::uint8_t* h = m_.HeaderBuffer.data();
  const bool ok = flavor_.nand ? h[0] < wire::kEndFrame : h[1] == 0;
  if (!ok) {
    error = flavor_.nand ? kNoBlockNumber : kNotFromPageZero;
    return false;
  }
  if (flavor_.nand) firstBlock_ = h[0] * 256u + h[1];
  m_.FirstPageSeen = true;
  return true;
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
    host_.HideCancelDialog();
    return {host_.Ask(kTimeoutQuestion), BackupEnding::TimeoutBeforeFile};
  }
  m_.FirstPageSeen = false;
  firstBlock_ = 0;
  host_.SetStatus("正在接收数据...");

  if (!temp_.Create()) return FileError();

  for (int frame = 0;; ++frame) {
    if (frame >= flavor_.framesPerBar) frame = 0;

    const Got announced = AwaitByte(flavor_.announcement);
    if (announced == Got::Cancel) return Cancel();
    if (announced == Got::Timeout) return Timeout();
    if (!m_.SpeedSwitched && !m_.SwitchToModelSpeed()) return SpeedError();
    if (!m_.SendByte(wire::kGoAhead)) return Timeout();

    const Got header = ReceiveHeader();
    if (header == Got::Cancel) return Cancel();
    if (header == Got::Timeout) return Timeout();
    if (m_.RunningXor != 0) return Error(kHeaderCheckError);
    if (m_.HeaderBuffer[0] == wire::kEndFrame) return Success();
    const char* firstFrameError = nullptr;
    if (!CheckFirstFrame(firstFrameError)) return Error(firstFrameError);

    bool checkOk = false;
    const Got payload = ReceivePayload(checkOk);
    if (payload == Got::Cancel) return Cancel();
    if (payload == Got::Timeout) return Timeout();
    if (payload == Got::WriteFailed) return WriteError();
    if (!checkOk) return Error(kPayloadCheckError);

    host_.SetBarValue(Host::Bar::Current, frame + 1);
  }
}

AttemptResult BackupRun::Success() {
  if (flavor_.nand) {
    const unsigned start = StartingLogicalBlock(firstBlock_);
    const std::uint8_t trailer[2] = {static_cast<std::uint8_t>(start & 0xFF), static_cast<std::uint8_t>(start >> 8)};
    if (!temp_.Write(trailer, 2)) return WriteError();
  }
  const bool replaced = temp_.Commit();
  host_.HideCancelDialog();
  if (!replaced) {
    // A complete temporary file is kept when only the rename failed; one
    // that could not be written completely is gone.
    std::string text = "备份数据无法保存为 " + m_.ImagePath + " : " + temp_.Error();
    if (temp_.Holds()) text += "\r\n已接收的数据保存在 " + temp_.path();
    temp_.Keep();
    host_.ShowMessage(text);
    return {false, BackupEnding::ReplaceFailed};
  }
  host_.ShowMessage(flavor_.successMessage);
  return {false, BackupEnding::Success};
}

AttemptResult BackupRun::Ask(const char* question, BackupEnding ifNo) {
  host_.HideCancelDialog();
  const bool again = host_.Ask(question);
  temp_.Discard();
  return {again, ifNo};
}

AttemptResult BackupRun::Error(const std::string& message) {
  host_.HideCancelDialog();
  host_.ShowMessage(message);
  return Ask(kRestartQuestion, BackupEnding::Error);
}

AttemptResult BackupRun::Cancel() {
  temp_.Discard();
  return {false, BackupEnding::Cancel};
}

AttemptResult BackupRun::SpeedError() {
  host_.HideCancelDialog();
  host_.ShowMessage(kSpeedError);
  temp_.Discard();
  return {false, BackupEnding::SpeedError};
}

std::string BackupRun::FileProblem() const { return "无法写入临时文件: " + temp_.path() + ": " + temp_.Error(); }

// The temporary file could not be created: nothing to restart until the
// user fixes the folder.
AttemptResult BackupRun::FileError() {
  host_.HideCancelDialog();
  host_.ShowMessage(FileProblem());
  return {false, BackupEnding::Error};
}

// A full disk or a failing drive ends the backup at the write that met it,
// with the system's reason; the user may free room and start again.
AttemptResult BackupRun::WriteError() {
  const std::string problem = FileProblem();
  temp_.Discard();
  return Error(problem);
}

}  // namespace

BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor) {
  m.TransferKind = 1;
  BackupRun run(m, flavor);
  for (;;) {
    const AttemptResult result = run.Attempt();
    if (!result.again) return result.ending;
  }
}
