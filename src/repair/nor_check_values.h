#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/image_layout.h"
#include "image_check/nor_values.h"
#include "link/host.h"

// Corrects and reads the two check values a NOR image carries (see
// image_check/nor_values.h) in the image file itself.

// The result of one correction.
struct CheckFix {
  bool ok = false;           // the image was read (and written where needed)
  std::uint16_t stored = 0;  // the value found in the image before the correction
  std::uint16_t computed = 0;
  bool written = false;      // the two stored bytes were rewritten
};

// Recompute one value over the image file and rewrite its two bytes in place
// when either differs. The image is read first and opened for writing only
// when a value must change, so an image whose values are right is used as it
// is, wherever it lies; one that must change but is read-only (even for
// root), not ours to write or on a read-only file system gives ok = false
// with nothing changed, as does an image that is not whole pages of at least
// 0x20000 bytes. Each shows its status text first and lets events run once
// per page. The NorCheckSum counts the CRC bytes as they stand after the CRC
// correction, so CalNorCheckSum followed by CalNorCrc leaves an image whose
// two values agree with its bytes.
CheckFix CalNorCheckSum(Host& host, const std::string& path);
CheckFix CalNorCrc(Host& host, const std::string& path);

// Both corrections from one reading of the image, with the same results and
// writes as CalNorCheckSum followed by CalNorCrc; an image that cannot take
// both is refused before either is written. True when both could be made;
// otherwise `problem` says why (such as "这是只读文件").
bool CorrectNorCheckValues(Host& host, const std::string& path, CheckFix& sum, CheckFix& crc, std::string& problem);

// The values of the image's bytes as they are, without writing (the image is
// opened for reading only).
CheckFix VerifyNorCheckSum(const std::string& path);
CheckFix VerifyNorCrc(const std::string& path);
