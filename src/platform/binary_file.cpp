#include "platform/binary_file.h"

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

}  // namespace zentor::platform
