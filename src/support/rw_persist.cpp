// Persistence of collectables: object graphs stored to an RWFile or a virtual stream
// and read back through the factory, and the stored form shared by all collections.
//
// Within one top-level store every object is numbered in the order it is first met
// (the nil object, standing for a null pointer, is number 0); an object met again is
// written as a reference to its number. The reader numbers the objects it reads the
// same way, so a reference names an object read earlier. The numbering tables live
// only for one top-level call: the call that finds no table creates it and deletes it
// at its end (also when an error handler unwinds through it); nested calls made from
// saveGuts and restoreGuts share it.

#include "support/little_endian.h"
#include "support/rw_collectable.h"

#include "support/rw_collection.h"
#include "support/rw_factory.h"
#include "support/rw_file.h"
#include "support/rw_hash_table.h"
#include "support/rw_messages.h"
#include "support/rw_ordered.h"
#include "support/rw_vstream.h"

#include <cstdint>

namespace zentor {

namespace {

constexpr uint32_t kMagic = 0x00008888;
constexpr uint32_t kTableBuckets = 64;

// One object of the store table: the object's address and its number. Entries are
// placed and compared by address only.
class StoreEntry : public RWCollectable {
 public:
  StoreEntry(const RWCollectable* object, uint32_t index) : m_object(object), m_index(index) {}
  uint32_t hash() const override { return RWAddressHash(m_object); }
  // The table holds nothing but entries and is searched only with entries.
  bool isEqual(const RWCollectable* other) const override {
    return static_cast<const StoreEntry*>(other)->m_object == m_object;
  }
  uint32_t index() const { return m_index; }

 private:
  const RWCollectable* m_object;
  uint32_t m_index;
};

class StoreTable {
 public:
  StoreTable() : m_table(kTableBuckets) { Enter(RWCollectable::nilObject()); }
  ~StoreTable() {
    m_table.apply([](RWCollectable* entry, void*) { delete entry; }, nullptr);
    m_table.clear();
  }
  StoreTable(const StoreTable&) = delete;
  StoreTable& operator=(const StoreTable&) = delete;

  // True with the object's number when it was met before; otherwise enters it.
  bool FindOrEnter(const RWCollectable* object, uint32_t& index) {
    StoreEntry key(object, 0);
    if (const RWCollectable* found = m_table.find(&key)) {
      index = static_cast<const StoreEntry*>(found)->index();
      return true;
    }
    Enter(object);
    return false;
  }

 private:
  void Enter(const RWCollectable* object) {
    m_table.insert(new StoreEntry(object, m_table.entries()));
  }

  RWHashTable m_table;
};

struct ReadContext {
  ReadContext() : m_table(kTableBuckets) { m_table.append(RWCollectable::nilObject()); }
  RWOrdered m_table;
  // An error was raised and the handler returned: the rest of the restore stops.
  bool m_failed = false;
};

StoreTable* s_storeTable = nullptr;
ReadContext* s_readContext = nullptr;

// Creates the store table for a top-level call and deletes it when that call ends.
class StoreScope {
 public:
  StoreScope() : m_topLevel(s_storeTable == nullptr) {
    if (m_topLevel) s_storeTable = new StoreTable();
  }
  ~StoreScope() {
    if (m_topLevel) {
      delete s_storeTable;
      s_storeTable = nullptr;
    }
  }
  StoreScope(const StoreScope&) = delete;
  StoreScope& operator=(const StoreScope&) = delete;
  bool topLevel() const { return m_topLevel; }

 private:
  bool m_topLevel;
};

class ReadScope {
 public:
  ReadScope() : m_topLevel(s_readContext == nullptr) {
    if (m_topLevel) s_readContext = new ReadContext();
  }
  ~ReadScope() {
    if (m_topLevel) {
      delete s_readContext;
      s_readContext = nullptr;
    }
  }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;
  ReadContext& context() const { return *s_readContext; }

 private:
  bool m_topLevel;
};

// An object created by a restore belongs to nobody until the restore hands it over;
// when an error unwinds (or fails) before that, it is deleted here.
class CreatedObject {
 public:
  CreatedObject() = default;
  ~CreatedObject() { delete m_object; }
  CreatedObject(const CreatedObject&) = delete;
  CreatedObject& operator=(const CreatedObject&) = delete;
  void hold(RWCollectable* object) { m_object = object; }
  void release() { m_object = nullptr; }

 private:
  RWCollectable* m_object = nullptr;
};

// Reads a little-endian value of `size` bytes; true when all bytes were there. A
// short value holds the bytes that were read (the rest zero).
bool ReadLittleEndian(RWFile& file, int size, uint32_t& value) {
  uint8_t bytes[4] = {};
  bool complete = true;
  for (int i = 0; i < size && complete; ++i) complete = file.Read(bytes[i]);
  value = static_cast<uint32_t>(value_bytes::LoadUnsigned(bytes, static_cast<uint32_t>(size)));
  return complete;
}

void WriteLittleEndian(RWFile& file, int size, uint32_t value) {
  uint8_t bytes[4];
  value_bytes::StoreUnsigned(bytes, value, static_cast<uint32_t>(size));
  for (int i = 0; i < size; ++i) file.Write(bytes[i]);
}

// The library's 32-bit long: the magic read is shown as the signed 32-bit value.
long AsMessageLong(uint32_t value) { return static_cast<long>(static_cast<int32_t>(value)); }

void RaiseBadMagic(uint32_t value) {
  RWMessage message(RWTOOL_MAGIC(), AsMessageLong(value), AsMessageLong(kMagic));
  RWThrow(RWExternalErr(message));
}

void RaiseNoCreate(RWClassID id) {
  RWMessage message(RWTOOL_NOCREATE(), static_cast<int>(id), static_cast<int>(id));
  RWThrow(RWInternalErr(message));
}

void RaiseBadReference() {
  RWMessage message(RWTOOL_REF());
  RWThrow(RWInternalErr(message));
}

// The object a stored reference names, or null (after raising [REF]) when the number
// is not one read so far or, with a target, does not name the target.
RWCollectable* TakeReference(ReadContext& context, uint32_t index, RWCollectable* target, bool& valid) {
  valid = index < context.m_table.entries() && (target == nullptr || context.m_table(index) == target);
  if (!valid) {
    context.m_failed = true;
    RaiseBadReference();
    return nullptr;
  }
  return context.m_table(index);
}

// The object to read a stored object of class `id` into: the target, or a new one
// from the factory (held by `created`); null after raising [NOCREATE].
RWCollectable* ObjectToRestore(ReadContext& context, RWClassID id, RWCollectable* target, CreatedObject& created) {
  if (target != nullptr) return target;
  RWCollectable* object = rwCreateFromFactory(id);
  if (object == nullptr) {
    context.m_failed = true;
    RaiseNoCreate(id);
    return nullptr;
  }
  created.hold(object);
  return object;
}

RWCollectable* NullForNil(RWCollectable* object) { return object == RWCollectable::nilObject() ? nullptr : object; }

}  // namespace

bool RWCollectable::restoreFailed() { return s_readContext != nullptr && s_readContext->m_failed; }

void RWCollectable::recursiveSaveOn(RWFile& file) const {
  StoreScope scope;
  if (scope.topLevel()) WriteLittleEndian(file, 4, kMagic);
  uint32_t index = 0;
  if (s_storeTable->FindOrEnter(this, index)) {
    WriteLittleEndian(file, 2, kRWReferenceMarker);
    WriteLittleEndian(file, 4, index);
    return;
  }
  WriteLittleEndian(file, 2, isA());
  saveGuts(file);
}

void RWCollectable::recursiveSaveOn(RWvostream& stream) const {
  StoreScope scope;
  uint32_t index = 0;
  if (s_storeTable->FindOrEnter(this, index)) {
    stream << '@' << static_cast<unsigned int>(index);
    return;
  }
  stream << ':' << static_cast<unsigned short>(isA()) << '{';
  saveGuts(stream);
  stream << '}';
}

uint32_t RWCollectable::recursiveStoreSize() const {
  StoreScope scope;
  uint32_t size = scope.topLevel() ? 4 : 0;
  uint32_t index = 0;
  if (s_storeTable->FindOrEnter(this, index)) return size + 6;
  return size + 2 + binaryStoreSize();
}

RWCollectable* RWCollectable::recursiveRestoreFrom(RWFile& file, RWCollectable* target) {
  if (s_readContext == nullptr) {
    uint32_t magic = 0;
    // A file too short to hold the magic reports it as -1, never as a partial value
    // that might even look right.
    if (!ReadLittleEndian(file, 4, magic)) magic = 0xFFFFFFFFu;
    if (magic != kMagic) {
      RaiseBadMagic(magic);
      return nullptr;
    }
  }
  ReadScope scope;
  ReadContext& context = scope.context();
  if (context.m_failed) return nullptr;

  uint32_t id = 0;
  if (!ReadLittleEndian(file, 2, id)) {
    // A file cut short before the class ID names no class.
    context.m_failed = true;
    RaiseNoCreate(static_cast<RWClassID>(id));
    return nullptr;
  }

  if (id == kRWReferenceMarker) {
    uint32_t index = 0;
    if (!ReadLittleEndian(file, 4, index)) {
      context.m_failed = true;
      RaiseBadReference();
      return nullptr;
    }
    bool valid = false;
    RWCollectable* object = TakeReference(context, index, target, valid);
    return valid ? NullForNil(object) : nullptr;
  }

  CreatedObject created;
  RWCollectable* object = ObjectToRestore(context, static_cast<RWClassID>(id), target, created);
  if (object == nullptr) return nullptr;
  context.m_table.append(object);
  object->restoreGuts(file);
  if (context.m_failed) return nullptr;
  created.release();
  return NullForNil(object);
}

RWCollectable* RWCollectable::recursiveRestoreFrom(RWvistream& stream, RWCollectable* target) {
  if (!stream.good()) return nullptr;
  char mark = 0;
  stream >> mark;
  if (stream.fail()) return nullptr;

  ReadScope scope;
  ReadContext& context = scope.context();
  if (context.m_failed) {
    stream.setFail();
    return nullptr;
  }

  if (mark == '@') {
    unsigned int index = 0;
    stream >> index;
    if (!stream.good()) {
      stream.setFail();
      return nullptr;
    }
    bool valid = false;
    RWCollectable* object = TakeReference(context, index, target, valid);
    if (!valid) {
      stream.setFail();
      return nullptr;
    }
    return NullForNil(object);
  }

  if (mark == ':') {
    unsigned short id = 0;
    char open = 0;
    stream >> id >> open;
    if (stream.good() && open == '{') {
      CreatedObject created;
      RWCollectable* object = ObjectToRestore(context, id, target, created);
      if (object == nullptr) {
        stream.setFail();
        return nullptr;
      }
      context.m_table.append(object);
      object->restoreGuts(stream);
      char close = 0;
      stream >> close;
      // An object whose data ended early is not handed out half read.
      if (context.m_failed || !stream.good()) {
        stream.setFail();
        return nullptr;
      }
      created.release();
      return NullForNil(object);
    }
  }

  stream.setFail();
  return nullptr;
}

void rwSaveObject(RWFile& file, const RWCollectable* object) {
  (object != nullptr ? object : RWCollectable::nilObject())->recursiveSaveOn(file);
}

void rwSaveObject(RWvostream& stream, const RWCollectable* object) {
  (object != nullptr ? object : RWCollectable::nilObject())->recursiveSaveOn(stream);
}

uint32_t rwStoredSizeOf(const RWCollectable* object) {
  return (object != nullptr ? object : RWCollectable::nilObject())->recursiveStoreSize();
}

RWFile& operator<<(RWFile& file, const RWCollectable* object) {
  rwSaveObject(file, object);
  return file;
}

RWvostream& operator<<(RWvostream& stream, const RWCollectable* object) {
  rwSaveObject(stream, object);
  return stream;
}

RWFile& operator<<(RWFile& file, const RWCollectable& object) {
  object.recursiveSaveOn(file);
  return file;
}

RWvostream& operator<<(RWvostream& stream, const RWCollectable& object) {
  object.recursiveSaveOn(stream);
  return stream;
}

RWFile& operator>>(RWFile& file, RWCollectable*& object) {
  object = RWCollectable::recursiveRestoreFrom(file);
  return file;
}

RWvistream& operator>>(RWvistream& stream, RWCollectable*& object) {
  object = RWCollectable::recursiveRestoreFrom(stream);
  return stream;
}

// ---- The stored form of every collection ----

uint32_t RWCollection::binaryStoreSize() const {
  // Items are counted as the store would write them, so sharing between them (and
  // with objects stored earlier in the same top-level store) counts as references.
  StoreScope scope;
  uint32_t size = 4;
  apply([](RWCollectable* item, void* total) { *static_cast<uint32_t*>(total) += rwStoredSizeOf(item); }, &size);
  return size;
}

void RWCollection::saveGuts(RWFile& file) const {
  file.Write(static_cast<unsigned int>(entries()));
  apply([](RWCollectable* item, void* sink) { rwSaveObject(*static_cast<RWFile*>(sink), item); }, &file);
}

void RWCollection::saveGuts(RWvostream& stream) const {
  stream << static_cast<unsigned int>(entries());
  if (!stream.good()) return;
  apply([](RWCollectable* item, void* sink) { rwSaveObject(*static_cast<RWvostream*>(sink), item); }, &stream);
}

void RWCollection::restoreGuts(RWFile& file) {
  clear();
  restoreItems(file, [](RWCollection& collection, RWCollectable* item) { collection.insert(item); });
}

void RWCollection::restoreGuts(RWvistream& stream) {
  clear();
  restoreItems(stream, [](RWCollection& collection, RWCollectable* item) { collection.insert(item); });
}

void RWCollection::restoreItems(RWFile& file, RWItemAdder add) {
  unsigned int count = 0;
  if (!file.Read(count)) {
    // A count cut short would leave the collection silently empty.
    if (s_readContext != nullptr) s_readContext->m_failed = true;
    RWMessage message(RWTOOL_READERR());
    RWThrow(RWFileErr(message, &file, RWFileErr::readErr));
    return;
  }
  for (unsigned int i = 0; i < count; ++i) {
    RWCollectable* item = recursiveRestoreFrom(file);
    if (restoreFailed() || file.Error()) return;
    add(*this, item);
  }
}

void RWCollection::restoreItems(RWvistream& stream, RWItemAdder add) {
  unsigned int count = 0;
  stream >> count;
  if (!stream.good()) return;
  for (unsigned int i = 0; i < count; ++i) {
    RWCollectable* item = recursiveRestoreFrom(stream);
    if (!stream.good() || restoreFailed()) return;
    add(*this, item);
  }
}

}  // namespace zentor
