#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A file read or written in blocks, named by a UTF-8 path. Every failing call
// leaves the system's reason in Error().
class BinaryFile {
 public:
  BinaryFile() = default;
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;
  ~BinaryFile();

  bool OpenForReading(const std::string& path);
  // Creates the file for writing; fails when anything of that name exists.
  bool CreateNew(const std::string& path);

  // Exactly `count` bytes; a file that ends sooner is an error.
  bool Read(void* buffer, std::size_t count);
  bool Write(const void* buffer, std::size_t count);
  bool SeekTo(std::uint64_t offset);
  // Closes the file; false when buffered bytes could not be written.
  bool Close();

  bool IsOpen() const { return file_ != nullptr; }
  // True when the last failed CreateNew found the name taken.
  bool NameTaken() const { return nameTaken_; }
  const std::string& Error() const { return error_; }

 private:
  bool Fail();
  std::FILE* file_ = nullptr;
  bool nameTaken_ = false;
  std::string error_;
};

// The new contents of a target file, written to a temporary file beside it
// that replaces the target only when Commit succeeds. Anything else removes
// the temporary file and leaves the target as it was.
class TemporaryTarget {
 public:
  explicit TemporaryTarget(std::string target) : target_(std::move(target)) {}
  ~TemporaryTarget() { Discard(); }

  bool Create();
  bool Write(const void* buffer, std::size_t count) { return file_.Write(buffer, count); }
  bool Commit();
  void Discard();

  const std::string& Error() const { return error_.empty() ? file_.Error() : error_; }

 private:
  std::string target_;
  std::string temporary_;
  BinaryFile file_;
  std::string error_;
};

// Same file under two names: the same text, or the same file by identity
// (a relative form, another case on a case-blind disk, a link).
bool SameFile(const std::string& first, const std::string& second);

// Anything but a folder stands at the path (whether readable or not).
bool SomethingExistsAt(const std::string& path);

// Size of a file, false when it cannot be taken.
bool SizeOfFile(const std::string& path, std::uint64_t& size);
