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

std::string BlankNumber(long value) {
  return (value >= 0 ? " " : "") + std::to_string(value);
}
