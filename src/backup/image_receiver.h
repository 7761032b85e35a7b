#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup.h"

// What tells the two backups apart; everything else they do alike.
struct BackupFlavor {
  std::uint8_t announcement;  // 05 for NOR frames, AA for NAND pages
  std::size_t payloadSize;    // 256 or 528
  int framesPerBar;           // 128 frames per NOR page, 32 pages per NAND block
  const char* successMessage;
  bool nand;                  // NAND: first block number kept, trailer appended
};

extern const BackupFlavor kNorBackup;
extern const BackupFlavor kNandBackup;

// Where the frames of a backup go: into a file (the backups) or against one
// (the verifications). Every attempt starts it afresh, unless it continues
// blocks the sink kept (see Restart).
class ImageSink {
 public:
  virtual ~ImageSink() = default;
  // The hello was answered: an attempt's frames begin. False when they
  // cannot; Problem() says why.
  virtual bool Begin() = 0;
  // NAND: the block number f of this attempt's first data frame. False when
  // the image cannot go on, as for Add.
  virtual bool FirstBlock(unsigned /*f*/) { return true; }
  // The whole blocks kept from earlier attempts that this attempt continues
  // (known once FirstBlock was told; 0 when it started afresh).
  virtual int KeptBlocks() const { return 0; }
  // NAND: the whole blocks the image holds now, kept ones that the handheld
  // sends again included.
  virtual int HeldBlocks() const { return 0; }
  // A data frame's payload whose check byte agreed. False when it could not be taken.
  virtual bool Add(const std::uint8_t* bytes, std::size_t count) = 0;
  // The end frame arrived. Says what the user is to hear and gives the
  // ending; nothing when the image could not be completed, which ends the
  // attempt as a failed Add does. A sink that replaces a file asks
  // `stillWanted` at the last moment before it does, and takes the cancel
  // ending when the user or an interruption called the backup off by then.
  virtual std::optional<BackupEnding> Complete(Host& host, const std::function<bool()>& stillWanted) = 0;
  // NAND: what a question whether to start again adds on a line of its own:
  // the logical blocks the next attempt may continue and the block the
  // handheld must start at for that. Empty when there are none.
  virtual std::string KeptLine() const { return {}; }
  // The attempt ended and the user asked for another: keep what the next
  // attempt may continue. By default nothing is kept.
  virtual void Restart() { Discard(); }
  // The backup ended without success, and without a cancel of the user's
  // own: keep what may be kept and tell the user where. By default nothing
  // is kept.
  virtual void Abandon(Host& /*host*/) { Discard(); }
  // What the user is to hear besides the ending's own message, such as
  // blocks set apart in an image of their own when the handheld started
  // elsewhere. The status line shows the last one while the backup runs.
  virtual std::vector<std::string> Notes() const { return {}; }
  // The image of their own that whole blocks of this backup were saved in.
  virtual std::string SavedApart() const { return {}; }
  // Cancelled: forget everything.
  virtual void Discard() = 0;
  // Why Begin or Add failed, as a message shows it.
  virtual std::string Problem() const = 0;
};

// Receives one image from the handheld into `sink`, with every restart the
// user asks for. The port is open.
BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor, ImageSink& sink);
// The same into the file ImagePath.
BackupEnding ReceiveImage(Module1& m, const BackupFlavor& flavor);
// ReceiveImage into `sink` with the main window locked: opens the port,
// receives, closes the port and restores the window.
BackupEnding ReceiveLocked(Module1& m, const BackupFlavor& flavor, ImageSink& sink);
