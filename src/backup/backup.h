#pragma once
#include "link/module1.h"

struct ImageFile;

// How a backup ended. The window learns nothing from it (everything was said
// in message boxes); the command line turns it into its exit status.
enum class BackupEnding {
  Success,
  Cancel,
  TimeoutBeforeFile,  // no hello, the user declined to start again
  Timeout,            // silence during the frames, the user declined to start again
  Error,              // a check failed, the user declined to start again
  SpeedError,         // the port refused the model's speed
  PortFailed,         // the port could not be opened (also again, after it was lost)
  PortLost,           // the port's device went away, the user declined to start again
  TargetRefused,      // ImagePath is no file we may write (a folder, a device, no such folder...)
  ReplaceFailed,      // all frames arrived but the chosen file could not be replaced
};

// The NOR and NAND backups with the main window locked: open the port, run
// the transfer, close the port, restore the window. ImagePath and ComPort must
// be set; ImagePath is checked first (see CheckTarget). Answering Yes to a restart question starts over inside.
BackupEnding SaveNor(Module1& m);
BackupEnding SaveNand(Module1& m);
// SaveNand starting with the blocks of the NAND image `partial` kept, as if
// an earlier attempt had received them: a handheld that starts at the block
// after them continues them (see SavedImage). `partial` is only read.
BackupEnding ContinueNand(Module1& m, const ImageFile& partial);

// The transfers alone (the port is open).
BackupEnding ReceiveNorImage(Module1& m);
BackupEnding ReceiveNandImage(Module1& m);
