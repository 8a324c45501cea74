#include "command/name_hash_table.h"

#include <cstring>
#include <new>

#include "core/checked_alloc.h"
#include "core/dv_error.h"

namespace zentor {

// One allocation: this header, then the name bytes (not NUL-terminated).
struct NameHashTable::Entry {
  Entry* next;
  uint32_t value;
  uint8_t length;
  // Unlinked while a walk runs; freed when the walk ends.
  bool removed;
};

NameHashTable::NameHashTable() = default;

NameHashTable::~NameHashTable() {
  for (Entry*& head : m_buckets) {
    while (head != nullptr) {
      Entry* next = head->next;
      FreeEntry(head);
      head = next;
    }
  }
  for (Entry* entry : m_deferred) FreeEntry(entry);
  for (Entry*& head : m_spare) {
    while (head != nullptr) {
      Entry* next = head->next;
      CheckedFree(head);
      head = next;
    }
  }
  if (m_block != nullptr) CheckedFree(m_block);
}

std::unique_ptr<NameHashTable> NameHashTable::Create() { return std::make_unique<NameHashTable>(); }

namespace {

std::size_t EntrySpan(std::size_t headerSize, std::size_t alignment, uint8_t length) {
  return (headerSize + length + alignment - 1) / alignment * alignment;
}

}  // namespace

std::unique_ptr<NameHashTable> NameHashTable::Clone() const {
  std::unique_ptr<NameHashTable> copy = Create();
  std::size_t size = 0;
  for (const Entry* head : m_buckets) {
    for (const Entry* entry = head; entry != nullptr; entry = entry->next) {
      size += EntrySpan(sizeof(Entry), alignof(Entry), entry->length);
    }
  }
  if (size == 0) return copy;
  copy->m_block = static_cast<uint8_t*>(CheckedAlloc(size));
  copy->m_blockEnd = copy->m_block + size;
  uint8_t* next = copy->m_block;
  for (uint16_t bucket = 0; bucket < kBucketCount; ++bucket) {
    Entry** link = &copy->m_buckets[bucket];
    for (const Entry* entry = m_buckets[bucket]; entry != nullptr; entry = entry->next) {
      auto* placed = new (next) Entry{nullptr, entry->value, entry->length, false};
      if (entry->length > 0) std::memcpy(placed + 1, NameOf(entry), entry->length);
      next += EntrySpan(sizeof(Entry), alignof(Entry), entry->length);
      if (entry == m_current) {
        copy->m_current = placed;
        copy->m_currentBucket = bucket;
      }
      *link = placed;
      link = &placed->next;
    }
  }
  copy->m_count = m_count;
  std::memcpy(copy->m_cloneHeads, copy->m_buckets, sizeof copy->m_buckets);
  copy->m_cloneCurrent = copy->m_current;
  copy->m_cloneCurrentBucket = copy->m_currentBucket;
  copy->m_cloneCount = m_count;
  copy->m_cloneIntact = true;
  return copy;
}

// Entries are entered at the head of their bucket and the clone's entries are all
// still there, so each bucket is the entries entered since, newest first, in front of
// the clone's chain.
bool NameHashTable::RollBackToClone() {
  if (!m_cloneIntact || m_walkDepth > 0) return false;
  for (uint16_t bucket = 0; bucket < kBucketCount; ++bucket) {
    Entry*& head = m_buckets[bucket];
    while (head != m_cloneHeads[bucket]) {
      if (head == nullptr || InBlock(head)) ZENTOR_INTERNAL_ERROR();
      Entry* entry = head;
      head = entry->next;
      const uint16_t step = SizeStepOf(entry->length);
      entry->next = m_spare[step];
      m_spare[step] = entry;
    }
  }
  m_current = m_cloneCurrent;
  m_currentBucket = m_cloneCurrentBucket;
  m_count = m_cloneCount;
  return true;
}

uint16_t NameHashTable::BucketOf(uint16_t length, const void* name) {
  const auto* bytes = static_cast<const uint8_t*>(name);
  uint8_t sum = static_cast<uint8_t>(length & 0xFF);
  for (uint16_t i = length; i > 0; --i) sum = static_cast<uint8_t>(sum + bytes[i - 1]);
  return static_cast<uint16_t>(sum % kBucketCount);
}

NameHashTable::Entry* NameHashTable::NewEntry(uint16_t length, const void* name, uint32_t value) {
  const uint16_t step = SizeStepOf(length);
  void* block = m_spare[step];
  if (block != nullptr) {
    m_spare[step] = m_spare[step]->next;
  } else {
    block = CheckedAlloc(sizeof(Entry) + step * 16u);
  }
  auto* entry = new (block) Entry{nullptr, value, static_cast<uint8_t>(length), false};
  if (length > 0) std::memcpy(reinterpret_cast<uint8_t*>(entry + 1), name, length);
  return entry;
}

bool NameHashTable::InBlock(const Entry* entry) const {
  const auto address = reinterpret_cast<std::uintptr_t>(entry);
  return address >= reinterpret_cast<std::uintptr_t>(m_block) && address < reinterpret_cast<std::uintptr_t>(m_blockEnd);
}

void NameHashTable::FreeEntry(Entry* entry) {
  entry->~Entry();
  if (!InBlock(entry)) CheckedFree(entry);
}

const uint8_t* NameHashTable::NameOf(const Entry* entry) { return reinterpret_cast<const uint8_t*>(entry + 1); }

NameHashTable::Entry* NameHashTable::FindEntry(uint16_t length, const void* name,
                                               const std::function<bool(uint32_t)>* accept, uint16_t* bucket) const {
  // Stored names are at most 255 bytes: a longer name is never present (comparing
  // only its low length byte would match a short name).
  if (length > kMaxNameLength || (length > 0 && name == nullptr)) return nullptr;
  *bucket = BucketOf(length, name);
  for (Entry* entry = m_buckets[*bucket]; entry != nullptr; entry = entry->next) {
    if (entry->length != length) continue;
    if (length > 0 && std::memcmp(NameOf(entry), name, length) != 0) continue;
    if (accept != nullptr && !(*accept)(entry->value)) continue;
    return entry;
  }
  return nullptr;
}

uint32_t NameHashTable::Find(uint16_t length, const void* name) {
  uint16_t bucket = 0;
  Entry* entry = FindEntry(length, name, nullptr, &bucket);
  if (entry == nullptr) return 0;
  m_current = entry;
  m_currentBucket = bucket;
  return entry->value;
}

uint32_t NameHashTable::FindWhere(uint16_t length, const void* name,
                                  const std::function<bool(uint32_t value)>& accept) {
  uint16_t bucket = 0;
  Entry* entry = FindEntry(length, name, &accept, &bucket);
  if (entry == nullptr) return 0;
  m_current = entry;
  m_currentBucket = bucket;
  return entry->value;
}

void NameHashTable::Insert(uint16_t length, const void* name, uint32_t value) {
  if (length > kMaxNameLength || (length > 0 && name == nullptr)) ZENTOR_INTERNAL_ERROR();
  Entry* entry = NewEntry(length, name, value);
  const uint16_t bucket = BucketOf(length, name);
  entry->next = m_buckets[bucket];
  m_buckets[bucket] = entry;
  m_current = entry;
  m_currentBucket = bucket;
  ++m_count;
}

void NameHashTable::RemoveCurrent() {
  if (m_current == nullptr) return;
  Entry** link = &m_buckets[m_currentBucket];
  while (*link != nullptr && *link != m_current) link = &(*link)->next;
  Entry* entry = *link;
  m_current = nullptr;
  if (entry == nullptr) return;
  *link = entry->next;
  --m_count;
  if (InBlock(entry)) m_cloneIntact = false;
  if (m_walkDepth > 0) {
    // A walk may hold this entry as its next step: keep it readable until the walk
    // is over.
    entry->removed = true;
    m_deferred.push_back(entry);
  } else {
    FreeEntry(entry);
  }
}

void NameHashTable::FreeDeferredEntries() {
  for (Entry* entry : m_deferred) FreeEntry(entry);
  m_deferred.clear();
}

bool NameHashTable::ForEach(const std::function<void(uint32_t value, bool& stop)>& visit) {
  struct WalkGuard {
    NameHashTable& table;
    explicit WalkGuard(NameHashTable& t) : table(t) { ++table.m_walkDepth; }
    ~WalkGuard() {
      if (--table.m_walkDepth == 0) table.FreeDeferredEntries();
    }
  } guard(*this);

  for (uint16_t bucket = kBucketCount; bucket > 0; --bucket) {
    Entry* entry = m_buckets[bucket - 1];
    while (entry != nullptr) {
      // A removed entry still points at the entry that followed it when it was
      // unlinked, which is either live or removed in turn, so the walk goes on.
      Entry* next = entry->next;
      if (!entry->removed) {
        m_current = entry;
        m_currentBucket = static_cast<uint16_t>(bucket - 1);
        bool stop = false;
        visit(entry->value, stop);
        if (stop) return true;
      }
      entry = next;
    }
  }
  return false;
}

void NameHashTable::CurrentName(uint16_t* length, char* buffer, std::size_t capacity) const {
  const uint16_t nameLength = m_current != nullptr ? m_current->length : 0;
  if (length != nullptr) *length = nameLength;
  if (buffer == nullptr || capacity == 0) return;
  const std::size_t copied = nameLength < capacity ? nameLength : capacity - 1;
  if (copied > 0) std::memcpy(buffer, NameOf(m_current), copied);
  buffer[copied] = '\0';
}

// -- KeywordEntryPool ------------------------------------------------------------------

uint32_t KeywordEntryPool::Add(const KeywordEntry& entry) {
  uint32_t id = 0;
  if (!m_freeIds.empty()) {
    id = m_freeIds.back();
    m_freeIds.pop_back();
  } else {
    m_slots.emplace_back();
    id = static_cast<uint32_t>(m_slots.size());
  }
  Slot& slot = m_slots[id - 1];
  slot.entry = entry;
  slot.live = true;
  ++m_liveCount;
  return id;
}

void KeywordEntryPool::RaiseUnknownId() { ZENTOR_INTERNAL_ERROR(); }

void KeywordEntryPool::Release(uint32_t id) {
  if (!IsLive(id)) ZENTOR_INTERNAL_ERROR();
  if (id <= m_marked) m_markIntact = false;
  m_slots[id - 1].live = false;
  m_slots[id - 1].entry = KeywordEntry{};
  m_freeIds.push_back(id);
  --m_liveCount;
}

void KeywordEntryPool::Clear() {
  m_slots.clear();
  m_freeIds.clear();
  m_liveCount = 0;
  m_marked = 0;
  m_markIntact = false;
}

void KeywordEntryPool::Mark() {
  m_marked = static_cast<uint32_t>(m_slots.size());
  m_markIntact = m_freeIds.empty();
}

// With no entry of the mark released, ids 1 to m_marked are the mark's live entries
// as they were, and every id above is one added since.
bool KeywordEntryPool::RollBackToMark() {
  if (!m_markIntact) return false;
  m_slots.resize(m_marked);
  m_freeIds.clear();
  m_liveCount = m_marked;
  return true;
}

}  // namespace zentor
