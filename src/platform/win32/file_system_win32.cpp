#include "platform/file_system.h"

#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace zentor::platform {

namespace {

// FILETIME counts 100 ns steps from 1601-01-01; the Unix epoch is 11644473600 s later.
int64_t UnixSeconds(const FILETIME& time) {
  uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
}

}  // namespace

FileStatus StatFile(const std::string& path) {
  FileStatus status;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return status;
  status.m_exists = true;
  status.m_isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.m_size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  status.m_modifiedTime = UnixSeconds(data.ftLastWriteTime);
  return status;
}

// The C runtime's descriptors carry no file numbers (its st_ino is always 0): the
// system's file index of each handle is compared instead.
bool NamesOpenFile(const std::string& path, int hostDescriptor) {
  if (path.empty() || hostDescriptor < 0) return false;
  const intptr_t raw = _get_osfhandle(hostDescriptor);
  if (raw == -1) return false;
  const HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION namedInfo;
  BY_HANDLE_FILE_INFORMATION openInfo;
  const bool same = GetFileInformationByHandle(named, &namedInfo) &&
                    GetFileInformationByHandle(reinterpret_cast<HANDLE>(raw), &openInfo) &&
                    namedInfo.dwVolumeSerialNumber == openInfo.dwVolumeSerialNumber &&
                    namedInfo.nFileIndexHigh == openInfo.nFileIndexHigh &&
                    namedInfo.nFileIndexLow == openInfo.nFileIndexLow;
  CloseHandle(named);
  return same;
}

bool FileExists(const std::string& path) { return StatFile(path).m_exists; }
bool IsDirectory(const std::string& path) { return StatFile(path).m_isDirectory; }

int64_t FileSize(const std::string& path) {
  FileStatus status = StatFile(path);
  return status.m_exists && !status.m_isDirectory ? status.m_size : -1;
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return false;
  return DeleteFileA(path.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  // Write-through: the call returns only once the new name is on the disk.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string TemporaryDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof(buffer), buffer);
  if (length == 0 || length > MAX_PATH) return ".";
  std::string directory(buffer, length);
  while (directory.size() > 3 && (directory.back() == '\\' || directory.back() == '/')) directory.pop_back();
  return directory;
}

std::string CurrentDirectory() {
  DWORD length = GetCurrentDirectoryA(0, nullptr);
  if (length == 0) return "";
  std::vector<char> buffer(length + 1);
  length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  return std::string(buffer.data(), length);
}

std::string ProgramPath() {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

char PathSeparator() { return '\\'; }

}  // namespace zentor::platform
