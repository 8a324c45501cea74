#include "support/rw_factory.h"

#include <new>

namespace zentor {

namespace {

constexpr uint32_t kFactoryBuckets = 64;

// One registration: a class ID and its create function, found by ID.
class FactoryEntry : public RWCollectable {
 public:
  FactoryEntry(RWClassID id, RWUserCreator function) : m_id(id), m_function(function) {}
  uint32_t hash() const override { return m_id; }
  bool isEqual(const RWCollectable* other) const override {
    auto entry = dynamic_cast<const FactoryEntry*>(other);
    return entry != nullptr && entry->m_id == m_id;
  }
  RWUserCreator function() const { return m_function; }

 private:
  RWClassID m_id;
  RWUserCreator m_function;
};

}  // namespace

RWFactory::RWFactory() : RWSet(kFactoryBuckets) {}

RWFactory::~RWFactory() { clearAndDestroy(); }

void RWFactory::addFunction(RWUserCreator function, RWClassID id) {
  auto entry = new (std::nothrow) FactoryEntry(id, function);
  if (entry == nullptr) return;
  // The set hands back the entry it already holds for this ID: the first stays.
  if (insert(entry) != entry) delete entry;
}

void RWFactory::removeFunction(RWClassID id) {
  FactoryEntry key(id, nullptr);
  delete remove(&key);
}

RWUserCreator RWFactory::getFunction(RWClassID id) const {
  FactoryEntry key(id, nullptr);
  auto entry = static_cast<const FactoryEntry*>(find(&key));
  return entry != nullptr ? entry->function() : nullptr;
}

RWCollectable* RWFactory::create(RWClassID id) const {
  RWUserCreator function = getFunction(id);
  return function != nullptr ? function() : nullptr;
}

RWFactory* getRWFactory() {
  // Made on first use and never destroyed: registrations run during static
  // initialisation and their removals during static destruction, in no fixed order
  // relative to anything else.
  static RWFactory* const factory = new (std::nothrow) RWFactory();
  return factory;
}

void rwAddToFactory(RWUserCreator function, RWClassID id) {
  if (RWFactory* factory = getRWFactory()) factory->addFunction(function, id);
}

RWCollectable* rwCreateFromFactory(RWClassID id) {
  RWFactory* factory = getRWFactory();
  return factory != nullptr ? factory->create(id) : nullptr;
}

void rwRemoveFromFactory(RWClassID id) {
  if (RWFactory* factory = getRWFactory()) factory->removeFunction(id);
}

}  // namespace zentor
