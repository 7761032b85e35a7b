// Corvane's readers on an arbitrary file: the input, written to a file, is
// converted from a NAND image to a data file, verified and repaired into a
// copy as a NAND image, and converted from a data file back to an image.
// Every question is answered Yes.
#include <filesystem>
#include <fstream>

#include "converter/conversions.h"
#include "converter/verify.h"
#include "fuzz_target.h"
#include "support/null_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path& folder = ScratchFolder();
  const std::string input = (folder / "input").string(), output = (folder / "output").string();
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  NullHost host;
  host.answer = [] { return true; };
  VerifySummary summary;
  Nand2Data(host, input, output);
  VerifyImage(host, input, [](const VerifyFinding& finding) { DescribeFinding(finding); }, summary);
  RepairImage(host, input, output, nullptr, summary);
  DescribeSummary(summary, true);
  Data2Nand(host, input, output, "2");
  std::filesystem::remove(output);
  return 0;
}
