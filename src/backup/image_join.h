#pragma once
#include <functional>
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
  std::string problem;     // why nothing was written; empty on success or a cancel
  ImageExtent extent;      // what the output holds
  bool cancelled = false;  // `stillWanted` said no before the output replaced OUT
};

// `stillWanted` is asked before every block written and at the last moment
// before the rename (see TemporaryFile::Commit): false there leaves OUT as it
// was and no temporary file behind.
JoinedImage JoinNandImages(std::vector<ImageFile> inputs, const std::string& output,
                           const std::function<bool()>& stillWanted = {});
