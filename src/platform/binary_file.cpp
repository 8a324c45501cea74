#include "platform/binary_file.h"

#include "platform/file_system.h"

#include <utility>

namespace zentor::platform {

BinaryFile::BinaryFile(BinaryFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kNoHandle)), m_mode(other.m_mode), m_path(std::move(other.m_path)) {}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = std::exchange(other.m_handle, kNoHandle);
    m_mode = other.m_mode;
    m_path = std::move(other.m_path);
  }
  return *this;
}

// A temporary file made and closed at once: the file stays, named, for the caller.
std::string CreateTemporaryFile(const std::string& prefix, const std::string& directory) {
  BinaryFile file;
  if (!file.CreateTemporary(prefix, directory)) return "";
  std::string path = file.Path();
  file.Close();
  return path;
}

}  // namespace zentor::platform
