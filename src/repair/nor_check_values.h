#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/image_layout.h"
#include "link/host.h"

// The two check values a NOR image carries at the end of page 03:
//   0x1FFF0/0x1FFF1  CRC-16/X-25 of 0x10000..0x1FFEF followed by 0x20000..end
//   0x1FFFE/0x1FFFF  NorCheckSum: the sum of all the image's other bytes, modulo 65536
// both low byte first. Both are computed the plain way, a table lookup per
// byte, over the image read once: a few hundredths of a second for the
// largest image, before a transfer that takes minutes.

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

// The result of one correction.
struct CheckFix {
  bool ok = false;           // the image was read (and written where needed)
  std::uint16_t stored = 0;  // the value found in the image before the correction
  std::uint16_t computed = 0;
  bool written = false;      // the two stored bytes were rewritten
};

// Recompute one value over the image file in place and rewrite its two bytes
// when either differs; nothing is written when both are right. The file is
// opened for reading and writing, so a read-only or locked image gives
// ok = false with nothing changed, as does an image that is not whole pages
// of at least 0x20000 bytes. Each shows its status text first and lets events
// run once per page. The NorCheckSum counts the CRC bytes as they stand after
// the CRC correction, so CalNorCheckSum followed by CalNorCrc leaves an image
// whose two values agree with its bytes.
CheckFix CalNorCheckSum(Host& host, const std::string& path);
CheckFix CalNorCrc(Host& host, const std::string& path);

// Both corrections from one reading of the image, with the same results and
// writes as CalNorCheckSum followed by CalNorCrc. True when both could be made.
bool CorrectNorCheckValues(Host& host, const std::string& path, CheckFix& sum, CheckFix& crc);

// The values of the image's bytes as they are, without writing (the image is
// opened for reading only).
CheckFix VerifyNorCheckSum(const std::string& path);
CheckFix VerifyNorCrc(const std::string& path);
