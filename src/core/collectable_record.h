#pragma once
// Change notification without callbacks. A CollectableRecord says what sort of thing
// its holder watches (its kind), optionally for which viewpoint, and whether it was
// marked changed since the holder last asked. Holders register their records in the
// one ObjectRegistry; producers of changes (the engine after a step, the target
// interface after a memory write, the settings after a colour change) mark all
// registered records of a kind, or those of one viewpoint, and each holder polls its
// record when it is ready to refresh. Polling a kind-3 record (BreakMonitor) also
// checks for a user break, which is how long loops notice Ctrl+C.

#include "core/viewpoint_handle.h"

#include "support/rw_collectable.h"
#include "support/rw_set.h"

#include <cstdint>

namespace zentor {

inline constexpr RWClassID kCollectableRecordID = 200;

// What a record watches.
enum CollectableRecordKind : uint32_t {
  kRecordBreakpoints = 0,
  kRecordSymbolBrowsing = 1,
  kRecordColours = 2,
  kRecordUserBreak = 3,
  kRecordExecutionState = 5,
  kRecordTargetMemory = 6,
  kRecordOtherView = 7,
  kRecordRegisters = 8,
  kRecordLocations = 9,
  kRecordSearchPaths = 10,
  kRecordStatusLine = 11,
  kRecordThreadList = 14,  // the threads (viewpoints) of the target and their states
  kRecordWindows = 15,
  kRecordWatches = 16,
  kRecordFurtherUsers = 17,
};

class CollectableRecord : public RWCollectable {
 public:
  // A record for all viewpoints.
  explicit CollectableRecord(uint32_t kind);
  // A record of one viewpoint (CollectableRecord_ForViewpoint).
  CollectableRecord(uint32_t kind, ViewpointHandle viewpoint);
  CollectableRecord(const CollectableRecord& other);
  CollectableRecord& operator=(const CollectableRecord& other);
  // Unregisters the record.
  ~CollectableRecord() override;

  // A new record of kind 17 without viewpoint.
  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;

  // Into the registry (once: registering again changes nothing).
  void Register();
  // Out of the registry, while the registry exists.
  void Unregister();
  void MarkChanged() { m_changed = 1; }
  // Answers whether the record was marked since the last call and clears the mark.
  // A kind-3 record first asks the GUI service for a pending user break and, when
  // there is one, marks the kind-3 records of its viewpoint.
  uint32_t TestAndClearChanged();

  uint32_t Kind() const { return m_kind; }
  bool HasViewpoint() const { return m_hasViewpoint != 0; }
  // The record's viewpoint, or a handle of value 0 when it concerns all viewpoints.
  ViewpointHandle Viewpoint() const;

 private:
  // Registration keeps a count of the registered records per kind, so marking a
  // kind nobody watches costs no walk of the registry.
  void SetKind(uint32_t kind);

  bool m_registered = false;
  uint32_t m_hasViewpoint = 0;
  ViewpointHandle m_viewpoint;
  uint32_t m_kind = 0;
  uint32_t m_changed = 0;
};

// A watch for user breaks that answers as a BreakMonitor without viewpoint registered
// for the watch's lifetime: it notices every break mark made since it was made or last
// tested (each mark of the break records reaches the records of no viewpoint), and its
// test takes a pending break and marks the registered monitors as that monitor's test
// does. It costs no registration: the scanner watches while it fetches every token.
class BreakWatch {
 public:
  BreakWatch();
  uint32_t TestAndClearChanged();

 private:
  uint64_t m_seenMarks;
};

// A BreakWatch made for one test: whether a user break is pending (a reader that
// checks before every character it delivers).
bool PollUserBreakOnce();

// The record through which a long-running loop notices a user break (kind 3).
class BreakMonitor : public CollectableRecord {
 public:
  explicit BreakMonitor(uint32_t kind = kRecordUserBreak) : CollectableRecord(kind) {}
  ~BreakMonitor() override = default;
};

// The set of registered records (by identity). It refers to records, never owns them.
class ObjectRegistry : public RWIdentitySet {
 public:
  ObjectRegistry();
  ~ObjectRegistry() override;
  ObjectRegistry(const ObjectRegistry&) = delete;
  ObjectRegistry& operator=(const ObjectRegistry&) = delete;

  static ObjectRegistry& Instance();
  // False before the registry is made and once its destruction has begun: records
  // destroyed at program end after the registry then skip their removal.
  static bool IsAlive();
};

// Marks changed every registered record of `kind` when `viewpoint` is null, and
// otherwise those without a viewpoint or whose viewpoint equals *viewpoint.
void MarkChangedRecords(uint32_t kind, const ViewpointHandle* viewpoint);
// The records of `kind` without a viewpoint or of `viewpoint`.
void MarkRegisteredChanged(uint32_t kind, ViewpointHandle viewpoint);
// Every record of `kind`, whatever its viewpoint.
void MarkAllRecordsOfKindChanged(uint32_t kind);

// Handle-style operations for callers that keep a record as an opaque pointer.
// Viewpoint value 0 means "no viewpoint".
CollectableRecord* CreateCollectableRecord(uint32_t kind, uint32_t viewpointValue);
CollectableRecord* CopyCollectableRecord(const CollectableRecord* record);
// Deletes the record (which unregisters it); null is ignored.
void DestroyCollectableRecord(CollectableRecord* record);
void RegisterCollectableRecord(CollectableRecord* record);
void UnregisterCollectableRecord(CollectableRecord* record);
uint32_t TestAndClearCollectableRecord(CollectableRecord* record);
void MarkCollectableRecordChanged(CollectableRecord* record);
// Value 0: every record of the kind; otherwise those of that viewpoint.
void MarkRecordsChangedByValue(uint32_t kind, uint32_t viewpointValue);
uint32_t GetCollectableRecordKind(const CollectableRecord* record);
uint32_t GetCollectableRecordViewpoint(const CollectableRecord* record);

class ObjectRegistryIterator;
// A new iterator positioned before the first registered record.
ObjectRegistryIterator* CreateObjectRegistryIterator();
// The next registered record; at the end the iterator is deleted and null returned
// (the iterator must not be used again).
CollectableRecord* NextRegisteredRecord(ObjectRegistryIterator* iterator);

}  // namespace zentor
