#include "platform/binary_file.h"

#include "platform/file_system.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace zentor::platform {

bool BinaryFile::Open(const std::string& path, FileOpenMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileOpenMode::ReadOnly: flags |= O_RDONLY; break;
    case FileOpenMode::ReadWrite: flags |= O_RDWR; break;
    case FileOpenMode::CreateReadWrite: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case FileOpenMode::OpenOrCreate: flags |= O_RDWR | O_CREAT; break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  // A directory opens read-only on POSIX but is no file of bytes.
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return false;
  }
  m_handle = fd;
  m_mode = mode;
  m_path = path;
  return true;
}

bool BinaryFile::CreateTemporary(const std::string& prefix, const std::string& directory) {
  Close();
  std::string folder = directory.empty() ? TemporaryDirectory() : directory;
  if (folder.empty() || folder.back() != '/') folder += '/';
  // mkostemp creates the file exclusively, so two callers never get the same name.
  const std::string pattern = folder + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  m_handle = fd;
  m_mode = FileOpenMode::ReadWrite;
  m_path = name.data();
  return true;
}

bool BinaryFile::Close() {
  if (!IsOpen()) return true;
  int result = ::close(static_cast<int>(m_handle));
  m_handle = kNoHandle;
  m_path.clear();
  return result == 0;
}

size_t BinaryFile::Read(void* buffer, size_t count) {
  if (!IsOpen()) return 0;
  size_t done = 0;
  while (done < count) {
    ssize_t got = ::read(static_cast<int>(m_handle), static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t BinaryFile::Write(const void* buffer, size_t count) {
  if (!IsWritable()) return 0;
  size_t done = 0;
  while (done < count) {
    ssize_t put = ::write(static_cast<int>(m_handle), static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  return done;
}

int64_t BinaryFile::Seek(int64_t offset, SeekOrigin origin) {
  if (!IsOpen()) return -1;
  int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t at = ::lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), whence);
  return at < 0 ? -1 : static_cast<int64_t>(at);
}

int64_t BinaryFile::Tell() const {
  if (!IsOpen()) return -1;
  off_t at = ::lseek(static_cast<int>(m_handle), 0, SEEK_CUR);
  return at < 0 ? -1 : static_cast<int64_t>(at);
}

int64_t BinaryFile::Size() const {
  if (!IsOpen()) return -1;
  struct stat info;
  if (fstat(static_cast<int>(m_handle), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool BinaryFile::Truncate(int64_t size) {
  if (!IsWritable() || size < 0) return false;
  return ::ftruncate(static_cast<int>(m_handle), static_cast<off_t>(size)) == 0;
}

bool BinaryFile::Flush() {
  if (!IsOpen()) return false;
  return m_mode == FileOpenMode::ReadOnly || ::fsync(static_cast<int>(m_handle)) == 0;
}

}  // namespace zentor::platform
