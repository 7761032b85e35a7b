#pragma once
#include <cstddef>
#include <cstdint>

#include "common/image_layout.h"

// The serial exchange: single control bytes, then frames of a 7-byte header
// (a kind byte, five field bytes, their XOR check), a payload and its XOR.
namespace wire {
inline constexpr std::uint8_t kHello = 0x08;        // backup: the handheld's hello; repair: connection request
inline constexpr std::uint8_t kHelloAnswer = 0x03;  // answer to 0x08
inline constexpr std::uint8_t kNorAnnounce = 0x05;  // a NOR frame follows
inline constexpr std::uint8_t kNandAnnounce = 0xAA; // a NAND frame follows
inline constexpr std::uint8_t kGoAhead = 0x06;      // send the announced frame
inline constexpr std::uint8_t kCheckError = 0x15;   // the handheld found a check error in the frame before
inline constexpr std::uint8_t kEndFrame = 0x80;     // kind byte of the end frame, which is also the format command

inline constexpr std::size_t kHeaderSize = 7;                                  // kind, five fields, check
inline constexpr std::size_t kNorPayload = 256;                                // a NOR frame's share of a page
inline constexpr std::size_t kNandPayload = nand::kPageSize;                   // a NAND frame carries one page
inline constexpr std::size_t kNorFrameSize = kHeaderSize + kNorPayload + 1;    // 264
inline constexpr std::size_t kNandFrameSize = kHeaderSize + kNandPayload + 1;  // 536, the largest frame
inline constexpr int kNorFramesPerPage = nor::kPageSize / kNorPayload;         // 128

// A repair's NOR frame: kind, page, address low byte 00 and high byte (page
// 00 from 0x80, any other page from 0x40, one more per frame), then the
// payload length. A NAND frame: block code (nand::BlockCode) high and low
// byte, 00, twice the page index, then the payload length. Lengths go low
// byte first.
inline constexpr std::uint8_t kNorFrameKind = 0x40;    // kind byte of a repair's NOR frame
inline constexpr std::uint8_t kPage00Address = 0x80;   // address high byte of page 00's first frame
inline constexpr std::uint8_t kOtherPageAddress = 0x40;  // the same for every other page

inline std::uint8_t XorOf(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t x = 0;
  for (std::size_t i = 0; i < count; ++i) x ^= bytes[i];
  return x;
}

// Header bytes 4 and 5: the payload length, low byte first.
inline void PutLength(std::uint8_t* header, std::size_t payload) {
  header[4] = static_cast<std::uint8_t>(payload & 0xFF);
  header[5] = static_cast<std::uint8_t>(payload >> 8);
}
inline bool HasLength(const std::uint8_t* header, std::size_t payload) { return header[4] + header[5] * 256u == payload; }

// Sets header byte 6 so that the seven header bytes XOR to 0.
inline void SealHeader(std::uint8_t* header) { header[6] = XorOf(header, 6); }
}  // namespace wire
