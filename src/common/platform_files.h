#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

// The file calls that differ between Windows and the rest, each with one
// branch per platform in platform_files.cpp. Paths are UTF-8; on Windows they
// reach the system as wide text, so that any file name works. Failures leave
// errno set (the reason functions: the system's reason in `error`).

// Opens an existing file for reading bytes, or for reading and writing them
// in place.
std::FILE* OpenFileToRead(const std::string& path);
std::FILE* OpenFileToChange(const std::string& path);

// Creates a new file for writing bytes; fails with EEXIST when anything stands
// at `path` already, which is then left untouched. On POSIX it is born with no
// more permission bits than the file `like` has, where one stands there, so
// that it is never more open than the file it is to replace (KeepPermissions
// then gives it the rest).
std::FILE* CreateNewFile(const std::string& path, const std::string& like = {});

// Moves to a byte position anywhere in a large file.
bool SeekFile(std::FILE* file, std::uint64_t offset);

// Cuts a file open for writing back to its first `length` bytes.
bool TruncateFile(std::FILE* file, std::uint64_t length);

// True when files can be created in `folder`.
bool FolderWritable(const std::filesystem::path& folder);

// What keeps the user from replacing the existing file `file` in `folder`
// although the folder takes new files: the file is read-only (no one may
// write it, or Windows' read-only attribute), the user may not write it
// (errno says why: no permission, a read-only file system), or it is another
// user's in a folder that lets only a file's owner replace it (a sticky
// folder such as /tmp). WhatBarsWriting: the first two alone, what keeps
// the file from being changed in place.
enum class ReplaceBarrier { None, ReadOnly, NotWritable, OwnersOnlyFolder };
ReplaceBarrier WhatBarsReplacing(const std::filesystem::path& file, const std::filesystem::path& folder);
ReplaceBarrier WhatBarsWriting(const std::filesystem::path& file);

// Gives the new file `temporary` what the file `target` it replaces says
// about who may use it: on POSIX the permission bits, and the owner and
// group where this process may give them (root may; anyone may give a group
// they belong to); on Windows an access list of the file's own (one that
// inherits nothing from the folder, as a file made private has). Nothing at
// `target`: nothing to keep.
bool KeepPermissions(const std::string& temporary, const std::string& target, std::string& error);

// Flushes the bytes written to an open file to the disk, through the file
// itself: a file we may write but not read (a write-only image) works too.
bool SyncFile(std::FILE* file, std::string& error);

// Renames `from` over `to` in one step, replacing a file standing there.
bool RenameOver(const std::string& from, const std::string& to, std::string& error);
