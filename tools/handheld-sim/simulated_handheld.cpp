#include "simulated_handheld.h"

#include "common/handheld_layout.h"
#include "link/serial_io.h"

namespace {

// Takes bytes and drops them: brings a role into step with what has already
// been said on the line without saying it twice.
class MutedLine final : public HandheldLine {
 public:
  void Send(const std::uint8_t*, std::size_t, long) override {}
};

const std::uint8_t kJunk[] = {0x00, 0x13, 0x7F, 0xFE, 0x55};

}  // namespace

SimulatedHandheld::SimulatedHandheld(EmulatedFlash& flash, Settings settings)
    : flash_(flash), settings_(std::move(settings)) {}

SimulatedHandheld::~SimulatedHandheld() = default;

long SimulatedHandheld::Speed() const { return computerSpeed ? computerSpeed() : speed_; }

long SimulatedHandheld::ListeningSpeed() const {
  switch (role_) {
    case Role::Offering: return settings_.transferSpeed;
    case Role::Backup: return sender_->handheldSpeed;
    case Role::Repair: return receiver_->handheldSpeed;
    default: return kBaseBaud;
  }
}

void SimulatedHandheld::Note(const std::string& text) const {
  if (onEvent) onEvent(text);
}

void SimulatedHandheld::OnOpen(HandheldLine&) {
  role_ = Role::Undecided;
  since_ = Clock::now();
  helloSent_ = false;
  swallowNextRequest_ = false;
  faultsUsed_ = false;
  Note("opened");
}

void SimulatedHandheld::OnClose(HandheldLine&) {
  Sync();
  role_ = Role::Closed;
  EndBackup();
  Note("closed");
}

void SimulatedHandheld::EndBackup() {
  if (sender_ && sender_->resume) resumeBlock_ = sender_->FirstBlockNotConfirmed();
  sender_.reset();
}

void SimulatedHandheld::Sync() {
  if (receiver_ == norReceiver_.get() && norReceiver_) flash_.norPages = norReceiver_->norPages;
  if (receiver_ == nandReceiver_.get() && nandReceiver_) flash_.nandBlocks = nandReceiver_->nandBlocks;
  receiver_ = nullptr;
  norReceiver_.reset();
  nandReceiver_.reset();
}

void SimulatedHandheld::OnSpeed(HandheldLine& line, long speed) {
  speed_ = speed;
  switch (role_) {
    case Role::Closed: break;
    case Role::Undecided: since_ = Clock::now(); break;  // still setting up: wait from its last change
    case Role::HelloSent: break;  // the hello is still unanswered: a repair's connection start, most likely
    case Role::Offering:
    case Role::Backup:
    case Role::Silent:
      // Back at 115200 bit/s the computer starts the backup over; so does the user.
      if (speed == kBaseBaud) {
        EndBackup();
        helloSent_ = false;
        role_ = Role::Undecided;
        since_ = Clock::now();
        Note("restart");
      }
      break;
    case Role::RepairConnecting:
      norReceiver_->OnSpeed(line, speed);
      nandReceiver_->OnSpeed(line, speed);
      break;
    case Role::Repair: receiver_->OnSpeed(line, speed); break;
  }
}

void SimulatedHandheld::OnIdle(HandheldLine& line) {
  const auto waited = Clock::now() - since_;
  if (role_ == Role::Undecided && settings_.autoBackup && waited >= settings_.helloDelay && Speed() == kBaseBaud) {
    SendHello(line);
  } else if (role_ == Role::Offering && settings_.offerNor && settings_.offerNand && waited >= settings_.offerPeriod &&
             Speed() == kBaseBaud) {
    Offer(line);
  }
}

void SimulatedHandheld::StartBackup(HandheldLine& line) {
  if (role_ == Role::Undecided || role_ == Role::HelloSent) SendHello(line);
}

void SimulatedHandheld::SendHello(HandheldLine& line) {
  if (!faultsUsed_)
    for (int i = 0; i < settings_.backupFaults.junkBeforeHello; ++i) line.Send(kJunk[i % 5], kBaseBaud);
  line.Send(wire::kHello, kBaseBaud);
  helloSent_ = true;
  role_ = Role::HelloSent;
  since_ = Clock::now();
  Note("hello");
}

void SimulatedHandheld::Offer(HandheldLine& line) {
  offeredNand_ = settings_.offerNor && settings_.offerNand ? !offeredNand_ : settings_.offerNand;
  line.Send(offeredNand_ ? wire::kNandAnnounce : wire::kNorAnnounce, kBaseBaud);
  since_ = Clock::now();
}

void SimulatedHandheld::BeginBackup(HandheldLine& line, bool nand, std::uint8_t goAhead, long speed) {
  const int first = flash_.FirstNandBlock();
  sender_ = std::make_unique<BackupSender>(nand ? BackupSender::Flash::Nand : BackupSender::Flash::Nor,
                                           nand ? flash_.NandImage() : flash_.NorImage(), settings_.transferSpeed,
                                           nand::BlockCode(first));
  sender_->autoStart = false;
  sender_->resume = nand && settings_.resume;
  sender_->startBlock = sender_->resume ? resumeBlock_ : 0;
  if (sender_->startBlock > 0) Note("resume at block " + std::to_string(sender_->startBlock));
  if (!faultsUsed_) sender_->faults = settings_.backupFaults;
  sender_->faults.junkBeforeHello = 0;  // the hello has been said
  sender_->faults.attempts = 1;
  faultsUsed_ = true;
  // Hello, its answer and the first announcement are behind us.
  MutedLine muted;
  sender_->Start(muted);
  sender_->OnByte(muted, wire::kHelloAnswer, kBaseBaud);
  role_ = Role::Backup;
  lastFrame_ = 0;
  Note(nand ? "backup nand" : "backup nor");
  sender_->OnByte(line, goAhead, speed);
  ReportFrames();
}

void SimulatedHandheld::BeginRepair(bool nand) {
  auto make = [&](RepairReceiver::Flash kind) {
    auto r = std::make_unique<RepairReceiver>(kind, settings_.transferSpeed);
    if (!faultsUsed_) r->faults = settings_.repairFaults;
    r->faults.attempts = 1;
    const bool isNor = kind == RepairReceiver::Flash::Nor;
    (isNor ? r->norPages : r->nandBlocks) = isNor ? flash_.norPages : flash_.nandBlocks;
    r->Reset();
    return r;
  };
  if (!norReceiver_) norReceiver_ = make(RepairReceiver::Flash::Nor);
  if (!nandReceiver_) nandReceiver_ = make(RepairReceiver::Flash::Nand);
  faultsUsed_ = true;
  receiver_ = nand ? nandReceiver_.get() : norReceiver_.get();
  lastFrame_ = 0;
}

void SimulatedHandheld::ReportFrames() {
  const int frames = sender_ ? sender_->framesSent : receiver_ ? receiver_->framesReceived : 0;
  if (frames != lastFrame_) {
    lastFrame_ = frames;
    Note("frame " + std::to_string(frames));
  }
  if (receiver_ && receiver_->formatted) {
    Note("format");
    receiver_->formatted = false;
  }
}

void SimulatedHandheld::OnByte(HandheldLine& line, std::uint8_t byte, long speed) {
  MutedLine muted;
  switch (role_) {
    case Role::Closed: break;
    case Role::Undecided:
    case Role::HelloSent:
      if (speed != kBaseBaud) break;
      if (byte == wire::kHello) {
        // The computer asks for a connection: a repair. A hello of ours that it
        // has not read yet makes it ask once more; that second request is not
        // answered, so that no answer waits out of turn.
        BeginRepair(false);
        receiver_ = nullptr;
        swallowNextRequest_ = helloSent_;
        role_ = Role::RepairConnecting;
        Note("repair");
        norReceiver_->OnByte(line, byte, speed);
        nandReceiver_->OnByte(muted, byte, speed);
      } else if (byte == wire::kNorAnnounce || byte == wire::kNandAnnounce) {
        // An announcement without a connection request: the low-speed repair.
        BeginRepair(byte == wire::kNandAnnounce);
        role_ = Role::Repair;
        Note(byte == wire::kNandAnnounce ? "repair nand low-speed" : "repair nor low-speed");
        receiver_->OnByte(line, byte, speed);
        ReportFrames();
      } else if (byte == wire::kHelloAnswer && role_ == Role::HelloSent) {
        const bool silent = !faultsUsed_ && settings_.backupFaults.silentFrom == 0;
        role_ = Role::Offering;
        since_ = Clock::now();
        if (silent) {
          faultsUsed_ = true;
          role_ = Role::Silent;
          Note("silent");
          break;
        }
        offeredNand_ = true;  // the first offer is NOR
        Offer(line);
      }
      break;
    case Role::Offering:
      if (byte == wire::kGoAhead && speed == settings_.transferSpeed) BeginBackup(line, offeredNand_, byte, speed);
      break;
    case Role::Backup:
      sender_->OnByte(line, byte, speed);
      ReportFrames();
      break;
    case Role::Silent: break;
    case Role::RepairConnecting:
      if (speed != kBaseBaud) break;
      if (byte == wire::kHello) {
        if (swallowNextRequest_) {
          swallowNextRequest_ = false;
          break;
        }
        norReceiver_->OnByte(line, byte, speed);
        nandReceiver_->OnByte(muted, byte, speed);
      } else if (byte == wire::kNorAnnounce || byte == wire::kNandAnnounce) {
        receiver_ = byte == wire::kNandAnnounce ? nandReceiver_.get() : norReceiver_.get();
        role_ = Role::Repair;
        Note(byte == wire::kNandAnnounce ? "repair nand" : "repair nor");
        receiver_->OnByte(line, byte, speed);
        ReportFrames();
      }
      break;
    case Role::Repair:
      receiver_->OnByte(line, byte, speed);
      ReportFrames();
      break;
  }
}
