#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The two check values a NOR image carries at the end of page 03:
//   0x1FFF0/0x1FFF1  CRC-16/X-25 of 0x10000..0x1FFEF followed by 0x20000..end
//   0x1FFFE/0x1FFFF  NorCheckSum: the sum of all the image's other bytes, modulo 65536
// both low byte first. Both are computed the plain way, a table lookup per
// byte, over the image read once: a few hundredths of a second for the
// largest image.

// CrcByteTable: entry i holds the high byte and entry 256 + i the low byte of
// T(i), the reflected CRC-16-CCITT table entry (polynomial 0x8408).
std::array<std::uint8_t, 512> CrcByteTable();

// A running CRC-16/X-25: register 0xFFFF, reflected, final complement.
class NorCrc {
 public:
  void Update(const std::uint8_t* bytes, std::size_t count);
  // The value after the final complement.
  std::uint16_t Value() const { return static_cast<std::uint16_t>(~register_); }

 private:
  std::uint16_t register_ = 0xFFFF;
};

// The values an image stores and the ones its bytes give.
struct NorValues {
  std::uint16_t storedCrc = 0, crc = 0, storedSum = 0, sum = 0;
  bool Right() const { return storedCrc == crc && storedSum == sum; }
};

// The values of the `length` bytes of a NOR image, which must hold the check
// area (at least 0x20000 bytes; a partial last page counts as it stands).
// `afterPage` runs once per page of the computation.
NorValues ComputeNorValues(const std::uint8_t* image, std::size_t length, const std::function<void()>& afterPage = {});

// A check value as the file holds it beside the one its bytes give, each as
// its bytes lie in the file (low byte first): "CRC: 文件中为 6E 90, 计算值为 6E 91".
std::string ValuesText(const char* name, std::uint16_t stored, std::uint16_t computed);

// Stores in an image held in memory the values its bytes give: the CRC first,
// as the NorCheckSum counts its bytes.
void StoreNorValues(std::uint8_t* image, std::size_t length);
