#pragma once
#include <cstdint>
#include <fstream>
#include <string>

// The temporary file a backup writes (the chosen path followed by ".temp").
// The chosen file itself is touched only by Commit, which replaces it in one
// step once every byte is on the disk.
class TemporaryImage {
 public:
  explicit TemporaryImage(std::string finalPath) : finalPath_(std::move(finalPath)), path_(finalPath_ + ".temp") {}
  ~TemporaryImage() { Discard(); }

  const std::string& path() const { return path_; }
  // Deletes any earlier file of the temporary name and creates it empty.
  bool Create(std::string& error);
  void Append(std::uint8_t byte) { out_.put(static_cast<char>(byte)); }
  void Append(const std::uint8_t* bytes, std::size_t count) {
    out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
  }
  // Closes and deletes the temporary file (nothing happens when there is none).
  void Discard();
  // Closes the file, checks that every byte was written, and puts it in place
  // of the chosen file. On failure `error` says what went wrong; the chosen
  // file is unchanged and, when the file was written completely, the
  // temporary file is kept so that the backup is not lost.
  bool Commit(std::string& error);

 private:
  std::string finalPath_;
  std::string path_;
  std::ofstream out_;
  bool exists_ = false;
};
