#include "platform/file_system.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace zentor::platform {

FileStatus StatFile(const std::string& path) {
  FileStatus status;
  struct stat info;
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return status;
  status.m_exists = true;
  status.m_isDirectory = S_ISDIR(info.st_mode);
  status.m_size = static_cast<int64_t>(info.st_size);
  status.m_modifiedTime = static_cast<int64_t>(info.st_mtime);
  return status;
}

bool NamesOpenFile(const std::string& path, int hostDescriptor) {
  struct stat named;
  struct stat open;
  if (path.empty() || hostDescriptor < 0 || ::stat(path.c_str(), &named) != 0 || ::fstat(hostDescriptor, &open) != 0) {
    return false;
  }
  return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

bool FileExists(const std::string& path) { return StatFile(path).m_exists; }
bool IsDirectory(const std::string& path) { return StatFile(path).m_isDirectory; }

int64_t FileSize(const std::string& path) {
  FileStatus status = StatFile(path);
  return status.m_exists && !status.m_isDirectory ? status.m_size : -1;
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return false;
#ifndef __linux__
  // A privileged unlink may take a directory on some systems: it is asked about first.
  // Linux never unlinks a directory (EISDIR), so there the call itself is the check.
  if (IsDirectory(path)) return false;
#endif
  return ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  // A hard link fails when the target exists, atomically; the old name then goes.
  if (::link(from.c_str(), to.c_str()) == 0) {
    // Should the old name stay, the file is still reachable under the new one.
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // A file system without hard links: the check and the rename are two steps there.
  struct stat existing;
  if (::stat(to.c_str(), &existing) == 0) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string TemporaryDirectory() {
  const char* fromEnvironment = std::getenv("TMPDIR");
  std::string directory = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/tmp";
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "";
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

std::string ProgramPath() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return "";
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(length));
    buffer.resize(buffer.size() * 2);
  }
}

char PathSeparator() { return '/'; }

}  // namespace zentor::platform
