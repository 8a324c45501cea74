#include "support/rw_collectable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rw_test_collectables.h"
#include "support/rw_factory.h"
#include "support/rw_hash_table.h"
#include "support/rw_ordered.h"
#include "support/rw_set.h"
#include "support/rw_slist_collectables.h"

namespace zentor {
namespace {

using testing_support::KeyOf;
using testing_support::TestKey;

std::vector<int> Keys(const RWCollection& collection) {
  std::vector<int> keys;
  collection.apply([](RWCollectable* item, void* out) { static_cast<std::vector<int>*>(out)->push_back(KeyOf(item)); },
                   &keys);
  return keys;
}

TEST(RWCollectable, BaseOrdersHashesAndComparesByAddress) {
  RWCollectable objects[2];
  EXPECT_EQ(objects[0].compareTo(&objects[0]), 0);
  EXPECT_EQ(objects[0].compareTo(&objects[1]), -1);
  EXPECT_EQ(objects[1].compareTo(&objects[0]), 1);
  EXPECT_TRUE(objects[0].isEqual(&objects[0]));
  EXPECT_FALSE(objects[0].isEqual(&objects[1]));
  EXPECT_FALSE(objects[0].isEqual(nullptr));
  EXPECT_EQ(RWAddressHash(uintptr_t{0x1000}), 0x1200u);
  EXPECT_EQ(RWAddressHash(uintptr_t{0x12345678}), 0x12345678u ^ 0x02468ACFu);
  uintptr_t address = reinterpret_cast<uintptr_t>(&objects[1]);
  EXPECT_EQ(objects[1].hash(), static_cast<uint32_t>((address >> 3) ^ address));
  EXPECT_EQ(objects[0].isA(), kRWCollectableID);
  EXPECT_EQ(objects[0].binaryStoreSize(), 0u);

  std::unique_ptr<RWCollectable> species(objects[0].newSpecies());
  std::unique_ptr<RWCollectable> duplicate(objects[0].copy());
  ASSERT_NE(species, nullptr);
  ASSERT_NE(duplicate, nullptr);
  EXPECT_EQ(species->isA(), kRWCollectableID);
  // A copy of a base object is another object: equal only to itself.
  EXPECT_FALSE(duplicate->isEqual(&objects[0]));
}

RWCollectable* CreateTestKeyFive() { return new TestKey(5); }

TEST(RWFactory, CreatesEveryLibraryClassByItsID) {
  const RWClassID ids[] = {kRWCollectableID, kRWOrderedID,          kRWHashTableID,
                           kRWSetID,         kRWIdentitySetID,      kRWSlistCollectablesID,
                           kRWSlistCollectablesStackID};
  for (RWClassID id : ids) {
    SCOPED_TRACE(id);
    std::unique_ptr<RWCollectable> object(rwCreateFromFactory(id));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->isA(), id);
    if (auto collection = dynamic_cast<RWCollection*>(object.get())) EXPECT_TRUE(collection->isEmpty());
  }
  std::unique_ptr<RWCollectable> table(rwCreateFromFactory(kRWHashTableID));
  EXPECT_EQ(static_cast<RWHashTable*>(table.get())->buckets(), DEFAULT_CAPACITY);
  EXPECT_EQ(rwCreateFromFactory(0x7FFE), nullptr);
  EXPECT_EQ(getRWFactory()->getFunction(0x7FFE), nullptr);
  EXPECT_EQ(getRWFactory(), getRWFactory());
}

TEST(RWFactory, FirstRegistrationWinsAndRemovalForgets) {
  RWFactory* factory = getRWFactory();
  RWUserCreator ordered = factory->getFunction(kRWOrderedID);
  ASSERT_NE(ordered, nullptr);
  rwAddToFactory(&CreateTestKeyFive, kRWOrderedID);
  EXPECT_EQ(factory->getFunction(kRWOrderedID), ordered);
  std::unique_ptr<RWCollectable> created(factory->create(kRWOrderedID));
  EXPECT_EQ(created->isA(), kRWOrderedID);

  const RWClassID id = 0x7123;
  {
    RWFactoryRegistration registration(id, &CreateTestKeyFive);
    std::unique_ptr<RWCollectable> key(rwCreateFromFactory(id));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(KeyOf(key.get()), 5);
    uint32_t entries = factory->entries();
    rwAddToFactory(&RWCreateDefault<TestKey>, id);
    EXPECT_EQ(factory->entries(), entries);
    EXPECT_EQ(factory->getFunction(id), &CreateTestKeyFive);
  }
  EXPECT_EQ(rwCreateFromFactory(id), nullptr);
  rwRemoveFromFactory(id);  // removing twice is harmless
  EXPECT_EQ(factory->getFunction(id), nullptr);
}

TEST(RWCollection, ClearAndDestroyDeletesSharedObjectsOnce) {
  struct Case {
    const char* name;
    RWCollection* (*make)();
  };
  const Case cases[] = {
      {"ordered", [] { return static_cast<RWCollection*>(new RWOrdered()); }},
      {"list", [] { return static_cast<RWCollection*>(new RWSlistCollectables()); }},
      {"hash table", [] { return static_cast<RWCollection*>(new RWHashTable(3)); }},
      {"stack", [] { return static_cast<RWCollection*>(new RWSlistCollectablesStack()); }},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    std::unique_ptr<RWCollection> collection(testCase.make());
    int before = TestKey::live();
    auto shared = new TestKey(1);
    for (int i = 0; i < 3; ++i) collection->insert(shared);
    for (int key = 2; key < 40; ++key) collection->insert(new TestKey(key));
    EXPECT_EQ(TestKey::live(), before + 39);
    collection->clearAndDestroy();
    EXPECT_EQ(TestKey::live(), before);
    EXPECT_EQ(collection->entries(), 0u);
  }
}

TEST(RWCollection, DefaultsBuildOtherCollectionsFromTheItems) {
  std::vector<std::unique_ptr<TestKey>> keys;
  RWSlistCollectables list;
  for (int key : {4, 1, 4, 9, 2, 9, 9}) {
    keys.push_back(std::make_unique<TestKey>(key));
    list.append(keys.back().get());
  }

  RWOrdered ordered = list.asOrderedCollection();
  EXPECT_EQ(Keys(ordered), Keys(list));
  EXPECT_EQ(ordered(0), keys[0].get());

  RWSet set = list.asSet();
  EXPECT_EQ(set.entries(), 4u);
  EXPECT_EQ(set.buckets(), 3u);
  for (const auto& key : keys) EXPECT_NE(set.find(key.get()), nullptr);

  const int modulus = 2;
  std::unique_ptr<RWCollection> odd(list.select(
      [](const RWCollectable* item, const void* m) { return KeyOf(item) % *static_cast<const int*>(m) == 1; },
      &modulus));
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->isA(), kRWSlistCollectablesID);
  EXPECT_EQ(Keys(*odd), (std::vector<int>{1, 9, 9, 9}));

  RWOrdered target;
  list.addContentsTo(target);
  EXPECT_EQ(Keys(target), Keys(list));
  RWOrdered more;
  more.addContents(list);
  EXPECT_EQ(Keys(more), Keys(list));
  more.removeContents(*odd);
  EXPECT_EQ(Keys(more), (std::vector<int>{4, 4, 2}));
  more.removeContents(more);
  EXPECT_TRUE(more.isEmpty());

  int before = TestKey::live();
  RWSet copies;
  list.copyContentsTo(copies);
  EXPECT_EQ(copies.entries(), 4u);
  EXPECT_EQ(TestKey::live(), before + 4);  // refused copies were deleted
  for (const auto& key : keys) EXPECT_NE(copies.find(key.get()), key.get());
  copies.clearAndDestroy();
  EXPECT_EQ(TestKey::live(), before);

  TestKey probe(77);
  before = TestKey::live();
  auto owned = new TestKey(77);
  RWOrdered holder;
  holder.append(owned);
  holder.removeAndDestroy(keys[0].get());  // not held: nothing deleted
  EXPECT_EQ(TestKey::live(), before + 1);
  holder.removeAndDestroy(&probe);
  EXPECT_EQ(TestKey::live(), before);
  EXPECT_TRUE(holder.isEmpty());
  EXPECT_FALSE(holder.contains(&probe));
}

}  // namespace
}  // namespace zentor
