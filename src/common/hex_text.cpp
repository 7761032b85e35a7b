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

std::string BlankNumber(long value) {
  return (value >= 0 ? " " : "") + std::to_string(value);
}
