#pragma once
// The small fixed-size hash table behind the command scanner's keyword table: built-in
// words and operators, the target's words, and the names that commands define (debug
// variables, procedures, macros, block-local names). Each entry maps a name of at most
// 255 bytes to a 32-bit value; a name may be entered more than once, and the newest
// entry is the one found. The definition listings and the PUT and APPEND writers walk
// it to find the defined names.
//
// KeywordEntry is what the keyword table keeps for each name; the table's 32-bit value
// is the entry's id in a KeywordEntryPool, never its address.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zentor {

class NameHashTable {
 public:
  static constexpr uint16_t kBucketCount = 32;
  static constexpr uint16_t kMaxNameLength = 255;

  NameHashTable();
  ~NameHashTable();
  NameHashTable(const NameHashTable&) = delete;
  NameHashTable& operator=(const NameHashTable&) = delete;

  // A new table with empty buckets (allocation failures raise their DVError).
  static std::unique_ptr<NameHashTable> Create();
  // A new table with the entries of this one, in the same order in each bucket, and
  // the same current entry. The entries share one allocation, so that a table every
  // session starts from costs one allocation instead of one for each of its words.
  std::unique_ptr<NameHashTable> Clone() const;
  // Takes a table made by Clone back to what it was made with, as a new clone would
  // be, by dropping the entries entered since; their memory is kept for the entries
  // entered next. False, with nothing changed, when the table was not made by Clone,
  // when an entry it was made with has been removed since, or during a walk.
  bool RollBackToClone();

  // The bucket of a name: (length + sum of the bytes) mod 256 mod 32.
  static uint16_t BucketOf(uint16_t length, const void* name);

  // The value of the newest entry with that name, 0 when there is none. A found
  // entry becomes the current entry.
  uint32_t Find(uint16_t length, const void* name);
  // As Find, but takes the newest entry with that name whose value `accept` accepts.
  uint32_t FindWhere(uint16_t length, const void* name, const std::function<bool(uint32_t value)>& accept);
  // Enters the name in front of any older entry of the same name and makes it the
  // current entry. A name longer than 255 bytes is an internal error.
  void Insert(uint16_t length, const void* name, uint32_t value);
  // Unlinks and frees the current entry; nothing happens when there is none.
  void RemoveCurrent();
  // Visits buckets 31 down to 0 and each chain newest first. Before each call the
  // visited entry becomes the current entry, so the visitor may remove it (or any
  // other entry) through RemoveCurrent. Setting `stop` ends the walk with true; the
  // end of the table answers false.
  bool ForEach(const std::function<void(uint32_t value, bool& stop)>& visit);
  // The current entry's name, NUL-terminated and cut to the buffer; its full length
  // goes to *length. No current entry gives the empty name.
  void CurrentName(uint16_t* length, char* buffer, std::size_t capacity) const;
  bool HasCurrent() const { return m_current != nullptr; }

  // Number of entries (for listings and checks).
  uint32_t Count() const { return m_count; }

 private:
  struct Entry;

  // Entries are allocated in sizes of 16-byte steps of the name's length, so that one
  // given up by a roll-back serves a later name of its step.
  static constexpr uint16_t kSizeSteps = (kMaxNameLength + 15) / 16 + 1;
  static uint16_t SizeStepOf(uint16_t length) { return static_cast<uint16_t>((length + 15) / 16); }

  Entry* NewEntry(uint16_t length, const void* name, uint32_t value);
  bool InBlock(const Entry* entry) const;
  // Frees an entry of its own allocation; one of the shared block stays until the
  // table goes.
  void FreeEntry(Entry* entry);
  static const uint8_t* NameOf(const Entry* entry);
  // The entry found, its bucket in *bucket.
  Entry* FindEntry(uint16_t length, const void* name, const std::function<bool(uint32_t)>* accept,
                   uint16_t* bucket) const;
  void FreeDeferredEntries();

  Entry* m_buckets[kBucketCount] = {};
  Entry* m_current = nullptr;
  uint16_t m_currentBucket = 0;
  uint32_t m_count = 0;
  // While a walk runs, removed entries stay allocated (unlinked and marked) so that
  // the walk can step over them; they are freed when the outermost walk ends.
  uint32_t m_walkDepth = 0;
  std::vector<Entry*> m_deferred;
  // The one allocation of the entries a clone was made with (null for a table built
  // entry by entry), and its end.
  uint8_t* m_block = nullptr;
  uint8_t* m_blockEnd = nullptr;
  // What a clone was made with, for RollBackToClone: the heads of its buckets, its
  // count and current entry, and whether all of its entries are still there.
  Entry* m_cloneHeads[kBucketCount] = {};
  Entry* m_cloneCurrent = nullptr;
  uint16_t m_cloneCurrentBucket = 0;
  uint32_t m_cloneCount = 0;
  bool m_cloneIntact = false;
  // Entries a roll-back gave up, by size step, linked through `next`.
  Entry* m_spare[kSizeSteps] = {};
};

// What the keyword table keeps for a name.
struct KeywordEntry {
  uint8_t token = 0;
  uint16_t subcode = 0;
  uint8_t flag = 0;  // kKeywordBuiltIn, kKeywordDefined or kKeywordLocal
  // The id of the defined object (a MemoryFileHandle for a macro body), 0 for words
  // that define nothing.
  uint32_t value = 0;
};

// The keyword entries, reached by 32-bit ids (1 and up; 0 is none). Freed ids are
// handed out again.
class KeywordEntryPool {
 public:
  uint32_t Add(const KeywordEntry& entry);
  // The entry of a live id; an unknown id is an internal error. Inline: every fetch
  // and store of a debug variable asks.
  const KeywordEntry& Get(uint32_t id) const {
    if (!IsLive(id)) RaiseUnknownId();
    return m_slots[id - 1].entry;
  }
  bool IsLive(uint32_t id) const { return id != 0 && id <= m_slots.size() && m_slots[id - 1].live; }
  void Release(uint32_t id);
  void Clear();
  uint32_t LiveCount() const { return m_liveCount; }

  // Marks the entries now in the pool (which has no freed ids), so that RollBackToMark
  // can take it back to them: the entries added since go. False, with nothing
  // changed, when an entry of the mark has been released since or there is no mark.
  void Mark();
  bool RollBackToMark();

 private:
  struct Slot {
    KeywordEntry entry;
    bool live = false;
  };
  [[noreturn]] static void RaiseUnknownId();
  std::vector<Slot> m_slots;
  std::vector<uint32_t> m_freeIds;
  uint32_t m_liveCount = 0;
  // The entries of the mark: ids 1 to m_marked, all live while m_markIntact holds.
  uint32_t m_marked = 0;
  bool m_markIntact = false;
};

}  // namespace zentor
