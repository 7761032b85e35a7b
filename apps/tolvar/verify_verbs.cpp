// The verbs that compare: verify-nor and verify-nand read the handheld back
// against an image file, compare does the same between two image files. All
// print one line per differing page or block, then a summary.
#include <iostream>

#include "backup/verification.h"
#include "command_line.h"
#include "common/interruption.h"
#include "repair/repair_checks.h"

namespace {

const char kFileError[] = "文件错误!";

void Print(Host& host, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) host.ShowMessage(line);
}

ImageComparison::OnDifference PrintDifferences(Host& host, ImageLayout layout) {
  return [&host, layout](const UnitDifference& d) { host.ShowMessage(DescribeDifference(layout, d)); };
}

int Verdict(const ComparisonSummary& summary) { return summary.Identical() ? kExitSuccess : kExitFailure; }

// The pages or blocks of `file` that the verification looks at; nothing
// (after the message) when --pages chooses none of the file's pages or
// --blocks does not fit the file.
std::optional<ImageComparison::InScope> Scope(const Arguments& args, const ImageFile& file, Host& host) {
  const ImageExtent extent = file.extent;
  if (extent.layout == ImageLayout::Nor) {
    NorRepairOptions pages = args.pages;
    if (!args.somePages) pages.page00 = pages.page01 = pages.pagesFrom02 = true;
    const ImageComparison::InScope scope = [extent, pages](int page) { return extent.Holds(page) && pages.Sends(page); };
    for (int page = extent.start; page < extent.start + extent.units; ++page)
      if (scope(page)) return scope;
    host.ShowMessage("--pages: 所选的页都不在文件中 (" + DescribeExtent(extent) + ")");
    return std::nullopt;
  }
  // The blocks that repair-nand --blocks FIRST-LAST writes, checked as it checks them.
  const NandRange range = CheckNandRange(!args.someBlocks, args.firstBlock, args.lastBlock, extent.units);
  if (!range.accepted) {
    host.ShowMessage(range.message);
    return std::nullopt;
  }
  const int first = extent.start + range.firstBlock - 1, last = extent.start + range.lastBlock - 1;
  return [first, last](int block) { return block >= first && block <= last; };
}

int RunVerify(const Arguments& args, ImageLayout layout) {
  const auto session = OpenSession(args);
  ConsoleHost& host = session->host;
  std::string problem;
  const std::optional<ImageFile> file = OpenImageFile(args.file, problem, layout);
  if (!file) return RefuseImage(host, kFileError, problem);
  std::optional<ImageComparison::InScope> scope = Scope(args, *file, host);
  if (!scope) return kExitUsage;

  host.ShowMessage("文件: " + args.file + ": " + DescribeExtent(file->extent));
  ImageComparison comparison(*file, std::move(*scope), PrintDifferences(host, layout));
  const BackupEnding ending =
      layout == ImageLayout::Nor ? VerifyNor(session->m, comparison) : VerifyNand(session->m, comparison);
  if (ending == BackupEnding::Cancel || Interrupted()) host.ShowMessage("已取消: 比较没有完成.");
  if (ending != BackupEnding::Success) return kExitFailure;
  const ComparisonSummary& summary = comparison.summary();
  host.ShowMessage("文曲星: " + DescribeExtent(summary.second));
  Print(host, DescribeSummary(layout, summary, "文件", "文曲星"));
  return Verdict(summary);
}

}  // namespace

int VerifyNorVerb(const Arguments& args) { return RunVerify(args, ImageLayout::Nor); }
int VerifyNandVerb(const Arguments& args) { return RunVerify(args, ImageLayout::Nand); }

int CompareVerb(const Arguments& args) {
  ConsoleHost host(true, "NC3000");
  std::string problem;
  const std::optional<ImagePair> pair = OpenImagePair(args.file, args.otherFile, problem);
  if (!pair) return RefuseImage(host, kFileError, problem);
  const ImageFile &a = pair->a, &b = pair->b;
  host.ShowMessage("A: " + a.path + ": " + DescribeExtent(a.extent));
  host.ShowMessage("B: " + b.path + ": " + DescribeExtent(b.extent));
  const ImageLayout layout = a.extent.layout;
  ImageComparison comparison(a, nullptr, PrintDifferences(host, layout));
  if (!CompareImageFiles(comparison, b, problem)) return RefuseImage(host, "无法读取文件", problem);
  Print(host, DescribeSummary(layout, comparison.summary(), "A", "B"));
  return Verdict(comparison.summary());
}
