#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "backup_sender.h"
#include "emulated_flash.h"
#include "handheld_device.h"
#include "repair_receiver.h"

// The whole simulated handheld behind one line: it sends backups of its
// emulated flash and receives repairs into it, and finds out by itself which
// of the four the computer has in mind, the way a person would start the
// handheld's side.
//
// Once the computer has opened the line at 115200 bit/s and stayed silent for
// `helloDelay`, the handheld takes it for a backup and sends its hello 08.
// When the computer answers 03 it announces the flash its user chose, once,
// as a real handheld does: 05 for NOR, AA for NAND. Offering both, it guesses
// instead, one announcement and then the other every `offerPeriod` until the
// computer switches its speed and answers 06. The computer drops an
// announcement it does not wait for, but one that comes after the one it
// took (it took longer than `offerPeriod` to switch, as on a loaded machine)
// stands in its input before the first frame and spoils it; the guess is
// for trying things by hand. A computer that sends 08 itself wants a
// repair (normal mode); one that sends 05 or AA without 08 wants a low-speed
// repair. Repairs are written into the emulated flash.
//
// Faults given in the settings apply to the first attempt of every opening of
// the line; a restart after the computer returned to 115200 bit/s is clean.
// With `resume` a NAND backup started again, after a restart or in a later
// opening, begins at the first block the computer had not confirmed in full
// (see BackupSender), until one has sent its end frame.
class SimulatedHandheld final : public HandheldDevice {
 public:
  struct Settings {
    long transferSpeed = kModels[0].speed;  // the model's ModelSpeed
    bool autoBackup = true;       // send the hello by itself (else only on StartBackup)
    bool offerNor = true;         // the flash a backup sends (both: guessed, see above)
    bool offerNand = true;
    bool resume = false;          // NAND backups start again where the last one broke
    std::chrono::milliseconds helloDelay{300};
    std::chrono::milliseconds offerPeriod{200};
    BackupSender::Faults backupFaults;
    RepairReceiver::Faults repairFaults;
  };

  SimulatedHandheld(EmulatedFlash& flash, Settings settings);
  ~SimulatedHandheld() override;

  // The computer's speed read afresh (the line's settings); without it the
  // handheld goes by the speeds it was told of.
  std::function<long()> computerSpeed;
  // Short notes of what happens: "backup nand", "frame 12", "format", "closed".
  std::function<void(const std::string&)> onEvent;

  // The user starts the backup sending side now (the hello goes out at once).
  void StartBackup(HandheldLine& line);
  // The speed the handheld listens at now.
  long ListeningSpeed() const;
  // Writes what the repair receivers hold into the emulated flash.
  void Sync();

  void OnByte(HandheldLine& line, std::uint8_t byte, long speed) override;
  void OnSpeed(HandheldLine& line, long speed) override;
  void OnIdle(HandheldLine& line) override;
  void OnOpen(HandheldLine& line) override;
  void OnClose(HandheldLine& line) override;

 private:
  enum class Role { Closed, Undecided, HelloSent, Offering, Backup, Silent, RepairConnecting, Repair };
  using Clock = std::chrono::steady_clock;

  EmulatedFlash& flash_;
  Settings settings_;
  Role role_ = Role::Closed;
  long speed_ = 0;
  Clock::time_point since_{};
  bool helloSent_ = false;       // a hello of ours may still wait in the computer's input
  bool swallowNextRequest_ = false;
  bool offeredNand_ = false;     // the last offer
  bool faultsUsed_ = false;      // the first attempt of this opening has begun
  int lastFrame_ = -1;
  int resumeBlock_ = 0;          // the block of the flash a NAND backup with `resume` starts at
  std::unique_ptr<BackupSender> sender_;
  std::unique_ptr<RepairReceiver> norReceiver_, nandReceiver_;
  RepairReceiver* receiver_ = nullptr;  // the repair under way

  long Speed() const;
  void Note(const std::string& text) const;
  void SendHello(HandheldLine& line);
  void Offer(HandheldLine& line);
  void BeginBackup(HandheldLine& line, bool nand, std::uint8_t goAhead, long speed);
  void BeginRepair(bool nand);
  // The sending side stops (a restart, the line closed): remember where it got to.
  void EndBackup();
  void ReportFrames();
};
