#include "image_check/nor_values.h"

#include <algorithm>
#include "common/hex_text.h"
#include "common/image_layout.h"

namespace {

// T(i) of the reflected CRC-16-CCITT table (polynomial 0x8408).
std::array<std::uint16_t, 256> MakeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0x8408 : c >> 1;
    table[i] = static_cast<std::uint16_t>(c);
  }
  return table;
}

const std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

// The CRC covers page 02 and page 03 up to the check area, then page 04 on.
constexpr std::size_t kCrcStart = 2 * nor::kPageSize;
constexpr std::size_t kCheckAreaPage = nor::kCrcOffset - nor::kCrcOffset % nor::kPageSize;

std::uint16_t PairAt(const std::uint8_t* image, std::size_t offset) {
  return static_cast<std::uint16_t>(ReadLowByteFirst(image + offset));
}

}  // namespace

std::array<std::uint8_t, 512> CrcByteTable() {
  std::array<std::uint8_t, 512> table{};
  for (unsigned i = 0; i < 256; ++i) {
    table[i] = static_cast<std::uint8_t>(kCrcTable[i] >> 8);
    table[256 + i] = static_cast<std::uint8_t>(kCrcTable[i] & 0xFF);
  }
  return table;
}

void NorCrc::Update(const std::uint8_t* bytes, std::size_t count) {
  unsigned r = register_;
  for (std::size_t i = 0; i < count; ++i) r = (r >> 8) ^ kCrcTable[(r ^ bytes[i]) & 0xFF];
  register_ = static_cast<std::uint16_t>(r);
}

NorValues ComputeNorValues(const std::uint8_t* image, std::size_t length, const std::function<void()>& afterPage) {
  NorCrc running;
  std::uint32_t total = 0;
  for (std::size_t at = 0; at < length; at += nor::kPageSize) {
    const std::uint8_t* page = image + at;
    const std::size_t count = std::min(nor::kPageSize, length - at);
    for (std::size_t i = 0; i < count; ++i) total += page[i];
    if (at >= kCrcStart) running.Update(page, at == kCheckAreaPage ? nor::kCrcOffset - at : count);
    if (afterPage) afterPage();
  }
  NorValues values;
  values.storedSum = PairAt(image, nor::kCheckSumOffset);
  values.storedCrc = PairAt(image, nor::kCrcOffset);
  values.sum = static_cast<std::uint16_t>(total - image[nor::kCheckSumOffset] - image[nor::kCheckSumOffset + 1]);
  values.crc = running.Value();
  return values;
}

std::string ValuesText(const char* name, std::uint16_t stored, std::uint16_t computed) {
  const auto bytes = [](std::uint16_t value) { return HexBytes(LowByteFirst(value).data(), 2); };
  return std::string(name) + ": 文件中为 " + bytes(stored) + ", 计算值为 " + bytes(computed);
}

void StoreNorValues(std::uint8_t* image, std::size_t length) {
  const auto store = [image](std::size_t offset, std::uint16_t value) {
    const auto pair = LowByteFirst(value);
    std::copy(pair.begin(), pair.end(), image + offset);
  };
  store(nor::kCrcOffset, ComputeNorValues(image, length).crc);
  store(nor::kCheckSumOffset, ComputeNorValues(image, length).sum);
}
