#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/binary_file.h"
#include "common/image_layout.h"

// Two images of the handheld's flash compared page by page (NOR) or block by
// block by logical block number (NAND): the first is a file, the second comes
// in order, from the handheld during a verification or from another file.

// The pages or blocks an image holds: page 0 on for NOR, the starting logical
// block number on for NAND. A partial last one counts.
struct ImageExtent {
  ImageLayout layout = ImageLayout::Nor;
  int start = 0;
  int units = 0;
  bool Holds(int number) const { return number >= start && number < start + units; }
};

// An image file: NOR, a whole number of 256-byte frames; NAND, whole blocks
// and the 2-byte starting logical block number, low byte first.
struct ImageFile {
  std::string path;
  ImageExtent extent;
  std::uint64_t bodyBytes = 0;  // pages or blocks, without the NAND trailer
};

// Reads what `path` holds, telling the layouts apart by the length (the two
// never share one). Nothing, with `problem` set ("path: reason", the reason
// with the file's length where that is what is wrong), when the file cannot
// be read, has neither layout, holds no page or block, or is not `wanted`
// when that is given.
std::optional<ImageFile> OpenImageFile(const std::string& path, std::string& problem,
                                       std::optional<ImageLayout> wanted = std::nullopt);

// Two image files to compare, each judged on its own first. Of two layouts
// the second file is the wrong one (it must be of the first one's kind),
// unless the first is whole NAND blocks without the trailer and the second a
// NAND image. Nothing, with `problem` naming the file that is wrong, when
// they cannot be compared.
struct ImagePair {
  ImageFile a, b;
};
std::optional<ImagePair> OpenImagePair(const std::string& a, const std::string& b, std::string& problem);

// Where two runs of bytes first differ and how many bytes differ; the bytes
// that only the longer one holds count as differing. Nothing when equal.
struct ByteDifference {
  std::uint64_t firstOffset = 0;
  std::uint64_t count = 0;
};
std::optional<ByteDifference> CompareBytes(const std::uint8_t* a, std::size_t aCount, const std::uint8_t* b,
                                           std::size_t bCount);

// A page or block that both images hold with different bytes.
struct UnitDifference {
  int number = 0;    // NOR page; NAND logical block number
  int fileUnit = 0;  // its place in the first image, from 1
  ByteDifference bytes;
};

struct ComparisonSummary {
  int compared = 0;      // held by both and in scope
  int differing = 0;
  int onlyInFirst = 0;   // in scope, missing from the second image
  int onlyInSecond = 0;  // in scope, missing from the first image
  int notCompared = 0;   // held by either, outside the scope
  ImageExtent second;    // what the second image held
  // Something was compared, and nothing in scope differs or is missing.
  bool Identical() const { return compared > 0 && differing == 0 && onlyInFirst == 0 && onlyInSecond == 0; }
};

class ImageComparison {
 public:
  using InScope = std::function<bool(int number)>;
  using OnDifference = std::function<void(const UnitDifference&)>;

  // Compares against `first`, over the units `inScope` accepts (all when
  // empty); every differing unit goes to `onDifference` as soon as it is known.
  ImageComparison(ImageFile first, InScope inScope, OnDifference onDifference);

  // The second image begins afresh; `start` is its first unit's number (for
  // NAND, its starting logical block number).
  void Restart(int start);
  // The second image's next bytes, in order. False when the first image could
  // not be read (Problem says why).
  bool Add(const std::uint8_t* bytes, std::size_t count);
  // The second image is complete: its partial last unit is compared and the
  // units it lacks are counted.
  bool Finish();

  const ComparisonSummary& summary() const { return summary_; }
  const ImageFile& first() const { return first_; }
  std::string Problem() const { return first_.path + ": " + file_.Error(); }

 private:
  bool CompareUnit();
  bool ReadFirstUnit(int number, std::vector<std::uint8_t>& into);

  ImageFile first_;
  InScope inScope_;
  OnDifference onDifference_;
  BinaryFile file_;
  std::uint64_t unitSize_;
  std::vector<std::uint8_t> unit_, firstUnit_;  // the unit arriving; the first image's same unit
  ComparisonSummary summary_;
};

// Compares two image files of one layout: B's units are fed as they lie in B.
bool CompareImageFiles(ImageComparison& comparison, const ImageFile& b, std::string& problem);

// What the lines say: an image's extent ("Nand映像, 4块, 逻辑块2h-5h"), a
// differing unit, and the summary with the two images' names.
std::string DescribeExtent(const ImageExtent& extent);
std::string DescribeDifference(ImageLayout layout, const UnitDifference& difference);
std::vector<std::string> DescribeSummary(ImageLayout layout, const ComparisonSummary& summary,
                                         const std::string& firstName, const std::string& secondName);
