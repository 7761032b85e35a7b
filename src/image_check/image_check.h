#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/image_layout.h"
#include "image_check/nand_check.h"
#include "image_check/nor_values.h"

// What an image file's own check values say about it: a NOR image's CRC and
// NorCheckSum, a NAND image's spare areas and block sums (nand_check.h).
// `tolvar check` prints it all; a backup ends with its verdict.

// The pages of a NAND image by what the check made of them, and its blocks.
struct NandTally {
  std::uint64_t blocks = 0, pages = 0, clean = 0, erased = 0, dataBit = 0, eccBit = 0, damaged = 0, unchecked = 0;
  std::uint64_t sumWrong = 0;  // blocks whose sum is wrong even with their single-bit errors put right
  void Add(const nand::BlockCheck& check);
};

struct ImageCheck {
  std::string path;
  std::string problem;  // why nothing was checked (the file cannot be read, is no image, or holds nothing to
                        // check: a NOR image without its check values); the rest is unset
  ImageLayout layout = ImageLayout::Nor;
  std::uint64_t length = 0;
  // NOR: the check values.
  std::optional<NorValues> nor;
  // NAND: the starting logical block number, the tally, and one line for each
  // of the first pages and blocks that are not sound, the rest counted.
  unsigned start = 0;
  NandTally nand;
  std::vector<std::string> listed;
  std::uint64_t unlisted = 0;

  // The things that are not sound, as the verdict names them; none for a
  // sound image. The pages of logical block 1 are neither: the verdict says
  // they were not checked.
  std::vector<std::string> Problems() const;
  bool Sound() const { return problem.empty() && Problems().empty(); }
};

// Lines listed before "另有 N 处未列出".
inline constexpr std::size_t kListedLines = 20;

// Reads and checks the image at `path`, a NOR or a NAND image by its length.
ImageCheck CheckImageFile(const std::string& path);

// What `tolvar check` prints of an image it could check (no `problem`): the
// file, its pages or blocks, each value or each page that is not sound, the
// totals and the verdict.
std::vector<std::string> DescribeCheck(const ImageCheck& check);
// One line: "检查: 全部正确", or what is not sound; "(逻辑块1没有校验数据, 未检查)"
// after it where the image holds logical block 1.
std::string Verdict(const ImageCheck& check);
// For an image that is not sound: what, and what to do about it.
std::string VerdictAdvice(const ImageCheck& check);
