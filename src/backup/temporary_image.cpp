#include "backup/temporary_image.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/file_exists.h"
#include "common/safe_replace.h"
#include "common/system_reason.h"

bool TemporaryImage::Create(std::string& error) {
  Discard();
  std::error_code ec;
  std::filesystem::remove(PathFromUtf8(path_), ec);
  out_.open(PathFromUtf8(path_), std::ios::binary | std::ios::trunc);
  if (!out_.is_open()) {
    error = path_ + ": " + SystemReason(errno);
    return false;
  }
  exists_ = true;
  return true;
}

void TemporaryImage::Discard() {
  if (out_.is_open()) out_.close();
  if (!exists_) return;
  std::error_code ec;
  std::filesystem::remove(PathFromUtf8(path_), ec);
  exists_ = false;
}

bool TemporaryImage::Commit(std::string& error) {
  out_.flush();
  const bool written = out_.good();
  const int writeErrno = errno;
  out_.close();
  if (!written || out_.fail()) {
    error = path_ + ": " + SystemReason(writeErrno ? writeErrno : EIO);
    Discard();
    return false;
  }
  // From here on the temporary file is complete: it is never deleted, even
  // when it cannot be put in place, so that the backup is not lost.
  exists_ = false;
  return ReplaceWithTemporary(path_, finalPath_, error);
}
