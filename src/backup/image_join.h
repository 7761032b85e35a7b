#pragma once
#include <string>
#include <vector>

#include "backup/image_comparison.h"

// NAND images joined into one, such as the kept blocks of a backup that broke
// off and a backup that went on from the block after them. Their logical
// block ranges must follow on or overlap, in any order; a block that more
// than one holds must be the same in each. The output is written as every
// output is (a temporary file beside it, flushed, renamed over it) and is
// never one of the inputs.
struct JoinedImage {
  std::string problem;  // why nothing was written; empty on success
  ImageExtent extent;   // what the output holds
};

JoinedImage JoinNandImages(std::vector<ImageFile> inputs, const std::string& output);
