#include "repair_receiver.h"

#include <algorithm>

#include "common/handheld_layout.h"
#include "link/serial_io.h"

RepairReceiver::RepairReceiver(Flash flash, long transferSpeed) : flash_(flash), transferSpeed_(transferSpeed) {}

std::uint8_t RepairReceiver::Announce() const { return flash_ == Flash::Nor ? wire::kNorAnnounce : wire::kNandAnnounce; }

std::size_t RepairReceiver::FrameSize() const { return flash_ == Flash::Nor ? wire::kNorFrameSize : wire::kNandFrameSize; }

void RepairReceiver::Reset() {
  ++attempt;
  framesReceived = 0;
  lowSpeedConnection = false;
  lastFrameBad_ = false;
  ignoredPolls_ = 0;
  handheldSpeed = kBaseBaud;
  state_ = State::Idle;
  frame_.clear();
}

void RepairReceiver::OnSpeed(HandheldLine&, long speed) {
  if (speed == kBaseBaud) Reset();
}

void RepairReceiver::OnOpen(HandheldLine&) {
  // A new session starts from a handheld waiting after its reset; only the
  // computer's 115200 bit/s counts as a new attempt.
  state_ = State::Idle;
  handheldSpeed = kBaseBaud;
  frame_.clear();
}

bool RepairReceiver::Answer(HandheldLine& line, std::uint8_t verdict) {
  if (FaultsActive() && faults.silentFrom == framesReceived) {
    state_ = State::Silent;
    return false;
  }
  if (FaultsActive() && faults.checkErrorAt == framesReceived) {
    line.Send(wire::kCheckError, handheldSpeed);
    if (framesReceived > 0) return true;  // the computer ends the repair here
  }
  line.Send(verdict, handheldSpeed);
  return true;
}

void RepairReceiver::OnByte(HandheldLine& line, std::uint8_t byte, long speed) {
  if (state_ == State::Done && formatted) ++bytesAfterFormat;
  if (speed != handheldSpeed) return;  // not understood at this speed
  switch (state_) {
    case State::Idle:
      if (byte == wire::kHello) {
        ++connectionRequests;
        if (FaultsActive() && faults.silentFrom == 0) return;
        if (FaultsActive() && ignoredPolls_ < faults.pollsBeforeAnswer) {
          ++ignoredPolls_;
          return;
        }
        line.Send(wire::kHelloAnswer, handheldSpeed);
        state_ = State::Connected;
      } else if (byte == Announce()) {
        lowSpeedConnection = true;
        if (Answer(line, wire::kGoAhead)) state_ = State::InFrame;
      }
      break;
    case State::Connected:
      if (byte == Announce()) {
        handheldSpeed = transferSpeed_;
        // One byte at the new speed; the computer does not look at its value.
        const bool fault = FaultsActive() && faults.checkErrorAt == 0;
        line.Send(fault ? wire::kCheckError : wire::kGoAhead, handheldSpeed);
        state_ = State::InFrame;
      } else if (byte == wire::kHello) {
        ++connectionRequests;
        line.Send(wire::kHelloAnswer, handheldSpeed);
      }
      break;
    case State::WaitAnnounce:
      if (byte == Announce()) {
        if (Answer(line, lastFrameBad_ ? wire::kCheckError : wire::kGoAhead)) state_ = State::InFrame;
      } else if (byte == wire::kEndFrame) {
        frame_.assign(1, byte);
        state_ = State::InEndFrame;
      }
      break;
    case State::InFrame:
      frame_.push_back(byte);
      if (frame_.size() == FrameSize()) {
        if (FaultsActive() && faults.flipAt == framesReceived) frame_[wire::kHeaderSize + 9] ^= 0x10;
        TakeFrame();
        frame_.clear();
        state_ = State::WaitAnnounce;
      }
      break;
    case State::InEndFrame:
      frame_.push_back(byte);
      if (frame_.size() == wire::kHeaderSize) {
        const std::uint8_t end[] = {wire::kEndFrame, 0, 0, 0, 0, 0, wire::kEndFrame};
        if (std::equal(frame_.begin(), frame_.end(), end)) {
          formatted = true;
        } else {
          rejected.push_back({framesReceived, "bad end frame"});
        }
        frame_.clear();
        state_ = State::Done;
      }
      break;
    case State::Silent:
    case State::Done:
      break;
  }
}

std::string RepairReceiver::CheckNor(int& page, int& slot) const {
  const std::uint8_t* f = frame_.data();
  if (wire::XorOf(f, wire::kHeaderSize) != 0) return "header check";
  if (wire::XorOf(f + wire::kHeaderSize, wire::kNorPayload) != f[wire::kHeaderSize + wire::kNorPayload]) return "payload check";
  if (f[0] != wire::kNorFrameKind) return "kind byte";
  if (f[2] != 0x00 || !wire::HasLength(f, wire::kNorPayload)) return "address low byte or length";
  page = f[1];
  const int base = page == 0 ? wire::kPage00Address : wire::kOtherPageAddress;
  slot = f[3] - base;
  if (slot < 0 || slot >= wire::kNorFramesPerPage) return "address outside the page";
  return {};
}

std::string RepairReceiver::CheckNand(int& logicalBlock, int& pageIndex) const {
  const std::uint8_t* f = frame_.data();
  if (wire::XorOf(f, wire::kHeaderSize) != 0) return "header check";
  if (wire::XorOf(f + wire::kHeaderSize, wire::kNandPayload) != f[wire::kHeaderSize + wire::kNandPayload]) return "payload check";
  if (f[2] != 0x00 || !wire::HasLength(f, wire::kNandPayload)) return "length fields";
  if (f[3] % 2 != 0 || f[3] >= 2 * nand::kPagesPerBlock) return "page field";
  const int code = f[0] * 256 + f[1];
  if (code > nand::kBlock1Code) return "block code";
  logicalBlock = nand::LogicalBlockOfCode(code);
  pageIndex = f[3] / 2;
  return {};
}

void RepairReceiver::TakeFrame() {
  const int index = framesReceived++;
  std::array<std::uint8_t, 7> header;
  std::copy_n(frame_.begin(), header.size(), header.begin());
  headers.push_back(header);
  int unit = 0, slot = 0;
  const std::string why = flash_ == Flash::Nor ? CheckNor(unit, slot) : CheckNand(unit, slot);
  lastFrameBad_ = !why.empty();
  if (lastFrameBad_) {
    rejected.push_back({index, why});
    return;
  }
  ++framesAccepted;
  const std::size_t payload = flash_ == Flash::Nor ? wire::kNorPayload : wire::kNandPayload;
  auto& flash = flash_ == Flash::Nor ? norPages : nandBlocks;
  // Flash loaded beforehand has its units already; what was written is
  // tracked apart from it.
  auto [it, fresh] = flash.try_emplace(unit);
  if (fresh) it->second.assign(flash_ == Flash::Nor ? nor::kPageSize : nand::kBlockSize, 0xFF);
  std::vector<bool>& marks = written[unit];
  if (marks.empty()) marks.assign(flash_ == Flash::Nor ? wire::kNorFramesPerPage : nand::kPagesPerBlock, false);
  std::copy(frame_.begin() + wire::kHeaderSize, frame_.begin() + wire::kHeaderSize + payload, it->second.begin() + slot * payload);
  marks[slot] = true;
}
