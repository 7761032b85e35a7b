#pragma once
#include <cstdint>
#include <string>

// Why a file's length is refused, for the line under a rejection message that
// does not say it: "文件长度为16899字节,应为整块(每块16896字节)再加2字节".
std::string LengthReason(std::uint64_t length, const std::string& rule);

// The rule of a file made of whole blocks of `blockSize` bytes followed by
// `extra` bytes: "应为整块(每块16896字节)再加2字节", "应为整块(每块16384字节)".
std::string WholeBlocksRule(std::uint64_t blockSize, std::uint64_t extra = 0);
