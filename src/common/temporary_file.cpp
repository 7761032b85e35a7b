#include "common/temporary_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/file_exists.h"
#include "common/platform_files.h"
#include "common/safe_replace.h"
#include "common/system_reason.h"
#include "common/target_check.h"

namespace fs = std::filesystem;

namespace {

WriteFault& Fault() {
  static WriteFault fault;
  return fault;
}

std::function<void()>& SlowFlush() {
  static std::function<void()> flushing;
  return flushing;
}

// Longest file name (one path component) that file systems commonly take:
// 255 bytes on Linux, 255 UTF-16 units on Windows.
constexpr std::size_t kLongestName = 255;
// Bytes of the target's name kept in the short fallback name.
constexpr std::size_t kShortStem = 40;

std::string Numbered(const std::string& stem, unsigned number, const std::string& suffix) {
  return stem + (number == 0 ? "" : "." + std::to_string(number)) + suffix;
}

bool NameFits(const std::string& path) {
  return PathFromUtf8(path).filename().native().size() <= kLongestName;
}

// The start of the target's name, cut at a character boundary.
std::string ShortStem(const std::string& target) {
  const fs::path p = PathFromUtf8(target);
  std::string name = Utf8FromPath(p.filename());
  if (name.size() > kShortStem) {
    std::size_t cut = kShortStem;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return Utf8FromPath(p.parent_path() / PathFromUtf8(name));
}

}  // namespace

void SetWriteFault(WriteFault fault) { Fault() = std::move(fault); }
void SetSlowFlush(std::function<void()> flushing) { SlowFlush() = std::move(flushing); }

bool TemporaryFile::Fail(int errorNumber) {
  Fail(SystemReason(errorNumber ? errorNumber : EIO));
  diskFull_ = errorNumber == ENOSPC;
  return false;
}

bool TemporaryFile::Fail(const std::string& reason) {
  error_ = reason;
  diskFull_ = false;
  return false;
}

std::FILE* CreateFreeFile(const std::string& stem, const std::string& suffix, std::string& path,
                          const std::string& like) {
  std::string tried = stem;
  for (unsigned number = 0;; ++number) {
    path = Numbered(tried, number, suffix);
    const bool fits = NameFits(path);
    errno = 0;
    if (std::FILE* file = fits ? CreateNewFile(path, like) : nullptr) return file;
    const bool tooLong = !fits || errno == ENAMETOOLONG;
    if (tooLong && tried == stem) {
      tried = ShortStem(stem);
      number = static_cast<unsigned>(-1);  // the short names count from the first again
      continue;
    }
    if (tooLong) errno = ENAMETOOLONG;
    if (tooLong || errno != EEXIST) return nullptr;
  }
}

bool TemporaryFile::Create() {
  Discard();
  file_ = CreateFreeFile(target_, ".temp", path_, target_);
  if (!file_) return Fail(errno);
  std::setvbuf(file_, nullptr, _IONBF, 0);
  owned_ = true;
  withdrawn_ = false;
  written_ = 0;
  std::string reason;
  if (!KeepPermissions(path_, target_, reason)) {
    Discard();
    return Fail(reason);
  }
  return true;
}

bool TemporaryFile::Write(const void* bytes, std::size_t count) {
  if (!file_) return Fail(EBADF);
  if (const WriteFault& fault = Fault())
    if (const int injected = fault(written_, count)) return Fail(injected);
  errno = 0;
  if (std::fwrite(bytes, 1, count, file_) != count) return Fail(errno);
  written_ += count;
  return true;
}

bool TemporaryFile::Close() {
  if (!file_) return true;
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed || Fail(errno);
}

bool TemporaryFile::TruncateTo(std::uint64_t length) {
  if (!file_) return Fail(EBADF);
  errno = 0;
  if (!TruncateFile(file_, length) || !SeekFile(file_, length)) return Fail(errno);
  written_ = length;
  return true;
}

bool TemporaryFile::Sync() {
  if (!file_) return Fail(EBADF);
  return SyncFile(file_, error_);
}

bool TemporaryFile::Finish() {
  if (!owned_) return Fail(EBADF);
  if (Close()) return true;
  const std::string reason = error_;
  Discard();
  return Fail(reason);
}

bool TemporaryFile::Commit(const std::function<bool()>& stillWanted) {
  if (!Sync() || !Finish()) return false;
  // The target may have changed since it was checked before the transfer.
  const Target now = CheckTarget(target_);
  if (!now.problem.empty()) return Fail(now.problem);
  const auto decide = [&] {
    if (const auto& flushing = SlowFlush()) flushing();
    withdrawn_ = stillWanted && !stillWanted();
    return !withdrawn_;
  };
  if (!ReplaceWithTemporary(path_, target_, error_, decide)) {
    if (withdrawn_) Discard();
    return false;
  }
  owned_ = false;
  return true;
}

bool TemporaryFile::KeepAsNew(const std::string& stem, const std::string& suffix) {
  // The name is taken by a new empty file of ours, which the file then replaces.
  std::string name;
  std::FILE* reserved = CreateFreeFile(stem, suffix, name, target_);
  if (!reserved) return Fail(name + ": " + SystemReason(errno));
  std::fclose(reserved);
  if (!Sync() || !Finish() || !RenameOver(path_, name, error_)) {
    std::error_code ec;
    fs::remove(PathFromUtf8(name), ec);
    return false;
  }
  path_ = name;
  owned_ = false;
  return true;
}

void TemporaryFile::Discard() {
  Close();
  if (!owned_) return;
  std::error_code ec;
  fs::remove(PathFromUtf8(path_), ec);
  owned_ = false;
}

void TemporaryFile::Keep() {
  Close();
  owned_ = false;
}
