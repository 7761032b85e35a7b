#include "repair/nor_check_values.h"

#include <vector>

#include "common/binary_file.h"
#include "repair/repair_checks.h"

namespace {

// The image read whole (a repairable one is 8 MiB at most) and the values
// its bytes give, as they stand.
struct NorImage {
  BinaryFile file;
  std::vector<std::uint8_t> bytes;
  std::uint16_t storedSum = 0, storedCrc = 0, sum = 0, crc = 0;

  // False when the image cannot be opened (for writing too, when asked) or
  // read, or is not whole pages that hold the check area. Events run once
  // per page of the computation.
  bool Read(const std::string& path, bool forWriting, Host* host) {
    if (!(forWriting ? file.OpenForChanging(path) : file.OpenForReading(path))) return false;
    std::uint64_t length = 0;
    if (!SizeOfFile(path, length) || length % nor::kPageSize != 0 || length < nor::kCheckSumOffset + 2) return false;
    bytes.resize(static_cast<std::size_t>(length));
    if (!file.Read(bytes.data(), bytes.size())) return false;

    const NorValues values = ComputeNorValues(bytes.data(), bytes.size(), [host] {
      if (host) host->ProcessEvents();
    });
    storedSum = values.storedSum;
    storedCrc = values.storedCrc;
    sum = values.sum;
    crc = values.crc;
    return true;
  }

  // The NorCheckSum once the CRC is corrected: it counts the new CRC bytes.
  std::uint16_t SumWithCorrectCrc() const {
    const auto pairSum = [](std::uint16_t pair) { return (pair & 0xFFu) + (pair >> 8); };
    return static_cast<std::uint16_t>(sum - pairSum(storedCrc) + pairSum(crc));
  }

  // Rewrites the pair at `offset` when either stored byte differs.
  CheckFix Store(std::uint64_t offset, std::uint16_t stored, std::uint16_t computed) {
    CheckFix fix{true, stored, computed, false};
    if (stored == computed) return fix;
    const std::uint8_t pair[2] = {static_cast<std::uint8_t>(computed & 0xFF), static_cast<std::uint8_t>(computed >> 8)};
    fix.ok = fix.written = file.SeekTo(offset) && file.Write(pair, sizeof pair);
    return fix;
  }
};

}  // namespace

CheckFix CalNorCheckSum(Host& host, const std::string& path) {
  host.SetStatus("计算NorCheckSum...");
  NorImage image;
  if (!image.Read(path, true, &host)) return {};
  return image.Store(nor::kCheckSumOffset, image.storedSum, image.SumWithCorrectCrc());
}

CheckFix CalNorCrc(Host& host, const std::string& path) {
  host.SetStatus("校正CRC...");
  NorImage image;
  if (!image.Read(path, true, &host)) return {};
  return image.Store(nor::kCrcOffset, image.storedCrc, image.crc);
}

bool CorrectNorCheckValues(Host& host, const std::string& path, CheckFix& sum, CheckFix& crc) {
  host.SetStatus("计算NorCheckSum...");
  sum = crc = {};
  NorImage image;
  if (!image.Read(path, true, &host)) return false;
  sum = image.Store(nor::kCheckSumOffset, image.storedSum, image.SumWithCorrectCrc());
  if (!sum.ok) return false;
  host.SetStatus("校正CRC...");
  crc = image.Store(nor::kCrcOffset, image.storedCrc, image.crc);
  return crc.ok;
}

CheckFix VerifyNorCheckSum(const std::string& path) {
  NorImage image;
  if (!image.Read(path, false, nullptr)) return {};
  return {true, image.storedSum, image.sum, false};
}

CheckFix VerifyNorCrc(const std::string& path) {
  NorImage image;
  if (!image.Read(path, false, nullptr)) return {};
  return {true, image.storedCrc, image.crc, false};
}
