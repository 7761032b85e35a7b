#include "common/hex_text.h"

#include <cstdio>

std::string Dec2HexStr(std::uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "$%02X", value);
  return text;
}

std::string HexNoZeros(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

std::string BlockHex(unsigned block) { return HexNoZeros(block) + "h"; }

std::string BlockRangeHex(unsigned first, unsigned last) {
  return first == last ? BlockHex(first) : BlockHex(first) + "-" + BlockHex(last);
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char two[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(two, sizeof two, "%02X", bytes[i]);
    if (i) text += ' ';
    text += two;
  }
  return text;
}

std::string BlankNumber(long value) {
  return (value >= 0 ? " " : "") + std::to_string(value);
}
