#include "backup/image_join.h"

#include <algorithm>

#include "common/binary_file.h"
#include "common/hex_text.h"
#include "common/target_check.h"
#include "common/temporary_file.h"

namespace {

// The inputs, each open, read block by block at its logical block numbers.
class Sources {
 public:
  explicit Sources(const std::vector<ImageFile>& inputs) : inputs_(inputs), files_(inputs.size()) {}

  // Block `logical` of input `i` into `into`; false with problem() set.
  bool Read(std::size_t i, int logical, std::vector<std::uint8_t>& into) {
    BinaryFile& file = files_[i];
    const std::uint64_t offset = static_cast<std::uint64_t>(logical - inputs_[i].extent.start) * nand::kBlockSize;
    into.resize(nand::kBlockSize);
    if ((file.IsOpen() || file.OpenForReading(inputs_[i].path)) && file.SeekTo(offset) &&
        file.Read(into.data(), into.size()))
      return true;
    problem_ = "无法读取文件 " + inputs_[i].path + ": " + file.Error();
    return false;
  }
  const std::string& problem() const { return problem_; }

 private:
  const std::vector<ImageFile>& inputs_;
  std::vector<BinaryFile> files_;
  std::string problem_;
};

}  // namespace

JoinedImage JoinNandImages(std::vector<ImageFile> inputs, const std::string& output,
                           const std::function<bool()>& stillWanted) {
  for (const ImageFile& input : inputs) {
    if (SameFile(input.path, output)) return {"无法合并: " + output + " 是要合并的文件之一", {}};
    if (input.extent.units == 0) return {"无法合并: " + input.path + " 不含任何块", {}};
  }
  if (inputs.empty()) return {"无法合并: 没有文件", {}};
  const Target target = CheckTarget(output);
  if (!target.problem.empty()) return {target.problem, {}};
  std::stable_sort(inputs.begin(), inputs.end(),
                   [](const ImageFile& a, const ImageFile& b) { return a.extent.start < b.extent.start; });

  // Which input gives each block, from the first one on; the blocks two
  // inputs hold are compared.
  Sources sources(inputs);
  const int first = inputs.front().extent.start;
  std::vector<std::size_t> giver;
  std::vector<std::uint8_t> mine, theirs;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const ImageExtent& extent = inputs[i].extent;
    const int next = first + static_cast<int>(giver.size());
    if (extent.start > next)
      return {"无法合并: 缺少逻辑块 " + BlockRangeHex(static_cast<unsigned>(next), static_cast<unsigned>(extent.start - 1)) +
                  " (" + inputs[giver.back()].path + " 与 " + inputs[i].path + " 之间)",
              {}};
    for (int block = extent.start; block < extent.start + extent.units; ++block) {
      if (block >= next) {
        giver.push_back(i);
        continue;
      }
      const std::size_t other = giver[static_cast<std::size_t>(block - first)];
      if (!sources.Read(i, block, mine) || !sources.Read(other, block, theirs)) return {sources.problem(), {}};
      if (mine != theirs)
        return {"无法合并: 逻辑块 " + BlockHex(static_cast<unsigned>(block)) + " 在 " + inputs[other].path + " 与 " +
                    inputs[i].path + " 中不同",
                {}};
    }
  }

  TemporaryFile temp(target.path);
  bool written = temp.Create();
  for (std::size_t b = 0; written && b < giver.size(); ++b) {
    if (stillWanted && !stillWanted()) return {{}, {}, true};
    if (!sources.Read(giver[b], first + static_cast<int>(b), mine)) return {sources.problem(), {}};
    written = temp.Write(mine.data(), mine.size());
  }
  const auto trailer = nand::TrailerBytes(static_cast<unsigned>(first));
  if (!written || !temp.Write(trailer.data(), trailer.size()) || !temp.Commit(stillWanted))
    return {temp.Withdrawn() ? "" : "无法保存为 " + output + " : " + temp.Error(), {}, temp.Withdrawn()};
  return {"", {ImageLayout::Nand, first, static_cast<int>(giver.size())}};
}
