// handheld-sim's flash loader on an arbitrary file, read as a NOR and as a
// NAND image; what loads is laid out again as a backup would send it. The
// outcome: whether each loaded (or the error), and what it lays out.
#include <filesystem>
#include <fstream>

#include "emulated_flash.h"
#include "fuzz_target.h"

namespace {

std::string Laid(const std::vector<std::uint8_t>& image) {
  const std::filesystem::path file = ScratchFolder() / "laid-out";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  const std::string text = DescribeFile(file);
  std::filesystem::remove(file);
  return text;
}

}  // namespace

std::vector<std::string> FuzzOutcome(const std::uint8_t* data, std::size_t size) {
  const std::string input = (ScratchFolder() / "flash").string();
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  EmulatedFlash flash;
  std::string error;
  std::vector<std::string> lines;
  if (flash.LoadNor(input, error))
    lines.push_back("nor " + Laid(flash.NorImage()));
  else
    AddSaid(lines, "nor refused: ", {error});
  if (flash.LoadNand(input, error))
    lines.push_back("nand " + Laid(flash.NandImage()) + ", first block " + std::to_string(flash.FirstNandBlock()));
  else
    AddSaid(lines, "nand refused: ", {error});
  std::filesystem::remove(input);
  return lines;
}
