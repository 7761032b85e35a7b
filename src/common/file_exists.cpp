#include "common/file_exists.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "common/system_reason.h"

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const std::filesystem::path p = PathFromUtf8(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) return false;
  std::ifstream in(p, std::ios::binary);
  return in.is_open();
}

std::string UnreadableReason(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty()) return "没有给出文件名";
  const fs::path p = PathFromUtf8(path);
  std::error_code ec;
  const fs::file_status status = fs::status(p, ec);
  switch (status.type()) {
    case fs::file_type::regular: break;
    case fs::file_type::not_found: return SystemReason(ENOENT);
    case fs::file_type::directory: return SystemReason(EISDIR);
    case fs::file_type::block:
    case fs::file_type::character: return "这是一个设备,不是文件";
    case fs::file_type::fifo: return "这是一个管道(FIFO),不是文件";
    case fs::file_type::socket: return "这是一个套接字,不是文件";
    default: return ec ? ErrorCodeReason(ec) : "这不是一个普通文件";
  }
  errno = 0;
  std::ifstream in(p, std::ios::binary);
  if (!in.is_open()) return SystemReason(errno != 0 ? errno : EACCES);
  return {};
}
