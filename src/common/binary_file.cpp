#include "common/binary_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/file_exists.h"
#include "common/platform_files.h"
#include "common/system_reason.h"

namespace fs = std::filesystem;

BinaryFile::~BinaryFile() {
  if (file_) std::fclose(file_);
}

bool BinaryFile::Fail() {
  error_ = errno != 0 ? SystemReason(errno) : "文件意外结束";
  return false;
}

bool BinaryFile::OpenForReading(const std::string& path) {
  errno = 0;
  file_ = OpenFileToRead(path);
  return file_ ? true : Fail();
}

bool BinaryFile::OpenForChanging(const std::string& path) {
  errno = 0;
  file_ = OpenFileToChange(path);
  return file_ ? true : Fail();
}

bool BinaryFile::Write(const void* buffer, std::size_t count) {
  errno = 0;
  return std::fwrite(buffer, 1, count, file_) == count && std::fflush(file_) == 0 ? true : Fail();
}

bool BinaryFile::Read(void* buffer, std::size_t count) {
  errno = 0;
  return std::fread(buffer, 1, count, file_) == count ? true : Fail();
}

bool BinaryFile::SeekTo(std::uint64_t offset) {
  errno = 0;
  return SeekFile(file_, offset) ? true : Fail();
}

bool BinaryFile::Close() {
  if (!file_) return true;
  errno = 0;
  const int result = std::fclose(file_);
  file_ = nullptr;
  return result == 0 ? true : Fail();
}

bool SameFile(const std::string& first, const std::string& second) {
  if (first == second) return true;
  std::error_code ec;
  return fs::equivalent(PathFromUtf8(first), PathFromUtf8(second), ec) && !ec;
}

bool SizeOfFile(const std::string& path, std::uint64_t& size) {
  std::error_code ec;
  size = fs::file_size(PathFromUtf8(path), ec);
  return !ec;
}
