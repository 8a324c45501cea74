#include "platform/binary_file.h"

#include "platform/file_system.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace zentor::platform {

namespace {

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// ReadFile and WriteFile take 32-bit counts: larger transfers go in pieces.
constexpr DWORD kLargestTransfer = 0x40000000;

}  // namespace

bool BinaryFile::Open(const std::string& path, FileOpenMode mode) {
  Close();
  DWORD access = GENERIC_READ;
  DWORD creation = OPEN_EXISTING;
  switch (mode) {
    case FileOpenMode::ReadOnly: break;
    case FileOpenMode::ReadWrite: access |= GENERIC_WRITE; break;
    case FileOpenMode::CreateReadWrite: access |= GENERIC_WRITE; creation = CREATE_ALWAYS; break;
    case FileOpenMode::OpenOrCreate: access |= GENERIC_WRITE; creation = OPEN_ALWAYS; break;
  }
  HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  m_handle = reinterpret_cast<intptr_t>(handle);
  m_mode = mode;
  m_path = path;
  return true;
}

bool BinaryFile::CreateTemporary(const std::string& prefix, const std::string& directory) {
  Close();
  std::string folder = directory.empty() ? TemporaryDirectory() : directory;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  // The whole prefix and four hex digits, created only when no such file exists.
  // GetTempFileNameA would keep only three characters of the prefix, and renaming its
  // file afterwards fails whenever the longer name is taken.
  const uint32_t start = (GetCurrentProcessId() * 0x9E37u + GetTickCount()) & 0xFFFFu;
  for (uint32_t attempt = 0; attempt < 0x10000u; ++attempt) {
    char digits[8];
    std::snprintf(digits, sizeof(digits), "%04X", static_cast<unsigned>((start + attempt) & 0xFFFFu));
    const std::string path = folder + prefix + digits + ".tmp";
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      m_handle = reinterpret_cast<intptr_t>(handle);
      m_mode = FileOpenMode::ReadWrite;
      m_path = path;
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool BinaryFile::Close() {
  if (!IsOpen()) return true;
  BOOL ok = CloseHandle(Native(m_handle));
  m_handle = kNoHandle;
  m_path.clear();
  return ok != 0;
}

size_t BinaryFile::Read(void* buffer, size_t count) {
  if (!IsOpen()) return 0;
  size_t done = 0;
  while (done < count) {
    DWORD want = count - done > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(count - done);
    DWORD got = 0;
    if (!ReadFile(Native(m_handle), static_cast<char*>(buffer) + done, want, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

size_t BinaryFile::Write(const void* buffer, size_t count) {
  if (!IsWritable()) return 0;
  size_t done = 0;
  while (done < count) {
    DWORD want = count - done > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(count - done);
    DWORD put = 0;
    if (!WriteFile(Native(m_handle), static_cast<const char*>(buffer) + done, want, &put, nullptr) || put == 0) break;
    done += put;
  }
  return done;
}

int64_t BinaryFile::Seek(int64_t offset, SeekOrigin origin) {
  if (!IsOpen()) return -1;
  DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER at;
  if (!SetFilePointerEx(Native(m_handle), distance, &at, method)) return -1;
  return at.QuadPart;
}

int64_t BinaryFile::Tell() const {
  if (!IsOpen()) return -1;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  LARGE_INTEGER at;
  if (!SetFilePointerEx(Native(m_handle), zero, &at, FILE_CURRENT)) return -1;
  return at.QuadPart;
}

int64_t BinaryFile::Size() const {
  if (!IsOpen()) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(m_handle), &size)) return -1;
  return size.QuadPart;
}

bool BinaryFile::Truncate(int64_t size) {
  if (!IsWritable() || size < 0) return false;
  int64_t position = Tell();
  if (position < 0) return false;
  if (Seek(size, SeekOrigin::Begin) < 0) return false;
  BOOL ok = SetEndOfFile(Native(m_handle));
  Seek(position, SeekOrigin::Begin);
  return ok != 0;
}

bool BinaryFile::Flush() {
  if (!IsOpen()) return false;
  return m_mode == FileOpenMode::ReadOnly || FlushFileBuffers(Native(m_handle)) != 0;
}

}  // namespace zentor::platform
