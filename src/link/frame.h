#pragma once
#include <cstddef>
#include <cstdint>

// Control bytes and frame sizes shared by every transfer with the handheld.
namespace wire {
inline constexpr std::uint8_t kHello = 0x08;        // backup: handheld's hello; repair: connection request
inline constexpr std::uint8_t kHelloAnswer = 0x03;  // answer to 0x08
inline constexpr std::uint8_t kNorAnnounce = 0x05;  // a NOR frame follows
inline constexpr std::uint8_t kNandAnnounce = 0xAA; // a NAND frame follows
inline constexpr std::uint8_t kGoAhead = 0x06;      // send the announced frame
inline constexpr std::uint8_t kCheckError = 0x15;   // the handheld found a check error
inline constexpr std::uint8_t kEndFrame = 0x80;     // kind byte of the end frame / format command

inline constexpr std::size_t kHeaderSize = 7;
inline constexpr std::size_t kNorPayload = 256;
inline constexpr std::size_t kNandPayload = 528;
inline constexpr std::size_t kNorFrameSize = kHeaderSize + kNorPayload + 1;    // 264
inline constexpr std::size_t kNandFrameSize = kHeaderSize + kNandPayload + 1;  // 536

inline std::uint8_t XorOf(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t x = 0;
  for (std::size_t i = 0; i < count; ++i) x ^= bytes[i];
  return x;
}

// Sets header byte 6 so that the seven header bytes XOR to 0.
inline void SealHeader(std::uint8_t* header) { header[6] = XorOf(header, 6); }
}  // namespace wire
