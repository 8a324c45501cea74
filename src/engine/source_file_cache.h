#pragma once
// The source files a Source window keeps open: four slots, each a descriptor, its
// path and an age that grows whenever the cache is searched. Asking for a file that is
// open rewinds it; a new file replaces the oldest slot. Switching between the modules
// of a program then does not reopen their files.

#include <array>
#include <cstdint>

#include "support/rw_cstring.h"

namespace zentor {

class SourceFileSlot {
 public:
  static constexpr uint8_t kOldest = 255;

  // Closes the file (when open) and clears the slot: descriptor -1, no path, age 255.
  void Close();
  // Back to position 0 of the file.
  void Rewind();

  int32_t Descriptor() const { return m_descriptor; }
  uint8_t Age() const { return m_age; }
  const RWCString& Path() const { return m_path; }

 private:
  friend class SourceFileCache;
  int32_t m_descriptor = -1;
  uint8_t m_age = kOldest;
  RWCString m_path;
};

class SourceFileCache {
 public:
  static constexpr size_t kSlots = 4;

  SourceFileCache() = default;
  ~SourceFileCache();
  SourceFileCache(const SourceFileCache&) = delete;
  SourceFileCache& operator=(const SourceFileCache&) = delete;

  // The descriptor of the file at `path` (compared byte for byte), at position 0, or
  // -1 when the path is empty or the file cannot be opened.
  int32_t Open(const RWCString& path);
  // Closes every slot.
  void CloseAll();

  const SourceFileSlot& Slot(size_t index) const { return m_slots[index]; }

 private:
  std::array<SourceFileSlot, kSlots> m_slots{};
};

}  // namespace zentor
