#pragma once
#include <string>

#include "converter/converter_host.h"

// How a conversion ended. Everything was already said through the host; the
// command line turns it into its exit status.
enum class ConversionResult {
  Success,   // "转换成功!" was shown, the target is complete
  Refused,   // a check failed and its message was shown; nothing written
  Declined,  // the user answered No; nothing written
  Failed,    // the file system failed; the target is as it was before
  Cancelled, // the program was interrupted; the target is as it was before
};

// NAND image file -> data file: the 512 data bytes of every page, without
// spare areas and without the trailing starting logical block number.
ConversionResult Nand2Data(ConverterHost& host, const std::string& source, const std::string& target);

// Data file -> NAND image file with rebuilt spare areas. `startText` holds
// the starting logical block number in hexadecimal (empty counts as 0); the
// version digits are read from the host on page 32 of every block.
ConversionResult Data2Nand(ConverterHost& host, const std::string& source, const std::string& target,
                           const std::string& startText);

// Value of the hexadecimal digits at the start of `text` (at most four are
// read); empty or no digits gives 0.
unsigned BlockNumberFromText(const std::string& text);
