#include "core/collectable_record.h"

#include "core/dv_error.h"

#include "core/hi_service.h"
#include "support/rw_factory.h"

#include <new>

namespace zentor {
namespace {

// Constant-initialised, so it can be read safely before the registry is made and
// after it is gone.
bool g_registryAlive = false;

// Registered records per kind; kinds from kCountedKinds on share the last counter.
constexpr uint32_t kCountedKinds = 32;
uint32_t g_registeredOfKind[kCountedKinds + 1] = {};

uint32_t& RegisteredOfKind(uint32_t kind) { return g_registeredOfKind[kind < kCountedKinds ? kind : kCountedKinds]; }

// Counts the marks of the break records: every one reaches the records of no
// viewpoint, and so the break watches.
uint64_t g_breakMarks = 0;

RWCollectable* CreateRecordFromFactory() { return new (std::nothrow) CollectableRecord(kRecordFurtherUsers); }

const RWFactoryRegistration g_recordFactoryRegistration(kCollectableRecordID, &CreateRecordFromFactory);

CollectableRecord* CheckedRecord(CollectableRecord* record) {
  if (record == nullptr) ZENTOR_INTERNAL_ERROR();
  return record;
}

}  // namespace

class ObjectRegistryIterator {
 public:
  explicit ObjectRegistryIterator(ObjectRegistry& registry) : m_iterator(registry) {}
  RWSetIterator m_iterator;
};

// -- CollectableRecord ---------------------------------------------------------------

CollectableRecord::CollectableRecord(uint32_t kind) : m_kind(kind) {}

CollectableRecord::CollectableRecord(uint32_t kind, ViewpointHandle viewpoint)
    : m_hasViewpoint(1), m_viewpoint(viewpoint), m_kind(kind) {}

CollectableRecord::CollectableRecord(const CollectableRecord& other)
    : RWCollectable(other), m_hasViewpoint(other.m_hasViewpoint), m_kind(other.m_kind), m_changed(other.m_changed) {
  if (m_hasViewpoint != 0) m_viewpoint = other.m_viewpoint;
}

CollectableRecord& CollectableRecord::operator=(const CollectableRecord& other) {
  if (this == &other) return *this;
  m_hasViewpoint = other.m_hasViewpoint;
  if (m_hasViewpoint != 0) m_viewpoint = other.m_viewpoint;
  SetKind(other.m_kind);
  m_changed = other.m_changed;
  return *this;
}

CollectableRecord::~CollectableRecord() { Unregister(); }

RWCollectable* CollectableRecord::newSpecies() const {
  return new (std::nothrow) CollectableRecord(kRecordFurtherUsers);
}

RWCollectable* CollectableRecord::copy() const { return new (std::nothrow) CollectableRecord(*this); }

RWClassID CollectableRecord::isA() const { return kCollectableRecordID; }

void CollectableRecord::SetKind(uint32_t kind) {
  if (m_registered) {
    --RegisteredOfKind(m_kind);
    ++RegisteredOfKind(kind);
  }
  m_kind = kind;
}

// Only Register puts a record into the registry, so m_registered says whether it is
// there: most records (those of objects made for one command) never are, and their
// destruction then costs no look-up.
void CollectableRecord::Register() {
  if (m_registered) return;
  ObjectRegistry::Instance().insert(this);
  m_registered = true;
  ++RegisteredOfKind(m_kind);
}

void CollectableRecord::Unregister() {
  if (!m_registered || !ObjectRegistry::IsAlive()) return;
  ObjectRegistry::Instance().remove(this);
  m_registered = false;
  --RegisteredOfKind(m_kind);
}

uint32_t CollectableRecord::TestAndClearChanged() {
  if (m_kind == kRecordUserBreak && HiService(kGuiCheckUserBreak) == 1) {
    ViewpointHandle viewpoint = Viewpoint();
    MarkChangedRecords(kRecordUserBreak, &viewpoint);
  }
  uint32_t changed = m_changed;
  m_changed = 0;
  return changed;
}

BreakWatch::BreakWatch() : m_seenMarks(g_breakMarks) {}

uint32_t BreakWatch::TestAndClearChanged() {
  if (HiService(kGuiCheckUserBreak) == 1) MarkRegisteredChanged(kRecordUserBreak, ViewpointHandle(0));
  const bool changed = g_breakMarks != m_seenMarks;
  m_seenMarks = g_breakMarks;
  return changed ? 1 : 0;
}

bool PollUserBreakOnce() { return BreakWatch().TestAndClearChanged() != 0; }

ViewpointHandle CollectableRecord::Viewpoint() const {
  return m_hasViewpoint != 0 ? m_viewpoint : ViewpointHandle(0);
}

// -- ObjectRegistry ------------------------------------------------------------------

ObjectRegistry::ObjectRegistry() { g_registryAlive = true; }

ObjectRegistry::~ObjectRegistry() {
  g_registryAlive = false;
  // The records are not the registry's: forget them without deleting any.
  clear();
}

ObjectRegistry& ObjectRegistry::Instance() {
  static ObjectRegistry registry;
  return registry;
}

bool ObjectRegistry::IsAlive() { return g_registryAlive; }

// -- Marking -------------------------------------------------------------------------

void MarkChangedRecords(uint32_t kind, const ViewpointHandle* viewpoint) {
  if (kind == kRecordUserBreak) ++g_breakMarks;
  // Values are stored many times a second in loops; usually no view of them is open.
  if (RegisteredOfKind(kind) == 0) return;
  RWSetIterator next(ObjectRegistry::Instance());
  while (RWCollectable* item = next()) {
    auto* record = dynamic_cast<CollectableRecord*>(item);
    if (record == nullptr || record->Kind() != kind) continue;
    if (viewpoint == nullptr || !record->HasViewpoint() || record->Viewpoint() == *viewpoint) {
      record->MarkChanged();
    }
  }
}

void MarkRegisteredChanged(uint32_t kind, ViewpointHandle viewpoint) { MarkChangedRecords(kind, &viewpoint); }

void MarkAllRecordsOfKindChanged(uint32_t kind) { MarkChangedRecords(kind, nullptr); }

// -- Handle-style operations ---------------------------------------------------------

CollectableRecord* CreateCollectableRecord(uint32_t kind, uint32_t viewpointValue) {
  if (viewpointValue == 0) return new CollectableRecord(kind);
  return new CollectableRecord(kind, ViewpointHandle(viewpointValue));
}

CollectableRecord* CopyCollectableRecord(const CollectableRecord* record) {
  if (record == nullptr) ZENTOR_INTERNAL_ERROR();
  return new CollectableRecord(*record);
}

void DestroyCollectableRecord(CollectableRecord* record) { delete record; }

void RegisterCollectableRecord(CollectableRecord* record) { CheckedRecord(record)->Register(); }

void UnregisterCollectableRecord(CollectableRecord* record) { CheckedRecord(record)->Unregister(); }

uint32_t TestAndClearCollectableRecord(CollectableRecord* record) {
  return CheckedRecord(record)->TestAndClearChanged();
}

void MarkCollectableRecordChanged(CollectableRecord* record) { CheckedRecord(record)->MarkChanged(); }

void MarkRecordsChangedByValue(uint32_t kind, uint32_t viewpointValue) {
  if (viewpointValue == 0) {
    MarkAllRecordsOfKindChanged(kind);
  } else {
    MarkRegisteredChanged(kind, ViewpointHandle(viewpointValue));
  }
}

uint32_t GetCollectableRecordKind(const CollectableRecord* record) {
  if (record == nullptr) ZENTOR_INTERNAL_ERROR();
  return record->Kind();
}

uint32_t GetCollectableRecordViewpoint(const CollectableRecord* record) {
  if (record == nullptr) ZENTOR_INTERNAL_ERROR();
  return record->Viewpoint().Value();
}

ObjectRegistryIterator* CreateObjectRegistryIterator() {
  return new ObjectRegistryIterator(ObjectRegistry::Instance());
}

CollectableRecord* NextRegisteredRecord(ObjectRegistryIterator* iterator) {
  if (iterator == nullptr) ZENTOR_INTERNAL_ERROR();
  while (RWCollectable* item = iterator->m_iterator()) {
    if (auto* record = dynamic_cast<CollectableRecord*>(item)) return record;
  }
  delete iterator;
  return nullptr;
}

}  // namespace zentor
