#include "support/rw_slist_collectables.h"

#include "support/rw_factory.h"

#include <new>

namespace zentor {

namespace {

// The list tester every search of a collectable list uses.
int StoredItemMatches(const void* stored, const void* searched) {
  return RWStoredItemMatches(static_cast<const RWCollectable*>(stored), static_cast<const RWCollectable*>(searched));
}

struct ApplyCall {
  RWapplyCollectable function;
  void* argument;
};

}  // namespace

RWSlistCollectables::RWSlistCollectables(RWCollectable* item) { m_list.append(item); }

RWCollectable* RWSlistCollectables::newSpecies() const { return new (std::nothrow) RWSlistCollectables(); }

RWCollectable* RWSlistCollectables::copy() const { return new (std::nothrow) RWSlistCollectables(*this); }

RWClassID RWSlistCollectables::isA() const { return kRWSlistCollectablesID; }

bool RWSlistCollectables::isEqual(const RWCollectable* other) const {
  return other != nullptr && other->isA() == kRWSlistCollectablesID &&
         *this == *static_cast<const RWSlistCollectables*>(other);
}

bool RWSlistCollectables::operator==(const RWSlistCollectables& other) const {
  if (entries() != other.entries()) return false;
  RWSlistIterator left(const_cast<RWSlist&>(m_list));
  RWSlistIterator right(const_cast<RWSlist&>(other.m_list));
  for (uint32_t i = 0; i < entries(); ++i) {
    auto leftItem = static_cast<RWCollectable*>(left());
    auto rightItem = static_cast<RWCollectable*>(right());
    if (!RWStoredItemMatches(leftItem, rightItem)) return false;
  }
  return true;
}

void RWSlistCollectables::apply(RWapplyCollectable function, void* argument) const {
  ApplyCall call{function, argument};
  m_list.apply(
      [](void* item, void* state) {
        auto call = static_cast<ApplyCall*>(state);
        call->function(static_cast<RWCollectable*>(item), call->argument);
      },
      &call);
}

RWCollectable* RWSlistCollectables::find(const RWCollectable* item) const {
  return static_cast<RWCollectable*>(m_list.find(&StoredItemMatches, item));
}

RWCollectable* RWSlistCollectables::insert(RWCollectable* item) { return RWSlistCollectables::append(item); }

uint32_t RWSlistCollectables::occurrencesOf(const RWCollectable* item) const {
  return m_list.occurrencesOf(&StoredItemMatches, item);
}

RWCollectable* RWSlistCollectables::remove(const RWCollectable* item) {
  return static_cast<RWCollectable*>(m_list.remove(&StoredItemMatches, item));
}

RWCollectable* RWSlistCollectables::append(RWCollectable* item) {
  m_list.append(item);
  return item;
}

RWCollectable* RWSlistCollectables::at(uint32_t i) const { return static_cast<RWCollectable*>(m_list.at(i)); }

RWCollectable*& RWSlistCollectables::at(uint32_t i) {
  // The list stores untyped item pointers; this list stores only collectables in
  // them, so the slot is handed out as the collectable pointer it holds.
  return reinterpret_cast<RWCollectable*&>(m_list.at(i));
}

RWCollectable* RWSlistCollectables::first() const { return static_cast<RWCollectable*>(m_list.first()); }

uint32_t RWSlistCollectables::index(const RWCollectable* item) const {
  return m_list.index(&StoredItemMatches, item);
}

RWCollectable* RWSlistCollectables::insertAt(uint32_t i, RWCollectable* item) {
  return static_cast<RWCollectable*>(m_list.insertAt(i, item));
}

RWCollectable* RWSlistCollectables::last() const { return static_cast<RWCollectable*>(m_list.last()); }

RWCollectable* RWSlistCollectables::prepend(RWCollectable* item) {
  m_list.prepend(item);
  return item;
}

RWCollectable* RWSlistCollectables::insertAfter(uint32_t i, RWCollectable* item) {
  return static_cast<RWCollectable*>(m_list.insertAfter(i, item));
}

RWCollectable* RWSlistCollectablesStack::newSpecies() const { return new (std::nothrow) RWSlistCollectablesStack(); }

RWCollectable* RWSlistCollectablesStack::copy() const { return new (std::nothrow) RWSlistCollectablesStack(*this); }

RWClassID RWSlistCollectablesStack::isA() const { return kRWSlistCollectablesStackID; }

bool RWSlistCollectablesStack::isEqual(const RWCollectable* other) const {
  return other != nullptr && other->isA() == kRWSlistCollectablesStackID &&
         RWSlistCollectables::operator==(*static_cast<const RWSlistCollectables*>(other));
}

namespace {

void AppendToStack(RWCollection& stack, RWCollectable* item) {
  static_cast<RWSlistCollectablesStack&>(stack).RWSlistCollectables::append(item);
}

}  // namespace

void RWSlistCollectablesStack::restoreGuts(RWvistream& stream) { restoreItems(stream, &AppendToStack); }

void RWSlistCollectablesStack::restoreGuts(RWFile& file) { restoreItems(file, &AppendToStack); }

RWCollectable* RWSlistCollectablesStack::insert(RWCollectable* item) { return prepend(item); }

RWCollectable* RWSlistCollectablesStack::remove(const RWCollectable*) { return get(); }

void RWSlistCollectablesStack::removeAndDestroy(const RWCollectable*) {}

RWCollectable* RWSlistCollectablesStack::append(RWCollectable*) { return nullptr; }

RWCollectable* RWSlistCollectablesIterator::findNext(const RWCollectable* item) {
  return static_cast<RWCollectable*>(m_iterator.findNext(&StoredItemMatches, item));
}

RWCollectable* RWSlistCollectablesIterator::removeNext(const RWCollectable* item) {
  return static_cast<RWCollectable*>(m_iterator.removeNext(&StoredItemMatches, item));
}

RW_REGISTER_COLLECTABLE(RWSlistCollectables, kRWSlistCollectablesID);
RW_REGISTER_COLLECTABLE(RWSlistCollectablesStack, kRWSlistCollectablesStackID);

}  // namespace zentor
