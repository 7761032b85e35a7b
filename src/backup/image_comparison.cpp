#include "backup/image_comparison.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/length_reason.h"
#include "common/system_reason.h"

namespace {

const char* UnitWord(ImageLayout layout) { return layout == ImageLayout::Nor ? "页" : "块"; }
const char* LayoutName(ImageLayout layout) { return layout == ImageLayout::Nor ? "Nor映像" : "Nand映像"; }

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llXh", static_cast<unsigned long long>(value));
  return text;
}

std::string NorPage(int page) {
  char text[16];
  std::snprintf(text, sizeof text, "$%02X", static_cast<unsigned>(page));
  return text;
}

// Why a file of `length` bytes and `layout` is no image to compare, or no
// image of the `wanted` layout; empty when it is one.
std::string LayoutProblem(std::uint64_t length, std::optional<ImageLayout> layout, std::optional<ImageLayout> wanted) {
  if (std::string problem = ImageLengthProblem(length); !problem.empty()) return problem;
  if (!wanted || *wanted == *layout) return {};
  // Whole blocks without the trailer: a NAND image that lost its last 2 bytes.
  if (*wanted == ImageLayout::Nand && length % nand::kBlockSize == 0)
    return LengthReason(length, WholeBlocksRule(nand::kBlockSize, nand::kTrailerSize));
  return LengthReason(length, std::string("这是一个") + LayoutName(*layout) + ",不是" + LayoutName(*wanted));
}

}  // namespace

std::optional<ImageFile> OpenImageFile(const std::string& path, std::string& problem,
                                       std::optional<ImageLayout> wanted) {
  const auto refused = [&](const std::string& reason) {
    problem = path + ": " + reason;
    return std::nullopt;
  };
  if (const std::string reason = UnreadableReason(path); !reason.empty()) return refused(reason);
  std::error_code error;
  const std::uint64_t length = std::filesystem::file_size(PathFromUtf8(path), error);
  if (error) return refused(ErrorCodeReason(error));
  const std::optional<ImageLayout> layout = LayoutOfLength(length);
  if (const std::string reason = LayoutProblem(length, layout, wanted); !reason.empty()) return refused(reason);
  ImageFile image{path, {*layout, 0, 0}, length};
  const std::uint64_t unit = UnitSize(*layout);
  if (*layout == ImageLayout::Nand) {
    std::string reason;
    const std::optional<nand::ImageShape> shape = nand::ReadImageShape(path, length, reason);
    if (!shape) return refused(reason);
    image.bodyBytes = length - nand::kTrailerSize;
    image.extent.start = static_cast<int>(shape->start);
  }
  image.extent.units = static_cast<int>((image.bodyBytes + unit - 1) / unit);
  return image;
}

std::optional<ImagePair> OpenImagePair(const std::string& a, const std::string& b, std::string& problem) {
  std::optional<ImageFile> first = OpenImageFile(a, problem);
  if (!first) return std::nullopt;
  std::optional<ImageFile> second = OpenImageFile(b, problem);
  if (!second) return std::nullopt;
  const ImageLayout layout = first->extent.layout;
  if (second->extent.layout == layout) return ImagePair{std::move(*first), std::move(*second)};
  // B must be of A's kind, unless A is whole NAND blocks without the trailer
  // and B a NAND image: then A is the one that lost something.
  const bool aLostTrailer = layout == ImageLayout::Nor && first->bodyBytes % nand::kBlockSize == 0;
  if (aLostTrailer)
    OpenImageFile(a, problem, ImageLayout::Nand);
  else
    OpenImageFile(b, problem, layout);
  return std::nullopt;
}

std::optional<ByteDifference> CompareBytes(const std::uint8_t* a, std::size_t aCount, const std::uint8_t* b,
                                           std::size_t bCount) {
  const std::size_t common = std::min(aCount, bCount);
  ByteDifference difference{common, std::max(aCount, bCount) - common};
  const std::uint8_t* at = std::mismatch(a, a + common, b).first;
  if (at == a + common && difference.count == 0) return std::nullopt;
  difference.firstOffset = static_cast<std::uint64_t>(at - a);
  for (std::size_t i = difference.firstOffset; i < common; ++i) difference.count += a[i] != b[i];
  return difference;
}

ImageComparison::ImageComparison(ImageFile first, InScope inScope, OnDifference onDifference)
    : first_(std::move(first)),
      inScope_(std::move(inScope)),
      onDifference_(std::move(onDifference)),
      unitSize_(UnitSize(first_.extent.layout)) {
  file_.OpenForReading(first_.path);
  unit_.reserve(unitSize_);
  Restart(first_.extent.start);
}

void ImageComparison::Restart(int start) {
  summary_ = {};
  summary_.second = {first_.extent.layout, start, 0};
  unit_.clear();
}

bool ImageComparison::Add(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const std::size_t take = std::min<std::size_t>(count, unitSize_ - unit_.size());
    unit_.insert(unit_.end(), bytes, bytes + take);
    bytes += take;
    count -= take;
    if (unit_.size() == unitSize_ && !CompareUnit()) return false;
  }
  return true;
}

bool ImageComparison::ReadFirstUnit(int number, std::vector<std::uint8_t>& into) {
  const std::uint64_t offset = static_cast<std::uint64_t>(number - first_.extent.start) * unitSize_;
  into.resize(static_cast<std::size_t>(std::min(unitSize_, first_.bodyBytes - offset)));
  return file_.IsOpen() && file_.SeekTo(offset) && file_.Read(into.data(), into.size());
}

// The unit that just arrived, against the first image's.
bool ImageComparison::CompareUnit() {
  const int number = summary_.second.start + summary_.second.units++;
  if (inScope_ && !inScope_(number)) {
    ++summary_.notCompared;
  } else if (!first_.extent.Holds(number)) {
    ++summary_.onlyInSecond;
  } else {
    if (!ReadFirstUnit(number, firstUnit_)) return false;
    ++summary_.compared;
    if (const auto bytes = CompareBytes(firstUnit_.data(), firstUnit_.size(), unit_.data(), unit_.size())) {
      ++summary_.differing;
      if (onDifference_) onDifference_({number, number - first_.extent.start + 1, *bytes});
    }
  }
  unit_.clear();
  return true;
}

bool ImageComparison::Finish() {
  if (!unit_.empty() && !CompareUnit()) return false;
  const ImageExtent& first = first_.extent;
  for (int number = first.start; number < first.start + first.units; ++number) {
    if (summary_.second.Holds(number)) continue;
    ++(inScope_ && !inScope_(number) ? summary_.notCompared : summary_.onlyInFirst);
  }
  return true;
}

bool CompareImageFiles(ImageComparison& comparison, const ImageFile& b, std::string& problem) {
  BinaryFile file;
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(UnitSize(b.extent.layout)));
  comparison.Restart(b.extent.start);
  if (!file.OpenForReading(b.path)) {
    problem = b.path + ": " + file.Error();
    return false;
  }
  for (std::uint64_t offset = 0; offset < b.bodyBytes; offset += chunk.size()) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), b.bodyBytes - offset));
    if (!file.Read(chunk.data(), count)) {
      problem = b.path + ": " + file.Error();
      return false;
    }
    if (!comparison.Add(chunk.data(), count)) {
      problem = comparison.Problem();
      return false;
    }
  }
  if (comparison.Finish()) return true;
  problem = comparison.Problem();
  return false;
}

std::string DescribeExtent(const ImageExtent& e) {
  std::string text = std::string(LayoutName(e.layout)) + ", " + std::to_string(e.units) + UnitWord(e.layout);
  const int last = e.start + e.units - 1;
  if (e.layout == ImageLayout::Nor) return e.units > 0 ? text + " (" + NorPage(0) + "-" + NorPage(last) + ")" : text;
  if (e.units == 0) return text + ", 开始逻辑块" + HexNoZeros(static_cast<unsigned>(e.start)) + "h";
  return text + ", " + nand::DescribeLogicalBlocks(static_cast<unsigned>(e.start), static_cast<std::uint64_t>(e.units));
}

std::string DescribeDifference(ImageLayout layout, const UnitDifference& d) {
  const std::string counts = ", 不同字节数 " + std::to_string(d.bytes.count);
  if (layout == ImageLayout::Nor)
    return "第" + NorPage(d.number) + "页: 首个不同字节在页内偏移 " + Hex(d.bytes.firstOffset) + counts;
  const std::uint64_t page = d.bytes.firstOffset / nand::kPageSize + 1;
  return "第" + std::to_string(d.fileUnit) + "块(逻辑块" + HexNoZeros(static_cast<unsigned>(d.number)) +
         "h): 首个不同字节在块内偏移 " + Hex(d.bytes.firstOffset) + " (第" + std::to_string(page) + "页)" + counts;
}

std::vector<std::string> DescribeSummary(ImageLayout layout, const ComparisonSummary& s, const std::string& firstName,
                                         const std::string& secondName) {
  const std::string unit = std::string(UnitWord(layout)) + "数: ";
  std::vector<std::string> lines = {
      "比较的" + unit + std::to_string(s.compared),
      "不同的" + unit + std::to_string(s.differing),
      "只在" + firstName + "中的" + unit + std::to_string(s.onlyInFirst),
      "只在" + secondName + "中的" + unit + std::to_string(s.onlyInSecond),
  };
  if (s.notCompared > 0) lines.push_back("未比较的" + unit + std::to_string(s.notCompared));
  lines.push_back(s.Identical() ? "结果: 相同" : "结果: 不同");
  return lines;
}
