// handheld-sim's flash loader on an arbitrary file, read as a NOR and as a
// NAND image; what loads is laid out again as a backup would send it. The
// outcome: whether each loaded (or the error), and what it lays out.
#include "emulated_flash.h"
#include "fuzz_target.h"
#include "support/files.h"

std::vector<std::string> FuzzOutcome(const std::uint8_t* data, std::size_t size) {
  const std::string input = (ScratchFolder() / "flash").string();
  WriteFile(input, Bytes(data, data + size));
  EmulatedFlash flash;
  std::string error;
  std::vector<std::string> lines;
  if (flash.LoadNor(input, error))
    lines.push_back("nor " + DescribeBytes("laid-out", flash.NorImage()));
  else
    AddSaid(lines, "nor refused: ", {error});
  if (flash.LoadNand(input, error))
    lines.push_back("nand " + DescribeBytes("laid-out", flash.NandImage()) + ", first block " +
                    std::to_string(flash.FirstNandBlock()));
  else
    AddSaid(lines, "nand refused: ", {error});
  std::filesystem::remove(input);
  return lines;
}
