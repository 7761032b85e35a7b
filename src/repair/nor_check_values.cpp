#include "repair/nor_check_values.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <vector>

#include "common/file_exists.h"
#include "repair/byte_kernels.h"
#include "repair/repair_checks.h"

namespace {

// The image opened for reading and writing, checked to hold the check area.
struct OpenImage {
  std::fstream file;
  std::uint64_t length = 0;
  bool writable = true;
  bool Open(const std::string& path, bool forWriting) {
    writable = forWriting;
    file.open(PathFromUtf8(path), forWriting ? std::ios::in | std::ios::out | std::ios::binary : std::ios::in | std::ios::binary);
    if (!file.is_open()) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end < 0) return false;
    length = static_cast<std::uint64_t>(end);
    file.seekg(0);
    return length % kNorPageSize == 0 && length >= kNorCheckSumOffset + 2;  // the check area lies inside
  }
  // Pages in file order from `first` on, read several at a time; null at a
  // read error.
  void StartAt(std::uint64_t first) {
    next_ = first;
    held_ = used_ = 0;
    file.seekg(static_cast<std::streamoff>(first * kNorPageSize));
  }
  const std::uint8_t* NextPage() {
    if (used_ == held_) {
      const std::uint64_t left = length / kNorPageSize - next_;
      held_ = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPagesPerRead));
      used_ = 0;
      buffer_.resize(kPagesPerRead * kNorPageSize);
      if (held_ == 0 || !file.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(held_ * kNorPageSize))) return nullptr;
    }
    ++next_;
    return buffer_.data() + (used_++) * kNorPageSize;
  }
  // Writes the pair when either stored byte differs from the computed value.
  bool StorePair(std::uint64_t offset, std::uint16_t stored, std::uint16_t computed, CheckFix& fix) {
    fix.stored = stored;
    fix.computed = computed;
    if (stored == computed || !writable) return true;
    const char pair[2] = {static_cast<char>(computed & 0xFF), static_cast<char>(computed >> 8)};
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(pair, 2);
    file.flush();
    fix.written = static_cast<bool>(file);
    return fix.written;
  }

 private:
  static constexpr std::size_t kPagesPerRead = 8;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t next_ = 0;
  std::size_t held_ = 0, used_ = 0;
};

std::uint16_t PairAt(const std::uint8_t* page, std::uint64_t offsetInPage) {
  return static_cast<std::uint16_t>(page[offsetInPage] | (page[offsetInPage + 1] << 8));
}

constexpr std::uint64_t kCheckPage = kNorCrcOffset / kNorPageSize;  // page 03
constexpr std::uint64_t kCrcInPage = kNorCrcOffset % kNorPageSize;
constexpr std::uint64_t kSumInPage = kNorCheckSumOffset % kNorPageSize;

}  // namespace

std::array<std::uint8_t, 512> CrcByteTable() {
  std::array<std::uint8_t, 512> table{};
  for (unsigned i = 0; i < 256; ++i) {
    const std::uint16_t t = CrcTableEntry(i);
    table[i] = static_cast<std::uint8_t>(t >> 8);
    table[256 + i] = static_cast<std::uint8_t>(t & 0xFF);
  }
  return table;
}

NorCrc::NorCrc() = default;

void NorCrc::Update(const std::uint8_t* bytes, std::size_t count, std::uint32_t* sum) {
  register_ = CrcRegisterUpdate(register_, bytes, count, sum);
}

namespace {

enum Values { kSum = 1, kCrc = 2 };

// The sum of the two bytes of a little-endian pair.
unsigned PairSum(std::uint16_t pair) { return (pair & 0xFFu) + (pair >> 8); }

// Scans the image once and then stores the chosen values, the NorCheckSum
// first. A correction computes the CRC as well, so that the stored sum counts
// the CRC bytes as they stand once the CRC is corrected: one run leaves both
// values consistent. A check (`write` clear) takes the bytes as they are and
// writes nothing. `beforeCrc` runs between the two stores.
struct Scan {
  CheckFix sum, crc;
};

Scan ScanImage(Host* host, const std::string& path, bool write, int stores, const std::function<void()>& beforeCrc = {}) {
  Scan scan;
  OpenImage image;
  if (!image.Open(path, write)) return scan;
  const int values = stores | (write && (stores & kSum) ? kCrc : 0);
  const std::uint64_t pages = image.length / kNorPageSize;
  std::uint32_t sum = 0;
  NorCrc crc;
  std::uint16_t storedSum = 0, storedCrc = 0;
  const std::uint64_t first = (values & kSum) ? 0 : 2;
  image.StartAt(first);
  for (std::uint64_t p = first; p < pages; ++p) {
    const std::uint8_t* page = image.NextPage();
    if (!page) return scan;
    const bool inCrc = (values & kCrc) && p >= 2;
    if (inCrc && p != kCheckPage) {
      crc.Update(page, kNorPageSize, (values & kSum) ? &sum : nullptr);  // both values from one look at the bytes
    } else {
      if (inCrc) crc.Update(page, kCrcInPage);  // the check area stays outside the CRC
      if (values & kSum) sum += ByteSum(page, kNorPageSize);
    }
    if ((values & kSum) && p == kCheckPage) sum -= page[kSumInPage] + page[kSumInPage + 1];  // the sum leaves out its own two bytes
    if (p == kCheckPage) {
      storedSum = PairAt(page, kSumInPage);
      storedCrc = PairAt(page, kCrcInPage);
    }
    if (host) host->ProcessEvents();
  }
  if (stores & kSum) {
    if (values & kCrc) sum = sum - PairSum(storedCrc) + PairSum(crc.Value());
    scan.sum.ok = image.StorePair(kNorCheckSumOffset, storedSum, static_cast<std::uint16_t>(sum), scan.sum);
    if (!scan.sum.ok) return scan;
  }
  if (stores & kCrc) {
    if (beforeCrc) beforeCrc();
    scan.crc.ok = image.StorePair(kNorCrcOffset, storedCrc, crc.Value(), scan.crc);
  }
  return scan;
}

}  // namespace

CheckFix CalNorCheckSum(Host& host, const std::string& path) {
  host.SetStatus("计算NorCheckSum...");
  return ScanImage(&host, path, true, kSum).sum;
}

CheckFix CalNorCrc(Host& host, const std::string& path) {
  host.SetStatus("校正CRC...");
  return ScanImage(&host, path, true, kCrc).crc;
}

bool CorrectNorCheckValues(Host& host, const std::string& path, CheckFix& sum, CheckFix& crc) {
  host.SetStatus("计算NorCheckSum...");
  const Scan scan = ScanImage(&host, path, true, kSum | kCrc, [&] { host.SetStatus("校正CRC..."); });
  sum = scan.sum;
  crc = scan.crc;
  return sum.ok && crc.ok;
}

CheckFix VerifyNorCheckSum(const std::string& path) { return ScanImage(nullptr, path, false, kSum).sum; }
CheckFix VerifyNorCrc(const std::string& path) { return ScanImage(nullptr, path, false, kCrc).crc; }
