#include "backup_sender.h"

#include "common/handheld_layout.h"
#include "link/serial_io.h"

namespace {
const std::uint8_t kJunk[] = {0x00, 0x13, 0x7F, 0xFE, 0x55};
}

BackupSender::BackupSender(Flash flash, std::vector<std::uint8_t> image, long transferSpeed, int firstBlock)
    : flash_(flash), image_(std::move(image)), transferSpeed_(transferSpeed), firstBlock_(firstBlock) {}

std::size_t BackupSender::PayloadSize() const {
  return flash_ == Flash::Nor ? wire::kNorPayload : wire::kNandPayload;
}

int BackupSender::FrameCount() const { return static_cast<int>(image_.size() / PayloadSize()); }

int BackupSender::FirstBlockNotConfirmed() const {
  return state_ == State::Done ? 0 : confirmed_ / nand::kPagesPerBlock;
}

void BackupSender::Start(HandheldLine& line) {
  if (resume && flash_ == Flash::Nand && attempt > 0) startBlock = FirstBlockNotConfirmed();
  confirmed_ = startBlock * nand::kPagesPerBlock;
  ++attempt;
  framesSent = 0;
  handheldSpeed = kBaseBaud;
  for (int i = 0; FaultsActive() && i < faults.junkBeforeHello; ++i) line.Send(kJunk[i % 5], handheldSpeed);
  line.Send(wire::kHello, handheldSpeed);
  state_ = State::WaitHelloAnswer;
}

void BackupSender::OnSpeed(HandheldLine& line, long speed) {
  if (autoStart && speed == kBaseBaud) Start(line);
}

void BackupSender::OnByte(HandheldLine& line, std::uint8_t byte, long speed) {
  if (speed != handheldSpeed) return;  // not understood at this speed
  if (state_ == State::WaitHelloAnswer && byte == wire::kHelloAnswer) {
    Announce(line);
  } else if (state_ == State::WaitGoAhead && byte == wire::kGoAhead) {
    SendFrame(line);
    if (state_ == State::WaitGoAhead) Announce(line);
  }
}

void BackupSender::Announce(HandheldLine& line) {
  if (FaultsActive() && faults.silentFrom == framesSent) {
    state_ = State::Silent;
    return;
  }
  for (int i = 0; FaultsActive() && i < faults.junkBeforeAnnounce; ++i) line.Send(kJunk[i % 5], handheldSpeed);
  line.Send(flash_ == Flash::Nor ? wire::kNorAnnounce : wire::kNandAnnounce, handheldSpeed);
  handheldSpeed = transferSpeed_;  // listens at the transfer speed from the first announcement on
  state_ = State::WaitGoAhead;
}

void BackupSender::SendFrame(HandheldLine& line) {
  const int k = framesSent;
  const int frame = (flash_ == Flash::Nand ? startBlock * nand::kPagesPerBlock : 0) + k;  // of `image`
  confirmed_ = frame;  // this go-ahead confirms every frame before
  const bool faulty = FaultsActive();
  std::uint8_t header[wire::kHeaderSize] = {};
  if (frame >= FrameCount()) {
    header[0] = wire::kEndFrame;
    wire::SealHeader(header);
    if (faulty && faults.badHeaderAt == k) header[6] ^= 0x01;
    line.Send(header, sizeof header, handheldSpeed);
    state_ = State::Done;
    return;
  }
  const std::size_t size = PayloadSize();
  if (flash_ == Flash::Nor) {
    const int page = k / wire::kNorFramesPerPage;
    header[1] = static_cast<std::uint8_t>(k == 0 && faulty ? faults.firstPage : page);
    header[3] = static_cast<std::uint8_t>(wire::kPage00Address + k % wire::kNorFramesPerPage);
  } else {
    const int block = (firstBlock_ + frame / nand::kPagesPerBlock) & nand::kBlock1Code;
    header[0] = static_cast<std::uint8_t>(block >> 8);
    header[1] = static_cast<std::uint8_t>(block & 0xFF);
    if (k == 0 && faulty && faults.firstHeaderByte0 != 0xFF) header[0] = faults.firstHeaderByte0;
    header[3] = static_cast<std::uint8_t>(2 * (frame % nand::kPagesPerBlock));
  }
  wire::PutLength(header, size);
  wire::SealHeader(header);
  if (faulty && faults.badHeaderAt == k) header[6] ^= 0x01;
  line.Send(header, sizeof header, handheldSpeed);

  const std::uint8_t* payload = image_.data() + static_cast<std::size_t>(frame) * size;
  if (faulty && faults.silentInFrameAt == k) {
    line.Send(payload, size / 2, handheldSpeed);
    state_ = State::Silent;
    return;
  }
  std::uint8_t check = wire::XorOf(payload, size);
  if (faulty && faults.flipAt == k) {
    std::vector<std::uint8_t> flipped(payload, payload + size);
    flipped[size / 2] ^= 0x10;
    line.Send(flipped.data(), size, handheldSpeed);
  } else {
    line.Send(payload, size, handheldSpeed);
  }
  if (faulty && faults.badPayloadAt == k) check ^= 0x01;
  line.Send(check, handheldSpeed);
  ++framesSent;
}
