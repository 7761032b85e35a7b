#include "emulated_flash.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/binary_file.h"
#include "common/file_exists.h"
#include "common/target_check.h"
#include "common/temporary_file.h"
#include "image_check/nor_values.h"
#include "image_check/spare_area.h"

namespace {

// Larger than any image: a NAND of 0x2000 blocks and its trailer.
constexpr std::uint64_t kLargestImage = nand::ImageLength(0x2000);

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::uint64_t size = 0;
  std::string reason = UnreadableReason(path);  // a folder, a pipe or a device is not opened
  if (reason.empty() && !SizeOfFile(path, size)) reason = "its size cannot be taken";
  if (reason.empty() && size > kLargestImage) reason = "too large for an image (" + std::to_string(size) + " bytes)";
  BinaryFile file;
  if (reason.empty()) bytes.resize(static_cast<std::size_t>(size));
  if (reason.empty() && !(file.OpenForReading(path) && file.Read(bytes.data(), bytes.size()))) reason = file.Error();
  if (reason.empty()) return true;
  error = path + ": " + reason;
  return false;
}

// A pattern that differs from page to page and block to block.
std::uint8_t PatternByte(std::uint32_t seed, std::size_t i) {
  std::uint32_t x = seed * 2654435761u + static_cast<std::uint32_t>(i) * 40503u;
  x ^= x >> 15;
  x *= 2246822519u;
  return static_cast<std::uint8_t>(x >> 24);
}

// Puts `bytes` in place of `path` through a temporary file beside it. When
// that fails the flash is not lost with the program: it stays in the
// temporary file when only the last step failed, else it goes to a new file
// in the system's temporary folder. `error` says why and where it is.
bool WriteImage(const std::string& path, const std::vector<std::uint8_t>& bytes, const char* kind,
                std::string& error) {
  const Target target = CheckTarget(path);
  TemporaryFile file(target.path);
  bool complete = false;
  if (target.problem.empty() && file.Create()) {
    complete = file.Write(bytes.data(), bytes.size());
    if (complete && file.Commit()) return true;
  }
  error = target.problem.empty() ? file.path() + ": " + file.Error() : target.problem;
  if (complete && file.Holds()) {
    file.Keep();
    error += "; the flash is kept in " + file.path();
    return false;
  }
  file.Discard();
  std::error_code ec;
  TemporaryFile refuge(Utf8FromPath(std::filesystem::temp_directory_path(ec) / "handheld-sim-flash") + "." + kind);
  if (refuge.Create() && refuge.Write(bytes.data(), bytes.size())) {
    refuge.Keep();
    error += "; the flash is saved in " + refuge.path() + " instead";
  } else {
    error += "; the flash (" + std::to_string(bytes.size()) + " bytes) is lost: " + refuge.path() + ": " +
             refuge.Error();
  }
  return false;
}

}  // namespace

EmulatedFlash EmulatedFlash::Generated(int pages, int blocks, int startBlock) {
  EmulatedFlash flash;
  for (int p = 0; p < pages; ++p) {
    std::vector<std::uint8_t>& page = flash.norPages[p];
    page.resize(nor::kPageSize);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = PatternByte(0x4E4F52u + static_cast<std::uint32_t>(p), i);
  }
  // Like a handheld's, the NOR flash carries its check values.
  std::vector<std::uint8_t> nor = flash.NorImage();
  if (nor.size() >= nor::kCheckSumOffset + 2) {
    StoreNorValues(nor.data(), nor.size());
    const std::size_t page = nor::kCrcOffset / nor::kPageSize;
    std::copy_n(nor.begin() + static_cast<long>(page * nor::kPageSize), nor::kPageSize,
                flash.norPages[static_cast<int>(page)].begin());
  }
  for (int b = 0; b < blocks; ++b) {
    const unsigned logical = static_cast<unsigned>(startBlock + b);
    std::vector<std::uint8_t>& block = flash.nandBlocks[static_cast<int>(logical)];
    block.assign(nand::kBlockSize, 0xFF);
    for (int p = 0; p < nand::kPagesPerBlock; ++p) {
      std::uint8_t* page = block.data() + p * nand::kPageSize;
      for (std::size_t i = 0; i < nand::kPageData; ++i) page[i] = PatternByte(0x4E414E44u + logical * 64 + static_cast<std::uint32_t>(p), i);
      WriteSpareArea(page, p + 1, logical, 0x31);
    }
    StampBlockSum(block.data(), logical);
  }
  return flash;
}

bool EmulatedFlash::LoadNor(const std::string& path, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWhole(path, bytes, error)) return false;
  if (bytes.empty() || bytes.size() % nor::kPageSize != 0) {
    error = path + ": a NOR image holds whole pages of 32768 bytes";
    return false;
  }
  norPages.clear();
  for (std::size_t p = 0; p * nor::kPageSize < bytes.size(); ++p)
    norPages[static_cast<int>(p)].assign(bytes.begin() + static_cast<long>(p * nor::kPageSize),
                                         bytes.begin() + static_cast<long>((p + 1) * nor::kPageSize));
  return true;
}

bool EmulatedFlash::LoadNand(const std::string& path, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWhole(path, bytes, error)) return false;
  const std::optional<std::size_t> blocks = nand::BlocksInImage(bytes.size());
  if (!blocks) {
    error = path + ": a NAND image holds whole blocks of 16896 bytes and a 2-byte starting block number";
    return false;
  }
  const int start = static_cast<int>(nand::StartFromTrailer(&bytes[bytes.size() - nand::kTrailerSize]));
  if (start < 1 || start + static_cast<int>(*blocks) - 1 > static_cast<int>(nand::kLastBlockNumber)) {
    error = path + ": " + std::to_string(*blocks) + " blocks from logical block " + std::to_string(start) +
            " are not all logical blocks 1 to " + std::to_string(nand::kLastBlockNumber) + " (1h-FFFh)";
    return false;
  }
  nandBlocks.clear();
  for (std::size_t b = 0; b < *blocks; ++b)
    nandBlocks[start + static_cast<int>(b)].assign(bytes.begin() + static_cast<long>(b * nand::kBlockSize),
                                                    bytes.begin() + static_cast<long>((b + 1) * nand::kBlockSize));
  return true;
}

std::vector<std::uint8_t> EmulatedFlash::NorImage() const {
  std::vector<std::uint8_t> image;
  if (norPages.empty()) return image;
  const int last = norPages.rbegin()->first;
  image.assign(static_cast<std::size_t>(last + 1) * nor::kPageSize, 0xFF);
  for (const auto& [page, bytes] : norPages)
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(static_cast<std::size_t>(page) * nor::kPageSize));
  return image;
}

int EmulatedFlash::FirstNandBlock() const { return nandBlocks.empty() ? 2 : nandBlocks.begin()->first; }

std::vector<std::uint8_t> EmulatedFlash::NandImage() const {
  std::vector<std::uint8_t> image;
  if (nandBlocks.empty()) return image;
  const int first = nandBlocks.begin()->first, last = nandBlocks.rbegin()->first;
  image.assign(static_cast<std::size_t>(last - first + 1) * nand::kBlockSize, 0xFF);
  for (const auto& [block, bytes] : nandBlocks)
    std::copy(bytes.begin(), bytes.end(),
              image.begin() + static_cast<long>(static_cast<std::size_t>(block - first) * nand::kBlockSize));
  return image;
}

bool EmulatedFlash::SaveNor(const std::string& path, std::string& error) const {
  return WriteImage(path, NorImage(), "nor", error);
}

bool EmulatedFlash::SaveNand(const std::string& path, std::string& error) const {
  std::vector<std::uint8_t> bytes = NandImage();
  const auto trailer = nand::TrailerBytes(FirstNandBlock());
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  return WriteImage(path, bytes, "nand", error);
}
