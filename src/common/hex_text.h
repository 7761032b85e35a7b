#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// "$" and two upper-case hexadecimal digits: 0 -> "$00", 10 -> "$0A", 255 -> "$FF".
std::string Dec2HexStr(std::uint8_t value);

// Upper-case hexadecimal without leading zeros, as block numbers are shown: 0xC32 -> "C32".
std::string HexNoZeros(unsigned value);
// A block number as messages show it: 0xC32 -> "C32h".
std::string BlockHex(unsigned block);
// Bytes as upper-case hexadecimal pairs between blanks: "6E 90".
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);
// A range of block numbers: "2h-5h", or "5h" alone when first and last are one.
std::string BlockRangeHex(unsigned first, unsigned last);

// A non-negative number as messages show it: one leading blank, then decimal digits (" 5").
std::string BlankNumber(long value);
