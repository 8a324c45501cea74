#include "engine/source_file_cache.h"

#include <string_view>

#include "console/file_channel.h"
#include "platform/path_adapter.h"

namespace zentor {

void SourceFileSlot::Close() {
  if (m_descriptor != -1) FileChannel::Close(m_descriptor);
  m_descriptor = -1;
  m_path = RWCString();
  m_age = kOldest;
}

void SourceFileSlot::Rewind() { FileChannel::Seek(m_descriptor, 0, 0); }

SourceFileCache::~SourceFileCache() { CloseAll(); }

void SourceFileCache::CloseAll() {
  for (SourceFileSlot& slot : m_slots) slot.Close();
}

// 1. The walk ends at the first free slot, which takes a new file.
// 2. Every open slot visited grows older (the hit too); until the file is found, the
//    oldest slot seen is the one a new file replaces (the first of equal ages).
// 3. Ages stop at 255: a file open for long stays the oldest instead of wrapping
//    round to the newest.
int32_t SourceFileCache::Open(const RWCString& path) {
  if (path.isNull()) return -1;
  SourceFileSlot* victim = &m_slots[0];
  SourceFileSlot* hit = nullptr;
  int32_t oldest = -1;
  for (SourceFileSlot& slot : m_slots) {
    if (slot.m_descriptor == -1) {
      if (hit == nullptr) victim = &slot;
      break;
    }
    if (hit == nullptr && slot.m_path == path) {
      slot.Rewind();
      hit = &slot;
    } else if (hit == nullptr && slot.m_age > oldest) {
      oldest = slot.m_age;
      victim = &slot;
    }
    if (slot.m_age < SourceFileSlot::kOldest) ++slot.m_age;
  }
  if (hit != nullptr) return hit->m_descriptor;
  if (victim->m_descriptor != -1) victim->Close();
  // The path is in the debugger's form (a found source file's); the host opens its
  // own form of it.
  const std::string host = platform::ResolveHostPath(std::string_view(path.data(), path.length()));
  if (host.empty()) return -1;
  const int32_t descriptor = FileChannel::Open(host.c_str(), kOpenRead);
  if (descriptor == -1) return -1;
  victim->m_descriptor = descriptor;
  victim->m_path = path;
  victim->m_age = 0;
  return descriptor;
}

}  // namespace zentor
