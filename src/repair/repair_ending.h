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
  PortFailed,   // the port could not be opened (also again, after it was lost)
  PortLost,     // the port's device went away and the user declined to try again
};

// What a repair that ended without success says when it had sent the handheld
// part of the image (Module1::HandheldWritten): the handheld holds a mixture
// of old and new data until a repair runs to the end.
inline constexpr const char* kRunRepairAgain = "文曲星只写入了一部分, 必须重新运行修复.";
