#include "repair/nor_check_values.h"

#include <vector>

#include "common/binary_file.h"
#include "common/target_check.h"
#include "repair/repair_checks.h"

namespace {

// The image read whole (a repairable one is 8 MiB at most) and the values
// its bytes give, as they stand. It is opened for writing only when a value
// must change.
struct NorImage {
  std::string path;
  BinaryFile writer;
  std::vector<std::uint8_t> bytes;
  std::uint16_t storedSum = 0, storedCrc = 0, sum = 0, crc = 0;
  std::string problem;  // why the image could not be read or changed

  // False when the image cannot be read, or is not whole pages that hold
  // the check area. Events run once per page of the computation.
  bool Read(const std::string& imagePath, Host* host) {
    path = imagePath;
    BinaryFile file;
    std::uint64_t length = 0;
    if (!file.OpenForReading(path) || !SizeOfFile(path, length)) return Fail(file.Error());
    if (length % nor::kPageSize != 0 || length < nor::kCheckSumOffset + 2) return Fail("不是Nor映像");
    bytes.resize(static_cast<std::size_t>(length));
    if (!file.Read(bytes.data(), bytes.size())) return Fail(file.Error());

    const NorValues values = ComputeNorValues(bytes.data(), bytes.size(), [host] {
      if (host) host->ProcessEvents();
    });
    storedSum = values.storedSum;
    storedCrc = values.storedCrc;
    sum = values.sum;
    crc = values.crc;
    return true;
  }

  bool Fail(const std::string& why) {
    problem = why;
    return false;
  }

  // The NorCheckSum once the CRC is corrected: it counts the new CRC bytes.
  std::uint16_t SumWithCorrectCrc() const {
    const auto pairSum = [](std::uint16_t pair) { return (pair & 0xFFu) + (pair >> 8); };
    return static_cast<std::uint16_t>(sum - pairSum(storedCrc) + pairSum(crc));
  }

  // Opens the image for changing it in place: never a read-only image (not
  // even as root), nor one the system will not let us write.
  bool OpenForChanging() {
    if (writer.IsOpen()) return true;
    if (const std::string why = ChangeProblem(path); !why.empty()) return Fail(why);
    return writer.OpenForChanging(path) || Fail(writer.Error());
  }

  // Rewrites the pair at `offset` when either stored byte differs.
  CheckFix Store(std::uint64_t offset, std::uint16_t stored, std::uint16_t computed) {
    CheckFix fix{true, stored, computed, false};
    if (stored == computed) return fix;
    const auto pair = LowByteFirst(computed);
    fix.ok = fix.written = OpenForChanging() && writer.SeekTo(offset) && writer.Write(pair.data(), pair.size());
    if (!fix.ok && problem.empty()) problem = writer.Error();
    return fix;
  }
};

}  // namespace

CheckFix CalNorCheckSum(Host& host, const std::string& path) {
  host.SetStatus("计算NorCheckSum...");
  NorImage image;
  if (!image.Read(path, &host)) return {};
  return image.Store(nor::kCheckSumOffset, image.storedSum, image.SumWithCorrectCrc());
}

CheckFix CalNorCrc(Host& host, const std::string& path) {
  host.SetStatus("校正CRC...");
  NorImage image;
  if (!image.Read(path, &host)) return {};
  return image.Store(nor::kCrcOffset, image.storedCrc, image.crc);
}

bool CorrectNorCheckValues(Host& host, const std::string& path, CheckFix& sum, CheckFix& crc, std::string& problem) {
  host.SetStatus("计算NorCheckSum...");
  sum = crc = {};
  NorImage image;
  const bool corrected = [&] {
    if (!image.Read(path, &host)) return false;
    const std::uint16_t newSum = image.SumWithCorrectCrc();
    // Either value to change: the image must take both before either is written.
    if ((image.storedSum != newSum || image.storedCrc != image.crc) && !image.OpenForChanging()) return false;
    sum = image.Store(nor::kCheckSumOffset, image.storedSum, newSum);
    if (!sum.ok) return false;
    host.SetStatus("校正CRC...");
    crc = image.Store(nor::kCrcOffset, image.storedCrc, image.crc);
    return crc.ok;
  }();
  problem = image.problem;
  return corrected;
}

CheckFix VerifyNorCheckSum(const std::string& path) {
  NorImage image;
  if (!image.Read(path, nullptr)) return {};
  return {true, image.storedSum, image.sum, false};
}

CheckFix VerifyNorCrc(const std::string& path) {
  NorImage image;
  if (!image.Read(path, nullptr)) return {};
  return {true, image.storedCrc, image.crc, false};
}
