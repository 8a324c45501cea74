#pragma once
// Questions about files by name: existence, size, removal, renaming, temporary names,
// the current directory and the running program's path.

#include <cstdint>
#include <string>

namespace zentor::platform {

struct FileStatus {
  bool m_exists = false;
  bool m_isDirectory = false;
  int64_t m_size = -1;          // bytes; -1 when missing
  int64_t m_modifiedTime = 0;   // seconds since 1970-01-01 UTC
};

FileStatus StatFile(const std::string& path);
// Whether `path` names the file the host descriptor has open: one file number on one
// device (on Windows, one file index on one volume), however either was spelt. False
// when the name names nothing or the descriptor is not a file.
bool NamesOpenFile(const std::string& path, int hostDescriptor);
// True for an existing file or directory.
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// The size of an existing file, -1 when missing.
int64_t FileSize(const std::string& path);
// Removes a file (not a directory). False when it did not exist or cannot be removed.
bool RemoveFile(const std::string& path);
// Renames a file. An existing target is never replaced: the rename fails and both
// files stay as they were (two processes that arrive at the same name must not end
// up sharing one file).
bool RenameFile(const std::string& from, const std::string& to);
// Renames a file over `to`, replacing an existing file of that name in one step: a
// reader of `to` finds the old file or the new one, never none and never a mix. False
// (both files as they were) when the rename cannot be made.
bool RenameReplacing(const std::string& from, const std::string& to);

// The directory for temporary files, with no trailing separator.
std::string TemporaryDirectory();
// Creates a new empty file with a name no other file has, in `directory` (the temporary
// directory when empty), whose name starts with `prefix`, and returns its full path;
// "" when none could be created. The caller removes the file.
std::string CreateTemporaryFile(const std::string& prefix, const std::string& directory = "");

std::string CurrentDirectory();
// The full path of the running program's file.
std::string ProgramPath();
// The separator between directory names ('/' on POSIX, '\\' on Windows).
char PathSeparator();

}  // namespace zentor::platform
