#include "repair/nor_check_values.h"

#include <fstream>
#include <vector>

#include "common/file_exists.h"
#include "repair/repair_checks.h"

namespace {

constexpr std::uint16_t kReflectedPolynomial = 0x8408;

constexpr std::uint16_t TableEntry(unsigned i) {
  std::uint16_t c = static_cast<std::uint16_t>(i);
  for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ kReflectedPolynomial) : static_cast<std::uint16_t>(c >> 1);
  return c;
}

// Eight tables for taking eight bytes per step; the first one is T itself.
struct SlicingTables {
  std::uint16_t t[8][256];
  constexpr SlicingTables() : t{} {
    for (unsigned i = 0; i < 256; ++i) t[0][i] = TableEntry(i);
    for (int k = 1; k < 8; ++k)
      for (unsigned i = 0; i < 256; ++i) t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  }
};
constexpr SlicingTables kTables;

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
  bool ReadPage(std::uint64_t page, std::vector<std::uint8_t>& bytes) {
    bytes.resize(kNorPageSize);
    file.seekg(static_cast<std::streamoff>(page * kNorPageSize));
    return static_cast<bool>(file.read(reinterpret_cast<char*>(bytes.data()), kNorPageSize));
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
};

std::uint16_t PairAt(const std::vector<std::uint8_t>& page, std::uint64_t offsetInPage) {
  return static_cast<std::uint16_t>(page[offsetInPage] | (page[offsetInPage + 1] << 8));
}

constexpr std::uint64_t kCheckPage = kNorCrcOffset / kNorPageSize;  // page 03
constexpr std::uint64_t kCrcInPage = kNorCrcOffset % kNorPageSize;
constexpr std::uint64_t kSumInPage = kNorCheckSumOffset % kNorPageSize;

}  // namespace

std::array<std::uint8_t, 512> CrcByteTable() {
  std::array<std::uint8_t, 512> table{};
  for (unsigned i = 0; i < 256; ++i) {
    const std::uint16_t t = TableEntry(i);
    table[i] = static_cast<std::uint8_t>(t >> 8);
    table[256 + i] = static_cast<std::uint8_t>(t & 0xFF);
  }
  return table;
}

NorCrc::NorCrc() = default;

void NorCrc::Update(const std::uint8_t* bytes, std::size_t count) {
  const auto& t = kTables.t;
  std::uint16_t crc = register_;
  while (count >= 8) {
    const unsigned b0 = bytes[0] ^ (crc & 0xFF);
    const unsigned b1 = bytes[1] ^ (crc >> 8);
    crc = static_cast<std::uint16_t>(t[7][b0] ^ t[6][b1] ^ t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]] ^
                                     t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]]);
    bytes += 8;
    count -= 8;
  }
  for (; count > 0; --count, ++bytes) crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ *bytes) & 0xFF]);
  register_ = crc;
}

namespace {

// One pass of each value over the image; writes only when `write` is set.
CheckFix SumPass(Host* host, const std::string& path, bool write) {
  CheckFix fix;
  OpenImage image;
  if (!image.Open(path, write)) return fix;
  std::vector<std::uint8_t> page;
  std::uint32_t sum = 0;
  std::uint16_t stored = 0;
  for (std::uint64_t p = 0; p < image.length / kNorPageSize; ++p) {
    if (!image.ReadPage(p, page)) return fix;
    std::uint32_t pageSum = 0;
    for (std::uint8_t b : page) pageSum += b;
    if (p == kCheckPage) {
      stored = PairAt(page, kSumInPage);
      pageSum -= page[kSumInPage] + page[kSumInPage + 1];  // the sum leaves out its own two bytes
    }
    sum += pageSum;
    if (host) host->ProcessEvents();
  }
  fix.ok = image.StorePair(kNorCheckSumOffset, stored, static_cast<std::uint16_t>(sum), fix);
  return fix;
}

CheckFix CrcPass(Host* host, const std::string& path, bool write) {
  CheckFix fix;
  OpenImage image;
  if (!image.Open(path, write)) return fix;
  std::vector<std::uint8_t> page;
  NorCrc crc;
  std::uint16_t stored = 0;
  for (std::uint64_t p = 2; p < image.length / kNorPageSize; ++p) {
    if (!image.ReadPage(p, page)) return fix;
    std::size_t count = page.size();
    if (p == kCheckPage) {
      stored = PairAt(page, kCrcInPage);
      count = kCrcInPage;  // the check area stays outside the CRC
    }
    crc.Update(page.data(), count);
    if (host) host->ProcessEvents();
  }
  fix.ok = image.StorePair(kNorCrcOffset, stored, crc.Value(), fix);
  return fix;
}

}  // namespace

CheckFix CalNorCheckSum(Host& host, const std::string& path) {
  host.SetStatus("计算NorCheckSum...");
  return SumPass(&host, path, true);
}

CheckFix CalNorCrc(Host& host, const std::string& path) {
  host.SetStatus("校正CRC...");
  return CrcPass(&host, path, true);
}

CheckFix VerifyNorCheckSum(const std::string& path) { return SumPass(nullptr, path, false); }
CheckFix VerifyNorCrc(const std::string& path) { return CrcPass(nullptr, path, false); }
