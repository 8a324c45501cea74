#include "gui/store_write_channel.h"

#include "platform/file_system.h"

namespace zentor {

StoreWriteChannel::~StoreWriteChannel() = default;

bool StoreWriteChannel::Create(const std::string& path) {
  return m_file.Open(path, platform::FileOpenMode::CreateReadWrite);
}

bool StoreWriteChannel::Write(const void* bytes, std::size_t count) { return m_file.Write(bytes, count) == count; }

bool StoreWriteChannel::Flush() { return m_file.Flush(); }

bool StoreWriteChannel::CloseFile() { return m_file.Close(); }

bool StoreWriteChannel::Replace(const std::string& from, const std::string& to) {
  return platform::RenameReplacing(from, to);
}

bool StoreWriteChannel::Remove(const std::string& path) { return platform::RemoveFile(path); }

}  // namespace zentor
