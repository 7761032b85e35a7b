#pragma once
#include <cstddef>
#include <cstdint>

// The inner loops of the NOR check values, as fast as the machine allows:
// carry-less multiplication where the processor has it, eight bytes per step
// through tables elsewhere. Both give exactly the one-byte-at-a-time results.

// The entry T(i) of the reflected CRC-16-CCITT table (polynomial 0x8408).
std::uint16_t CrcTableEntry(unsigned i);

// Runs the CRC register (reflected, polynomial 0x8408, no final complement)
// over `count` bytes; adds the bytes to `*sum` on the way when given.
std::uint16_t CrcRegisterUpdate(std::uint16_t reg, const std::uint8_t* bytes, std::size_t count, std::uint32_t* sum = nullptr);
// The same eight bytes per step through tables, on every processor.
std::uint16_t CrcRegisterUpdateTables(std::uint16_t reg, const std::uint8_t* bytes, std::size_t count);

// The sum of `count` bytes (count below 2^24).
std::uint32_t ByteSum(const std::uint8_t* bytes, std::size_t count);
