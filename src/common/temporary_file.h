#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// The new contents of a target file, written to a temporary file in the
// target's folder and put in its place only once complete.
//
// The temporary file is created exclusively: TARGET.temp, else TARGET.1.temp,
// TARGET.2.temp and so on, so that a file this run did not create (an image
// an earlier run kept, another run's temporary file) is never opened,
// truncated or deleted, and leftovers never stop a run. A name too long for
// the file system falls back to a short one in the same folder. Writes go
// straight to the file, so that a full disk or a failing drive is noticed at
// the write that meets it.
class TemporaryFile {
 public:
  // `target` is the file to replace, as CheckTarget resolved it.
  explicit TemporaryFile(std::string target) : target_(std::move(target)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Discard(); }

  // Creates a new, empty temporary file (discarding our earlier one) with the
  // permissions and owner the target has (those of any new file when there is
  // none yet), so that a private image is never readable through its
  // temporary file, not even one left behind by a power cut.
  bool Create();
  bool Write(const void* bytes, std::size_t count);
  // Cuts the file back to its first `length` bytes; writes go on from there.
  bool TruncateTo(std::uint64_t length);
  // The bytes the file holds.
  std::uint64_t Size() const { return written_; }
  // Closes the file, flushes it to the disk and renames it over the target
  // in one step. On failure the target is unchanged; a file that could not be
  // closed is incomplete and deleted, a complete one is still ours (Holds):
  // Discard removes it, Keep leaves it for the user.
  //
  // `stillWanted`, when given, is asked once the bytes are on the disk, just
  // before the rename: that one moment decides. False there (the run was
  // cancelled or interrupted, also while the disk was flushing) deletes the
  // temporary file and leaves the target as it was: Commit fails and
  // Withdrawn() says why. Once renamed, the new file stays whatever follows.
  bool Commit(const std::function<bool()>& stillWanted = {});
  bool Withdrawn() const { return withdrawn_; }
  // Closes the file, flushes it to the disk and gives it the first free
  // name of stem + suffix, stem.1 + suffix and so on (see CreateFreeFile),
  // which path() then names; it is no longer ours. On failure as Commit.
  bool KeepAsNew(const std::string& stem, const std::string& suffix);
  // Closes and deletes our temporary file; nothing happens when there is none.
  void Discard();
  // Leaves a complete temporary file in place (it is no longer ours).
  void Keep();

  // A temporary file of ours stands at path().
  bool Holds() const { return owned_; }
  // The temporary file's name (after a failed Create, the name it tried).
  const std::string& path() const { return path_; }
  // The system's reason for the last failure.
  const std::string& Error() const { return error_; }
  // The last failure was a full disk.
  bool DiskFull() const { return diskFull_; }

 private:
  // Keep the reason for a failure; false.
  bool Fail(int errorNumber);
  bool Fail(const std::string& reason);
  bool Close();
  // Puts the bytes written on the disk, through the file we hold.
  bool Sync();
  // Closes a file of ours for good; one that cannot be closed is incomplete and deleted.
  bool Finish();

  std::string target_;
  std::string path_;
  std::FILE* file_ = nullptr;
  bool owned_ = false;  // the file at path_ is ours to delete
  bool withdrawn_ = false;
  std::uint64_t written_ = 0;
  std::string error_;
  bool diskFull_ = false;
};

// Creates a new file exclusively under the first free name of stem + suffix,
// stem.1 + suffix, stem.2 + suffix and so on (a name too long for the file
// system falls back to a short stem in the same folder), so that no file
// standing there is ever opened or truncated; no more open than the file
// `like` (see CreateNewFile). Returns it open for writing bytes, with its
// name in `path`; null with errno set on failure.
std::FILE* CreateFreeFile(const std::string& stem, const std::string& suffix, std::string& path,
                          const std::string& like = {});

// Tests stand in a full disk or a failing drive here. While set, the function
// sees every write to a temporary file (the bytes the file holds so far and
// the count to add) and fails it by returning an error number, as the system
// would; 0 lets the write through.
using WriteFault = std::function<int(std::uint64_t written, std::size_t count)>;
void SetWriteFault(WriteFault fault);

// Tests stand in a slow disk here: while set, the function runs as a
// temporary file is flushed to the disk, before its rename is decided.
void SetSlowFlush(std::function<void()> flushing);
