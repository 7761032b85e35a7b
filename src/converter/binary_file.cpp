#include "converter/binary_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/file_exists.h"
#include "common/safe_replace.h"
#include "common/system_reason.h"

namespace fs = std::filesystem;

namespace {

std::FILE* OpenFile(const std::string& path, bool create) {
#ifdef _WIN32
  return _wfopen(PathFromUtf8(path).c_str(), create ? L"wbx" : L"rb");
#else
  return std::fopen(path.c_str(), create ? "wbx" : "rb");
#endif
}

}  // namespace

BinaryFile::~BinaryFile() {
  if (file_) std::fclose(file_);
}

bool BinaryFile::Fail() {
  error_ = errno != 0 ? SystemReason(errno) : "文件意外结束";
  return false;
}

bool BinaryFile::OpenForReading(const std::string& path) {
  errno = 0;
  file_ = OpenFile(path, false);
  return file_ ? true : Fail();
}

bool BinaryFile::CreateNew(const std::string& path) {
  errno = 0;
  file_ = OpenFile(path, true);
  nameTaken_ = !file_ && errno == EEXIST;
  return file_ ? true : Fail();
}

bool BinaryFile::Read(void* buffer, std::size_t count) {
  errno = 0;
  return std::fread(buffer, 1, count, file_) == count ? true : Fail();
}

bool BinaryFile::Write(const void* buffer, std::size_t count) {
  errno = 0;
  return std::fwrite(buffer, 1, count, file_) == count ? true : Fail();
}

bool BinaryFile::SeekTo(std::uint64_t offset) {
  errno = 0;
#ifdef _WIN32
  const int result = _fseeki64(file_, static_cast<long long>(offset), SEEK_SET);
#else
  const int result = fseeko(file_, static_cast<off_t>(offset), SEEK_SET);
#endif
  return result == 0 ? true : Fail();
}

bool BinaryFile::Close() {
  if (!file_) return true;
  errno = 0;
  const int result = std::fclose(file_);
  file_ = nullptr;
  return result == 0 ? true : Fail();
}

bool TemporaryTarget::Create() {
  // target.temp, or target.1.temp and so on when a file of that name exists:
  // a file we did not make is never touched.
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = target_ + (attempt == 0 ? "" : "." + std::to_string(attempt)) + ".temp";
    if (file_.CreateNew(temporary_)) return true;
    if (!file_.NameTaken()) break;
  }
  temporary_.clear();
  return false;
}

bool TemporaryTarget::Commit() {
  if (!file_.Close()) return false;
  if (!ReplaceWithTemporary(temporary_, target_, error_)) return false;
  temporary_.clear();
  return true;
}

void TemporaryTarget::Discard() {
  file_.Close();
  if (temporary_.empty()) return;
  std::error_code ec;
  fs::remove(PathFromUtf8(temporary_), ec);
  temporary_.clear();
}

bool SameFile(const std::string& first, const std::string& second) {
  if (first == second) return true;
  std::error_code ec;
  return fs::equivalent(PathFromUtf8(first), PathFromUtf8(second), ec) && !ec;
}

bool SomethingExistsAt(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(PathFromUtf8(path), ec);
  return !ec && fs::exists(status) && !fs::is_directory(fs::status(PathFromUtf8(path), ec));
}

bool SizeOfFile(const std::string& path, std::uint64_t& size) {
  std::error_code ec;
  size = fs::file_size(PathFromUtf8(path), ec);
  return !ec;
}
