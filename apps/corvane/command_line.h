#pragma once
#include <ostream>
#include <string>
#include <vector>

// Corvane without its window:
//   corvane nand2data [--force] SRC DST
//   corvane data2nand --start HEX [--version M.N] [--force] SRC DST
//   corvane verify IMAGE
//   corvane verify --repair [--force] IMAGE OUT
// The checks and messages are the window's; the messages go to `out`.
// Returns the exit status: 0 after "转换成功!" (verify: the image is clean;
// verify --repair: so is the image, and the copy is the same), 1 for a
// refusal, a failure or a difference left, 2 for a usage error (explained on
// `err`), kExitCorrected for verify --repair when bits were corrected in the
// copy and nothing is left: like fsck's "errors corrected", it tells the
// copy apart from a clean read, for no check can prove a correction right.
inline constexpr int kExitCorrected = 3;
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
