// The repair verbs: repair-nor, repair-nand and fix-nor-checks. They check
// the image exactly as the repair dialogs do and say the same things.
#include <cstdio>
#include <iostream>

#include "command_line.h"
#include "common/interruption.h"
#include "repair/nand_repair.h"
#include "repair/nor_check_values.h"
#include "repair/nor_repair.h"
#include "repair/repair_checks.h"

namespace {

// A check value as it lies in the file: low byte first.
std::string Pair(std::uint16_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X %02X", value & 0xFF, value >> 8);
  return text;
}

void PrintValue(const char* name, const CheckFix& fix, const char* action) {
  std::cout << name << ": stored " << Pair(fix.stored) << ", computed " << Pair(fix.computed);
  if (fix.written) std::cout << ", " << action;
  std::cout << std::endl;
}

// The exit status of a repair; a cancel also says what it left behind.
int Ended(ConsoleSession& session, RepairEnding ending) {
  if (ending == RepairEnding::Cancel || Interrupted()) session.host.SayCancelled(Host::Task::Repair, session.m.ImagePath);
  return ending == RepairEnding::Success ? kExitSuccess : kExitFailure;
}

}  // namespace

int RepairNorVerb(const Arguments& args) {
  NorRepairOptions options = args.pages;
  options.lowSpeed = args.lowSpeed;
  options.format = args.format;
  const auto session = OpenSession(args);
  if (const std::string problem = NorImageProblem(args.file); !problem.empty())
    return RefuseImage(session->host, kFileErrorReselect, problem);
  return Ended(*session, BackNor(session->m, options));
}

int RepairNandVerb(const Arguments& args) {
  const auto session = OpenSession(args);
  const NandImageCheck check = CheckNandImage(session->m.ImagePath);
  if (!check.accepted) return RefuseImage(session->host, check.message, check.reason);
  const NandRange range = CheckNandRange(!args.someBlocks, args.firstBlock, args.lastBlock, check.blocks);
  if (!range.accepted) {
    session->host.ShowMessage(range.message);
    return kExitUsage;
  }
  const NandRepairOptions options{args.lowSpeed, args.format};
  return Ended(*session, BackNand(session->m, range.firstBlock, range.lastBlock, check.startLogicalBlock, options));
}

int FixNorChecksVerb(const Arguments& args) {
  const std::string& path = args.file;
  ConsoleHost host(true, "NC3000");
  // The same checks as a repair's, before anything is read.
  if (const std::string problem = NorImageProblem(path); !problem.empty()) return RefuseImage(host, "文件错误!", problem);
  CheckFix sum, crc;
  if (!CorrectNorCheckValues(host, path, sum, crc)) {
    std::cout << "无法写入文件,不能校正文件的校验值!" << std::endl;
    return kExitFailure;
  }
  PrintValue("NorCheckSum (0x1FFFE)", sum, "rewritten");
  PrintValue("CRC (0x1FFF0)", crc, "rewritten");
  // Read back: what the file now holds must agree with its bytes.
  const CheckFix sumAfter = VerifyNorCheckSum(path);
  const CheckFix crcAfter = VerifyNorCrc(path);
  const bool consistent = sumAfter.ok && crcAfter.ok && sumAfter.stored == sumAfter.computed && crcAfter.stored == crcAfter.computed;
  if (!consistent) std::cout << "The check values read back from the file do not match its bytes." << std::endl;
  return consistent ? kExitSuccess : kExitFailure;
}
