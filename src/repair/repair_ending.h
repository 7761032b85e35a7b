#pragma once
#include <string>

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

// What a NAND repair that ended early adds: the first block the handheld did
// not confirm (Module1::FirstUnconfirmedBlock) and the range to repair next,
// as the repair dialog's boxes take it or as --blocks does.
inline std::string NandRepairNext(int from, int last, bool commandLine) {
  const std::string first = std::to_string(from), end = std::to_string(last);
  return " 第 " + first + " 块起未经文曲星确认, 请再修复" +
         (commandLine ? " --blocks " + first + "-" + end : "第 " + first + " 块到 " + end + " 块") + ".";
}

// The same on the window's status line, short enough to be read there whole.
inline std::string NandRepairStatus(int from, int last) {
  return "文曲星只写入了一部分, 请再修复第 " + std::to_string(from) + " 块到 " + std::to_string(last) + " 块.";
}
