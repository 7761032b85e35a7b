// The repair verbs: repair-nor, repair-nand and fix-nor-checks. They check
// the image exactly as the repair dialogs do and say the same things.
#include <iostream>

#include "command_line.h"
#include "common/binary_file.h"
#include "common/interruption.h"
#include "repair/nand_repair.h"
#include "repair/nor_check_values.h"
#include "repair/nor_repair.h"
#include "repair/repair_checks.h"

namespace {

void PrintValue(const char* name, const CheckFix& fix) {
  std::cout << ValuesText(name, fix.stored, fix.computed) << (fix.written ? ", 已改写." : ", 无需改写.") << std::endl;
}

// The bytes of both check values as they lie in a NOR image; empty when they
// cannot be read.
std::string StoredCheckBytes(const std::string& path) {
  BinaryFile file;
  char area[nor::kCheckSumOffset + 2 - nor::kCrcOffset];
  if (!file.OpenForReading(path) || !file.SeekTo(nor::kCrcOffset) || !file.Read(area, sizeof area)) return {};
  return {area[0], area[1], area[sizeof area - 2], area[sizeof area - 1]};
}

// The exit status of a repair. One that did not succeed also says what it
// left behind: a handheld partly written must be repaired again; an
// untouched one is said so, and so are the image's check values when the
// repair rewrote them before it ended.
int Ended(ConsoleSession& session, RepairEnding ending, bool checksRewritten = false, const std::string& next = {}) {
  if (ending == RepairEnding::Success) return kExitSuccess;
  std::string line = ending == RepairEnding::Cancel || Interrupted() ? "已取消: " : "";
  if (session.m.HandheldWritten)
    line += kRunRepairAgain + next;
  else
    line += std::string("没有向文曲星写入任何数据") +
            (checksRewritten ? ", 但映像文件中的校验值已经校正 (0x1FFF0-0x1FFF1, 0x1FFFE-0x1FFFF)." : ".");
  session.host.ShowMessage(line);
  return kExitFailure;
}

}  // namespace

int RepairNorVerb(const Arguments& args) {
  NorRepairOptions options = args.pages;
  options.lowSpeed = args.lowSpeed;
  options.format = args.format;
  const auto session = OpenSession(args);
  if (const std::string problem = NorImageProblem(args.file); !problem.empty())
    return RefuseImage(session->host, kFileErrorReselect, args.file + ": " + problem);
  const std::string checksBefore = StoredCheckBytes(args.file);
  const RepairEnding ending = BackNor(session->m, options);
  return Ended(*session, ending, StoredCheckBytes(args.file) != checksBefore);
}

int RepairNandVerb(const Arguments& args) {
  const auto session = OpenSession(args);
  const NandImageCheck check = CheckNandImage(session->m.ImagePath);
  if (!check.accepted) return RefuseImage(session->host, check.message, args.file + ": " + check.reason);
  const NandRange range = CheckNandRange(!args.someBlocks, args.firstBlock, args.lastBlock, check.blocks);
  if (!range.accepted) {
    session->host.ShowMessage(range.message);
    return kExitUsage;
  }
  const NandRepairOptions options{args.lowSpeed, args.format};
  const RepairEnding ending = BackNand(session->m, range.firstBlock, range.lastBlock, check.startLogicalBlock, options);
  return Ended(*session, ending, false, NandRepairNext(session->m.FirstUnconfirmedBlock, range.lastBlock, true));
}

int FixNorChecksVerb(const Arguments& args) {
  const std::string& path = args.file;
  ConsoleHost host(true, "NC3000");
  // The same checks as a repair's, before anything is read.
  if (const std::string problem = NorImageProblem(path); !problem.empty())
    return RefuseImage(host, "文件错误!", path + ": " + problem);
  CheckFix sum, crc;
  std::string problem;
  if (!CorrectNorCheckValues(host, path, sum, crc, problem))
    return RefuseImage(host, "无法写入文件,不能校正文件的校验值!", path + ": " + problem);
  PrintValue("NorCheckSum (0x1FFFE)", sum);
  PrintValue("CRC (0x1FFF0)", crc);
  // Read back: what the file now holds must agree with its bytes.
  const CheckFix sumAfter = VerifyNorCheckSum(path);
  const CheckFix crcAfter = VerifyNorCrc(path);
  const bool consistent = sumAfter.ok && crcAfter.ok && sumAfter.stored == sumAfter.computed && crcAfter.stored == crcAfter.computed;
  if (!consistent) std::cout << "改写后从文件读回的校验值与文件内容不符!" << std::endl;
  return consistent ? kExitSuccess : kExitFailure;
}
