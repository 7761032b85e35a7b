#pragma once

// How a repair ended. The window learns nothing from it (everything was said
// in message boxes); the command line turns it into its exit status.
enum class RepairEnding {
  Success,
  Cancel,       // the user confirmed cancelling
  Timeout,      // a wait ran out of ticks and the user declined to start again
  CheckError,   // the handheld answered 0x15
  SpeedError,   // the port refused the model's speed
  FileError,    // the image was no longer a repairable file, or could not be read
  NotWritable,  // the NOR check values could not be corrected in the image
  PortFailed,   // the port could not be opened
};
