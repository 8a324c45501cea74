#pragma once
// Scaffolding of the symbol-table file tests: a page store in memory that fails on
// purpose, a helper that runs code and reports the DVError it raised, and a cache set
// up as the current symbol context's cache for the length of a test.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "symbols/page_cache.h"
#include "symbols/vst_file.h"
#include "core/dv_error.h"

namespace zentor::testing_support {

// Pages kept in a byte vector. Reads, writes and seeks of chosen pages fail while the
// page is in the matching set.
class MemoryPageFile : public PageFile {
 public:
  bool SeekTo(uint32_t offset) override {
    m_position = offset;
    return m_failSeek.count(offset >> kVstPageShift) == 0;
  }
  bool ReadBytes(uint8_t* buffer, uint32_t count) override {
    ++m_reads;
    if (m_failRead.count(m_position >> kVstPageShift) != 0) return false;
    if (static_cast<uint64_t>(m_position) + count > m_bytes.size()) return false;
    std::memcpy(buffer, m_bytes.data() + m_position, count);
    m_position += count;
    return true;
  }
  bool WriteBytes(const uint8_t* bytes, uint32_t count) override {
    ++m_writes;
    if (m_failWrite.count(m_position >> kVstPageShift) != 0) return false;
    if (m_bytes.size() < static_cast<size_t>(m_position) + count) m_bytes.resize(m_position + count);
    std::memcpy(m_bytes.data() + m_position, bytes, count);
    m_position += count;
    return true;
  }

  std::vector<uint8_t> m_bytes;
  uint32_t m_position = 0;
  uint32_t m_reads = 0;
  uint32_t m_writes = 0;
  std::set<uint32_t> m_failRead;
  std::set<uint32_t> m_failWrite;
  std::set<uint32_t> m_failSeek;
};

// What a DVError raised by `body` says; number 0 when nothing was raised.
struct RaisedError {
  uint32_t m_number = 0;
  uint32_t m_severity = 0;
};

template <typename Body>
RaisedError ErrorRaisedBy(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return {error.Number(), error.Severity()};
  }
  return {};
}

// A cache over a MemoryPageFile that is the current symbol context's cache while the
// object lives.
class CurrentMemoryCache {
 public:
  CurrentMemoryCache() {
    auto file = std::make_unique<MemoryPageFile>();
    m_file = file.get();
    m_cache = std::make_unique<PageCache>(std::move(file));
    m_previous = CurrentPageCacheProvider();
    s_current = m_cache.get();
    SetCurrentPageCacheProvider([]() { return s_current; });
  }
  ~CurrentMemoryCache() {
    SetCurrentPageCacheProvider(m_previous);
    s_current = nullptr;
  }
  CurrentMemoryCache(const CurrentMemoryCache&) = delete;
  CurrentMemoryCache& operator=(const CurrentMemoryCache&) = delete;

  PageCache& Cache() { return *m_cache; }
  MemoryPageFile& File() { return *m_file; }

 private:
  static inline PageCache* s_current = nullptr;
  std::unique_ptr<PageCache> m_cache;
  MemoryPageFile* m_file = nullptr;
  PageCacheProvider m_previous = nullptr;
};

}  // namespace zentor::testing_support
