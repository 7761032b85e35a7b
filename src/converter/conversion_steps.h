#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/binary_file.h"
#include "converter/conversions.h"

// The checks and the bracket that both conversions share.
namespace steps {

// The reason line of a refused source names it as the window does, so that
// it is never taken for the target.
std::string OfSource(const std::string& source, const std::string& reason);

// Refuses an empty source path or one that names no file that can be read,
// and gives the size of one that does.
bool SourceReadable(ConverterHost& host, const std::string& source, std::uint64_t& size);

// Refuses a source that is not whole blocks of `blockSize` bytes, at least
// one, followed by `extra` bytes: the size message, then the length found and
// the rule as its reason. Gives the number of blocks of one that is.
bool WholeBlocks(ConverterHost& host, const std::string& source, std::uint64_t size, std::uint64_t blockSize,
                 std::uint64_t extra, std::uint64_t& blocks);

// A NAND image file as Nand2Data and the verification take it: whole
// blocks, at least one, and the trailer.
struct SourceImage {
  std::uint64_t blocks = 0;
  unsigned start = 0;  // the starting logical block number
};

// Refuses a source as SourceReadable and WholeBlocks do, then reads its
// starting logical block number; a trailer that cannot be read is said
// (ReadFailed) and sets `unreadable`.
bool ImageAccepted(ConverterHost& host, const std::string& source, SourceImage& image, bool& unreadable);

// Refuses an empty target path, a target that is the source itself, and one
// that cannot be written (see CheckTarget).
bool TargetUsable(ConverterHost& host, const std::string& source, const std::string& target);

// Asks before an existing target is replaced; false when the user says No.
bool OverwriteAllowed(ConverterHost& host, const std::string& target);

// The running part of both conversions: reads the source in chunks of whole
// blocks, lets `convert` turn each block of `inSize` bytes (block `index`,
// from 0) into one of `outSize` bytes, and writes the target through its
// temporary file, `trailer` after the last block. Meanwhile the convert
// button is disabled and the progress bar counts blocks; every ending
// enables the button again and puts the bar back to 0. "转换成功!" comes only
// once the target is complete and in place; a file-system failure names the
// file and the system's reason, and leaves an existing target as it was; so
// does an interruption (the host's CancelRequested), which shows nothing. The
// last look for one is taken once the bytes are on the disk, just before the
// rename (see StillWanted).
// Lets pending events run and says whether the run is still to go on: asked
// just before a finished target replaces the file, so that an interruption
// that came while the disk flushed still takes the cancel ending.
bool StillWanted(ConverterHost& host);

using BlockConverter = std::function<void(const std::uint8_t* in, std::uint8_t* out, std::uint64_t index)>;
ConversionResult ConvertBlocks(ConverterHost& host, const std::string& source, const std::string& target,
                               std::uint64_t blocks, std::size_t inSize, std::size_t outSize,
                               const BlockConverter& convert, const std::vector<std::uint8_t>& trailer = {});

}  // namespace steps
