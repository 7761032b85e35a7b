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

std::string Numbered(const std::string& stem, unsigned number) {
  return stem + (number == 0 ? "" : "." + std::to_string(number)) + ".temp";
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

bool TemporaryFile::Fail(int errorNumber) { return Fail(SystemReason(errorNumber ? errorNumber : EIO)); }

bool TemporaryFile::Fail(const std::string& reason) {
  error_ = reason;
  return false;
}

bool TemporaryFile::Create() {
  Discard();
  std::string stem = target_;
  for (unsigned number = 0;; ++number) {
    path_ = Numbered(stem, number);
    const bool fits = NameFits(path_);
    errno = 0;
    file_ = fits ? CreateNewFile(path_, target_) : nullptr;
    if (file_) break;
    const bool tooLong = !fits || errno == ENAMETOOLONG;
    if (tooLong && stem == target_) {
      stem = ShortStem(target_);
      number = static_cast<unsigned>(-1);  // the short names count from .temp again
      continue;
    }
    if (tooLong) return Fail(ENAMETOOLONG);
    if (errno != EEXIST) return Fail(errno);
  }
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

bool TemporaryFile::Commit(const std::function<bool()>& stillWanted) {
  if (!owned_) return Fail(EBADF);
  if (!Close()) {
    const std::string reason = error_;
    Discard();
    return Fail(reason);
  }
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
