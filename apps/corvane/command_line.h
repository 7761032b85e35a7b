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
// verify --repair: the copy written is clean), 1 for a refusal, a failure or
// a difference left, 2 for a usage error (explained on `err`).
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
