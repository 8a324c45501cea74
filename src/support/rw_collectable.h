#pragma once
// RWCollectable is the polymorphic base of everything the class library's
// heterogeneous collections hold: a 16-bit class ID, ordering, hashing, equality and
// the persistence hooks. Collections keep pointers to collectables and compare them
// only through these virtual operations; persistence writes an object as its class ID
// and its own data and recreates it through the factory from that ID.

#include <cstdint>

#include "support/rw_class_ids.h"

namespace zentor {

class RWFile;
class RWvistream;
class RWvostream;

// The address hash of the library: (a >> 3) XOR a on the object's address, kept to
// 32 bits. Identity sets and the persistence store table place objects with it.
inline uint32_t RWAddressHash(uintptr_t address) {
  return static_cast<uint32_t>((address >> 3) ^ address);
}
inline uint32_t RWAddressHash(const void* object) {
  return RWAddressHash(reinterpret_cast<uintptr_t>(object));
}

class RWCollectable {
 public:
  RWCollectable() = default;
  RWCollectable(const RWCollectable&) = default;
  RWCollectable& operator=(const RWCollectable&) = default;

  // The virtual operations, in the order every collectable class fills them.
  // A new default-constructed object of the same class (null when allocation fails).
  virtual RWCollectable* newSpecies() const;
  // A new object copy-constructed from this one (null when allocation fails).
  virtual RWCollectable* copy() const;
  virtual RWClassID isA() const;
  virtual ~RWCollectable();
  // Bytes that saveGuts(RWFile&) writes.
  virtual uint32_t binaryStoreSize() const;
  // Base: by address; 0 for the same object, 1 when this address is greater, else -1.
  virtual int compareTo(const RWCollectable* other) const;
  // Base: RWAddressHash of this object.
  virtual uint32_t hash() const;
  // Base: true only for the very same object.
  virtual bool isEqual(const RWCollectable* other) const;
  virtual void restoreGuts(RWvistream& stream);
  virtual void restoreGuts(RWFile& file);
  virtual void saveGuts(RWvostream& stream) const;
  virtual void saveGuts(RWFile& file) const;

  // Persistence of object graphs. An object met a second time within one top-level
  // store is written as a reference to its first occurrence, so sharing and cycles
  // survive a round trip. A top-level store to a file begins with the magic number.
  void recursiveSaveOn(RWFile& file) const;
  void recursiveSaveOn(RWvostream& stream) const;
  // Bytes recursiveSaveOn(RWFile&) would write for this object now (the magic counts
  // only at top level; an object already written in this store counts as a reference).
  uint32_t recursiveStoreSize() const;

  // Reads one object. With a null target the object is created through the factory;
  // with a target the stored object must be that very object and its data are read
  // into it. Returns the object, or null for a stored null pointer. A damaged file
  // raises the library's error: [MAGIC] for a wrong magic number (-1 when the file is
  // too short to hold one), [NOCREATE] for an unknown class ID or one cut short,
  // [REF] for a bad or cut-short reference, [READERR] for a collection whose count is
  // cut short. Should a replaced error handler return, null is returned and the rest
  // of that top-level restore stops. When the handler unwinds instead, the object
  // being restored at each level is deleted; objects already inserted into a
  // collection that does not own them are not.
  static RWCollectable* recursiveRestoreFrom(RWFile& file, RWCollectable* target = nullptr);
  // A stream that is bad, ends, or holds something other than an object or a
  // reference gives null with the stream's fail state set.
  static RWCollectable* recursiveRestoreFrom(RWvistream& stream, RWCollectable* target = nullptr);

  // The one base-class object that stands for a null pointer in stored data. Created
  // on first use and kept for the program's life.
  static RWCollectable* nilObject();

  // True while the current top-level restore has met an error that a replaced error
  // handler returned from; collections stop reading their items then.
  static bool restoreFailed();
};

// Free forms that accept a null pointer (stored as the nil object).
void rwSaveObject(RWFile& file, const RWCollectable* object);
void rwSaveObject(RWvostream& stream, const RWCollectable* object);
// The stored size of a pointer as rwSaveObject(RWFile&) would write it.
uint32_t rwStoredSizeOf(const RWCollectable* object);

RWFile& operator<<(RWFile& file, const RWCollectable* object);
RWvostream& operator<<(RWvostream& stream, const RWCollectable* object);
RWFile& operator<<(RWFile& file, const RWCollectable& object);
RWvostream& operator<<(RWvostream& stream, const RWCollectable& object);
// Creates the stored object (or null) into `object`.
RWFile& operator>>(RWFile& file, RWCollectable*& object);
RWvistream& operator>>(RWvistream& stream, RWCollectable*& object);

}  // namespace zentor
