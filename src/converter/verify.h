#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "converter/converter_host.h"
#include "image_check/nand_check.h"

// Checks every page of a NAND image file against the spare-area rules that
// Data2Nand writes by (the check of image_check/nand_check.h), and optionally
// writes a copy with every confirmed single-bit data error corrected.

using VerifyFinding = nand::SpareFinding;

struct VerifySummary {
  std::uint64_t pagesChecked = 0;
  std::uint64_t pagesClean = 0;
  std::uint64_t pagesErased = 0;         // data and spare area all FF: fine, not an error
  std::uint64_t pagesUnchecked = 0;      // logical block 1: nothing to check its data by, nothing to correct
  std::uint64_t pagesDataBit = 0;        // one data bit off, located and confirmed
  std::uint64_t pagesEccOnly = 0;        // one bit of the stored ECC off, data good
  std::uint64_t pagesUncorrectable = 0;  // more is off than one bit that can be put right for sure
  std::uint64_t pagesOther = 0;          // ECC fine, other spare bytes differ
  std::uint64_t blocksSumDiffers = 0;
  std::uint64_t bitsCorrected = 0;       // written corrected into the copy, one per page
  std::string outOfRange;                // the logical blocks, when some number is none the handheld has

  void Add(const nand::BlockCheck& check);
  bool Clean() const { return PagesDiffering() == 0 && blocksSumDiffers == 0 && outOfRange.empty(); }
  // Pages that are neither as the rules give, nor erased, nor unchecked.
  std::uint64_t PagesDiffering() const { return pagesChecked - pagesClean - pagesErased - pagesUnchecked; }
};

enum class VerifyResult {
  Clean,     // every page follows the rules
  Differs,   // findings were reported (and with a repair, the copy is written)
  Refused,   // the image or target was refused with its message; nothing checked
  Declined,  // the user did not want an existing target replaced
  Failed,    // the file system failed; its message was shown, no copy written
  Cancelled, // the program was interrupted; no copy written
};

using FindingSink = std::function<void(const VerifyFinding&)>;

// Checks `image`; every finding goes to `onFinding` as it is found.
VerifyResult VerifyImage(ConverterHost& host, const std::string& image, const FindingSink& onFinding,
                         VerifySummary& summary);

// Checks `image` like VerifyImage and writes a copy to `target` (through a
// temporary file and a rename) in which every confirmed single-bit data error
// (see nand::CheckBlock) is corrected and nothing else changed. Never in
// place; any other page stays as it is.
VerifyResult RepairImage(ConverterHost& host, const std::string& image, const std::string& target,
                         const FindingSink& onFinding, VerifySummary& summary);

// One line per finding, and the summary's lines.
std::string DescribeFinding(const VerifyFinding& finding);
std::vector<std::string> DescribeSummary(const VerifySummary& summary, bool repaired);
