#pragma once
// RWFactory maps class IDs to create functions, so that persistence can build an
// object of the right class from the ID it reads. There is one factory for the whole
// program, made on first use by getRWFactory (registrations may run during static
// initialisation, before anything else has touched it) and never destroyed. The first
// registration of an ID stays in force.

#include "support/rw_class_ids.h"
#include "support/rw_set.h"

#include <new>

namespace zentor {

// Returns a new default-constructed object of one class, or null.
using RWUserCreator = RWCollectable* (*)();

class RWFactory : public RWSet {
 public:
  RWFactory();
  ~RWFactory() override;
  RWFactory(const RWFactory&) = delete;
  RWFactory& operator=(const RWFactory&) = delete;

  // Registers function for id unless id is registered already.
  void addFunction(RWUserCreator function, RWClassID id);
  void removeFunction(RWClassID id);
  // Null when id is not registered.
  RWUserCreator getFunction(RWClassID id) const;
  // A new object of class id; null when no function is registered.
  RWCollectable* create(RWClassID id) const;
};

// The factory, created on first use; null only when it cannot be allocated.
RWFactory* getRWFactory();
// Each does nothing (returns null) when the factory cannot be allocated.
void rwAddToFactory(RWUserCreator function, RWClassID id);
RWCollectable* rwCreateFromFactory(RWClassID id);
void rwRemoveFromFactory(RWClassID id);

// A static object of this class registers a create function when the program starts
// and removes the registration when it ends:
//   static const RWFactoryRegistration registerMyRecord(kMyRecordID, &CreateMyRecord);
// or, for a default-constructible class, RW_REGISTER_COLLECTABLE(MyRecord, kMyRecordID).
class RWFactoryRegistration {
 public:
  RWFactoryRegistration(RWClassID id, RWUserCreator function) : m_id(id) { rwAddToFactory(function, id); }
  ~RWFactoryRegistration() { rwRemoveFromFactory(m_id); }
  RWFactoryRegistration(const RWFactoryRegistration&) = delete;
  RWFactoryRegistration& operator=(const RWFactoryRegistration&) = delete;

 private:
  RWClassID m_id;
};

// A create function that default-constructs T (null when allocation fails).
template <typename T>
RWCollectable* RWCreateDefault() {
  return new (std::nothrow) T();
}

#define RW_REGISTER_COLLECTABLE(ClassName, id)                                              \
  static const ::zentor::RWFactoryRegistration rwFactoryRegistration_##ClassName((id),      \
                                                                                 &::zentor::RWCreateDefault<ClassName>)

}  // namespace zentor
