#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A file read in blocks, or changed in place, named by a UTF-8 path. Every
// failing call leaves the system's reason in Error(). (New files are written
// through TemporaryFile.)
class BinaryFile {
 public:
  BinaryFile() = default;
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;
  ~BinaryFile();

  bool OpenForReading(const std::string& path);
  // For reading and for writing in place: a file that may not be written
  // does not open.
  bool OpenForChanging(const std::string& path);

  // Exactly `count` bytes; a file that ends sooner is an error.
  bool Read(void* buffer, std::size_t count);
  // Writes `count` bytes at the current position and hands them to the
  // system before it returns. Move (SeekTo) between reading and writing.
  bool Write(const void* buffer, std::size_t count);
  bool SeekTo(std::uint64_t offset);
  bool Close();

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Error() const { return error_; }

 private:
  bool Fail();
  std::FILE* file_ = nullptr;
  std::string error_;
};

// Same file under two names: the same text, or the same file by identity
// (a relative form, another case on a case-blind disk, a link).
bool SameFile(const std::string& first, const std::string& second);

// Size of a file, false when it cannot be taken.
bool SizeOfFile(const std::string& path, std::uint64_t& size);
