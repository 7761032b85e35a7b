// handheld-sim's flash loader on an arbitrary file, read as a NOR and as a
// NAND image; what loads is laid out again as a backup would send it.
#include <filesystem>
#include <fstream>

#include "emulated_flash.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = (ScratchFolder() / "flash").string();
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  EmulatedFlash flash;
  std::string error;
  if (flash.LoadNor(input, error)) flash.NorImage();
  if (flash.LoadNand(input, error)) {
    flash.NandImage();
    flash.FirstNandBlock();
  }
  return 0;
}
