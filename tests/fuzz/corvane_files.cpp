// Corvane's readers on an arbitrary file: the input, written to a file, is
// converted from a NAND image to a data file, verified and repaired into a
// copy as a NAND image, and converted from a data file back to an image.
// Every question is answered Yes. The outcome: each step's result and what
// it said, the verification's counts, and each step's output file; no
// other file is left.
#include <filesystem>
#include <fstream>

#include "converter/conversions.h"
#include "converter/verify.h"
#include "fuzz_target.h"
#include "support/null_host.h"

namespace {

std::string Counts(const VerifySummary& s) {
  return "pages " + std::to_string(s.pagesChecked) + ": clean " + std::to_string(s.pagesClean) + ", erased " +
         std::to_string(s.pagesErased) + ", data bit " + std::to_string(s.pagesDataBit) + ", ECC only " +
         std::to_string(s.pagesEccOnly) + ", uncorrectable " + std::to_string(s.pagesUncorrectable) + ", other " +
         std::to_string(s.pagesOther) + "; block sums differing " + std::to_string(s.blocksSumDiffers) +
         "; bits corrected " + std::to_string(s.bitsCorrected);
}

}  // namespace

std::vector<std::string> FuzzOutcome(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path input = ScratchFolder() / "input", output = ScratchFolder() / "output";
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const char* const kConversions[] = {"Success", "Refused", "Declined", "Failed", "Cancelled"};
  const char* const kVerifications[] = {"Clean", "Differs", "Refused", "Declined", "Failed", "Cancelled"};
  std::vector<std::string> lines;
  const auto step = [&](const std::string& name, const std::string& result, NullHost& host) {
    lines.push_back(name + ": " + result);
    AddSaid(lines, "  said ", host.said);
    lines.push_back("  " + DescribeFile(output));
  };
  NullHost host;
  host.answer = [] { return true; };
  step("nand2data", kConversions[static_cast<int>(Nand2Data(host, input.string(), output.string()))], host);
  VerifySummary summary;
  host.said.clear();
  std::vector<std::string> findings;
  const VerifyResult verified = VerifyImage(host, input.string(), [&](const VerifyFinding& f) { findings.push_back(DescribeFinding(f)); }, summary);
  step("verify", kVerifications[static_cast<int>(verified)] + std::string(", ") + std::to_string(findings.size()) + " findings, " + Counts(summary), host);
  host.said.clear();
  step("repair", kVerifications[static_cast<int>(RepairImage(host, input.string(), output.string(), nullptr, summary))] +
                     std::string(", ") + Counts(summary), host);
  host.said.clear();
  step("data2nand", kConversions[static_cast<int>(Data2Nand(host, input.string(), output.string(), "2"))], host);
  // Nothing else is left behind: no temporary file.
  std::filesystem::remove(input);
  std::filesystem::remove(output);
  AddFilesAndClear(lines);
  return lines;
}
