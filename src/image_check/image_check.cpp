#include "image_check/image_check.h"

#include "common/binary_file.h"
#include "common/file_exists.h"
#include "common/hex_text.h"
#include "common/length_reason.h"

namespace {

const char* const kNorPagesRule = "应为6到256个整页(每页32768字节)";

std::string Count(std::uint64_t count, const char* unit) { return " " + std::to_string(count) + unit; }

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

bool WholeNorPages(std::uint64_t length) {
  return length % nor::kPageSize == 0 && length >= nor::kMinimumPages * nor::kPageSize &&
         length <= nor::kMaximumPages * nor::kPageSize;
}

// A NOR image that holds its check values and is no longer than a NOR flash;
// any other holds nothing to check.
bool HoldsNorValues(std::uint64_t length) {
  return length >= nor::kCheckSumOffset + 2 && length <= nor::kMaximumPages * nor::kPageSize;
}

std::optional<NorValues> ReadNorValues(const std::string& path, std::uint64_t length, std::string& problem) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  BinaryFile file;
  if (!file.OpenForReading(path) || !file.Read(bytes.data(), bytes.size())) {
    problem = file.Error();
    return std::nullopt;
  }
  return ComputeNorValues(bytes.data(), bytes.size());
}

// Checks every block; lists the first pages and blocks that are not sound.
void CheckNandBlocks(const std::string& path, ImageCheck& check) {
  std::string error;
  const std::optional<nand::ImageShape> shape = nand::ReadImageShape(path, check.length, error);
  BinaryFile file;
  if (!shape || !file.OpenForReading(path)) {
    check.problem = shape ? file.Error() : error;
    return;
  }
  check.start = shape->start;
  const auto list = [&check](const std::string& line) {
    if (check.listed.size() < kListedLines)
      check.listed.push_back(line);
    else
      ++check.unlisted;
  };
  const auto onBlock = [&](std::uint8_t*, const nand::BlockCheck& block) {
    check.nand.Add(block);
    const std::string where = "逻辑块" + HexNoZeros(block.logicalBlock) + "h";
    std::uint64_t unchecked = 0;
    for (int p = 0; p < nand::kPagesPerBlock; ++p) {
      const nand::PageVerdict& v = block.pages[p];
      unchecked += v.kind == nand::PageVerdict::Unchecked;
      if (v.kind == nand::PageVerdict::DataBit || v.kind == nand::PageVerdict::EccBit ||
          v.kind == nand::PageVerdict::Damaged)
        list(where + " 第" + std::to_string(p + 1) + "页: " + nand::DescribeVerdict(v));
    }
    // The pages of logical block 1 in one line: there is nothing to say of each.
    if (unchecked > 0) list(where + ":" + Count(unchecked, "页") + "未检查 (" + nand::kNoCheckData + ")");
    if (block.sumWrong) list(where + ": 块校验和不符");
    return true;
  };
  if (nand::CheckBlocks(file, *shape->blocks, shape->start, onBlock) == nand::BlockScan::ReadFailed)
    check.problem = file.Error();
}

// What the check found, as the verdict says it after "检查: ".
std::string Findings(const ImageCheck& check) {
  if (!check.problem.empty()) return "无法检查 (" + check.problem + ")";
  const std::vector<std::string> problems = check.Problems();
  return problems.empty() ? "全部正确" : Joined(problems);
}

std::string ValueLine(const char* name, std::uint16_t stored, std::uint16_t computed) {
  return ValuesText(name, stored, computed) + (stored == computed ? ", 正确" : ", 不符");
}

}  // namespace

void NandTally::Add(const nand::BlockCheck& check) {
  ++blocks;
  sumWrong += check.sumWrong;
  for (const nand::PageVerdict& page : check.pages) {
    ++pages;
    switch (page.kind) {
      case nand::PageVerdict::Clean: ++clean; break;
      case nand::PageVerdict::Erased: ++erased; break;
      case nand::PageVerdict::DataBit: ++dataBit; break;
      case nand::PageVerdict::EccBit: ++eccBit; break;
      case nand::PageVerdict::Damaged: ++damaged; break;
      case nand::PageVerdict::Unchecked: ++unchecked; break;
    }
  }
}

std::vector<std::string> ImageCheck::Problems() const {
  std::vector<std::string> problems;
  if (layout == ImageLayout::Nor) {
    if (!WholeNorPages(length)) problems.push_back("不是6到256个整页");
    if (nor && nor->storedCrc != nor->crc) problems.push_back("CRC不符");
    if (nor && nor->storedSum != nor->sum) problems.push_back("NorCheckSum不符");
    return problems;
  }
  if (!nand::BlocksInRange(start, nand.blocks))
    problems.push_back("逻辑块号超出1h-" + HexNoZeros(nand::kLastBlockNumber) + "h");
  if (nand.dataBit) problems.push_back("可纠正的单位数据错误" + Count(nand.dataBit, "页"));
  if (nand.eccBit) problems.push_back("仅ECC字节有误" + Count(nand.eccBit, "页"));
  if (nand.damaged) problems.push_back("损坏" + Count(nand.damaged, "页"));
  if (nand.sumWrong) problems.push_back("块校验和不符" + Count(nand.sumWrong, "块"));
  return problems;
}

ImageCheck CheckImageFile(const std::string& path) {
  ImageCheck check;
  check.path = path;
  check.problem = UnreadableReason(path);
  if (check.problem.empty() && !SizeOfFile(path, check.length)) check.problem = "无法取得文件长度";
  if (!check.problem.empty()) return check;
  check.layout = LayoutOfLength(check.length).value_or(ImageLayout::Nor);
  check.problem = ImageLengthProblem(check.length);
  if (!check.problem.empty()) return check;
  if (check.layout == ImageLayout::Nand)
    CheckNandBlocks(path, check);
  else if (HoldsNorValues(check.length))
    check.nor = ReadNorValues(path, check.length, check.problem);
  else
    check.problem = LengthReason(check.length, kNorPagesRule);
  return check;
}

std::vector<std::string> DescribeCheck(const ImageCheck& check) {
  const std::string file = "文件: " + check.path + ": ";
  std::vector<std::string> lines;
  if (check.layout == ImageLayout::Nor) {
    const std::uint64_t pages = (check.length + nor::kPageSize - 1) / nor::kPageSize;
    lines.push_back(file + "Nor映像," + Count(pages, "页"));
    if (!WholeNorPages(check.length)) lines.push_back(LengthReason(check.length, kNorPagesRule));
    lines.push_back(ValueLine("CRC (0x1FFF0)", check.nor->storedCrc, check.nor->crc));
    lines.push_back(ValueLine("NorCheckSum (0x1FFFE)", check.nor->storedSum, check.nor->sum));
  } else {
    const NandTally& t = check.nand;
    lines.push_back(file + "Nand映像," + Count(t.blocks, "块") + ", " + nand::DescribeLogicalBlocks(check.start, t.blocks));
    lines.insert(lines.end(), check.listed.begin(), check.listed.end());
    if (check.unlisted > 0) lines.push_back("另有" + Count(check.unlisted, "处未列出"));
    for (const auto& [name, count] : {std::pair{"检查页数", t.pages}, {"无误页数", t.clean}, {"已擦除页数", t.erased}})
      lines.push_back(std::string(name) + ": " + std::to_string(count));
    lines.push_back(nand::UncheckedPagesLine(t.unchecked));
    for (const auto& [name, count] : {std::pair{"可纠正的单位数据错误页数", t.dataBit}, {"仅ECC字节有误页数", t.eccBit},
                                      {"损坏页数", t.damaged}, {"块校验和不符块数", t.sumWrong}})
      lines.push_back(std::string(name) + ": " + std::to_string(count));
  }
  lines.push_back(Verdict(check));
  return lines;
}

std::string Verdict(const ImageCheck& check) {
  const std::string note = check.nand.unchecked > 0 ? std::string(" (") + nand::kNoCheckData + ", 未检查)" : "";
  return "检查: " + Findings(check) + note;
}

std::string VerdictAdvice(const ImageCheck& check) {
  const bool nor = check.layout == ImageLayout::Nor;
  const std::string advice = "检查发现映像有问题: " + Findings(check) + ".\r\n请再读一次文曲星并与映像比较 (tolvar " +
                             (nor ? "verify-nor)" : "verify-nand)");
  if (check.nor) return advice + "; 校验值可以用 tolvar fix-nor-checks 校正.";
  // Only bits of the data are put right in Corvane's copy.
  if (check.nand.dataBit == 0) return advice + ".";
  if (check.nand.damaged == 0 && check.nand.sumWrong == 0) return advice + ", 或用 corvane verify --repair 写出纠正后的副本.";
  return advice + "; 一位的错误可以用 corvane verify --repair 在副本中纠正, 损坏的页和块校验和不能这样纠正.";
}
