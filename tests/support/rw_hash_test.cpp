#include "support/rw_hash_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rw_test_collectables.h"
#include "support/rw_set.h"

namespace zentor {
namespace {

using testing_support::KeyOf;
using testing_support::TestKey;

std::vector<RWCollectable*> Applied(const RWCollection& collection) {
  std::vector<RWCollectable*> items;
  collection.apply([](RWCollectable* item, void* out) { static_cast<std::vector<RWCollectable*>*>(out)->push_back(item); },
                   &items);
  return items;
}

std::vector<RWCollectable*> Iterated(RWHashTable& table) {
  std::vector<RWCollectable*> items;
  RWHashTableIterator it(table);
  while (RWCollectable* item = it()) items.push_back(item);
  return items;
}

// The three tables against one model each: RWHashTable keeps every equal item in
// insertion order, RWSet one item per key, RWIdentitySet one entry per object.
enum class Kind { Table, Set, Identity };

struct Model {
  Kind kind;
  // key -> held objects, first inserted first (one at most for a set).
  std::map<int, std::deque<TestKey*>> byKey;

  uint32_t entries() const {
    uint32_t n = 0;
    for (const auto& entry : byKey) n += static_cast<uint32_t>(entry.second.size());
    return n;
  }
  bool holds(const TestKey* item) const {
    auto it = byKey.find(item->key());
    return it != byKey.end() && std::find(it->second.begin(), it->second.end(), item) != it->second.end();
  }
  // What insert returns, updating the model.
  TestKey* insert(TestKey* item) {
    auto& held = byKey[item->key()];
    if (kind == Kind::Set && !held.empty()) return held.front();
    if (kind == Kind::Identity && holds(item)) return item;
    held.push_back(item);
    return item;
  }
  TestKey* find(const TestKey* item) const {
    if (kind == Kind::Identity) return holds(item) ? const_cast<TestKey*>(item) : nullptr;
    auto it = byKey.find(item->key());
    return it == byKey.end() || it->second.empty() ? nullptr : it->second.front();
  }
  uint32_t occurrencesOf(const TestKey* item) const {
    if (kind != Kind::Table) return find(item) != nullptr ? 1 : 0;
    auto it = byKey.find(item->key());
    return it == byKey.end() ? 0 : static_cast<uint32_t>(it->second.size());
  }
  TestKey* remove(const TestKey* item) {
    auto it = byKey.find(item->key());
    if (it == byKey.end()) return nullptr;
    auto& held = it->second;
    auto position = kind == Kind::Identity ? std::find(held.begin(), held.end(), item) : held.begin();
    if (position == held.end()) return nullptr;
    TestKey* removed = *position;
    held.erase(position);
    return removed;
  }
  bool removeExact(const RWCollectable* item) {
    auto& held = byKey[KeyOf(item)];
    auto position = std::find(held.begin(), held.end(), item);
    if (position == held.end()) return false;
    held.erase(position);
    return true;
  }
  std::multiset<RWCollectable*> contents() const {
    std::multiset<RWCollectable*> all;
    for (const auto& entry : byKey) all.insert(entry.second.begin(), entry.second.end());
    return all;
  }
};

std::unique_ptr<RWHashTable> MakeTable(Kind kind, uint32_t buckets) {
  switch (kind) {
    case Kind::Table:
      return std::make_unique<RWHashTable>(buckets);
    case Kind::Set:
      return std::make_unique<RWSet>(buckets);
    case Kind::Identity:
      break;
  }
  return std::make_unique<RWIdentitySet>(buckets);
}

uint32_t BucketOf(Kind kind, const RWCollectable* item, uint32_t buckets) {
  return (kind == Kind::Identity ? RWAddressHash(item) : item->hash()) % buckets;
}

TEST(RWHashTable, RandomOperationsMatchStdModels) {
  struct Case {
    const char* name;
    Kind kind;
    uint32_t buckets;
    uint32_t seed;
  };
  const Case cases[] = {
      {"hash table", Kind::Table, 3, 1101},
      {"set", Kind::Set, 5, 2202},
      {"identity set", Kind::Identity, 4, 3303},
      {"hash table, one bucket", Kind::Table, 1, 4404},
      {"set, many buckets", Kind::Set, 97, 5505},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    std::mt19937 random(testCase.seed);
    // Keys 0..39, three distinct objects per key.
    std::vector<std::unique_ptr<TestKey>> keys;
    for (int copyIndex = 0; copyIndex < 3; ++copyIndex) {
      for (int key = 0; key < 40; ++key) keys.push_back(std::make_unique<TestKey>(key));
    }
    std::unique_ptr<RWHashTable> table = MakeTable(testCase.kind, testCase.buckets);
    Model model{testCase.kind, {}};
    for (int step = 0; step < 4000; ++step) {
      SCOPED_TRACE("seed " + std::to_string(testCase.seed) + " step " + std::to_string(step));
      TestKey* item = keys[random() % keys.size()].get();
      switch (random() % 10) {
        case 0:
        case 1:
        case 2:
          ASSERT_EQ(table->insert(item), model.insert(item));
          break;
        case 3:
        case 4:
          ASSERT_EQ(table->remove(item), model.remove(item));
          break;
        case 5:
          ASSERT_EQ(table->find(item), model.find(item));
          ASSERT_EQ(table->contains(item), model.find(item) != nullptr);
          ASSERT_EQ(table->occurrencesOf(item), model.occurrencesOf(item));
          break;
        case 6: {
          uint32_t n = random() % 4 == 0 ? 0 : static_cast<uint32_t>(1 + random() % 40);
          uint32_t expected = n != 0 ? n : (model.entries() < 12 ? 16 : model.entries() * 3 / 2);
          table->resize(n);
          ASSERT_EQ(table->buckets(), expected);
          break;
        }
        case 7: {
          // Remove through an iterator: every item whose key is odd in one pass.
          if (random() % 8 != 0) break;
          RWHashTableIterator it(*table);
          while (RWCollectable* x = it()) {
            if (KeyOf(x) % 2 != 0) {
              ASSERT_EQ(it.remove(), x);
              ASSERT_TRUE(model.removeExact(x));
            }
          }
          break;
        }
        case 8: {
          // The next equal item found and removed through an iterator.
          RWHashTableIterator it(*table);
          RWCollectable* removed = it.removeNext(item);
          if (testCase.kind == Kind::Identity) {
            // The iterator's search is by isEqual, so any held object with the key.
            ASSERT_EQ(removed != nullptr, !model.byKey[item->key()].empty());
            if (removed != nullptr) {
              ASSERT_EQ(KeyOf(removed), item->key());
              ASSERT_TRUE(model.removeExact(removed));
            }
          } else {
            ASSERT_EQ(removed, model.remove(item));
          }
          break;
        }
        default:
          if (random() % 25 == 0) {
            table->clear();
            model.byKey.clear();
          }
          break;
      }
      ASSERT_EQ(table->entries(), model.entries());
      ASSERT_EQ(table->isEmpty(), model.entries() == 0);
      std::vector<RWCollectable*> applied = Applied(*table);
      ASSERT_EQ(std::multiset<RWCollectable*>(applied.begin(), applied.end()), model.contents());
      ASSERT_EQ(Iterated(*table), applied);
      // Buckets are visited in index order.
      for (size_t i = 1; i < applied.size(); ++i) {
        ASSERT_LE(BucketOf(testCase.kind, applied[i - 1], table->buckets()),
                  BucketOf(testCase.kind, applied[i], table->buckets()));
      }
    }
  }
}

TEST(RWHashTable, IteratorRemovalKeepsTheCount) {
  std::vector<std::unique_ptr<TestKey>> keys;
  RWHashTable table(7);
  for (int key = 0; key < 30; ++key) {
    keys.push_back(std::make_unique<TestKey>(key));
    table.insert(keys.back().get());
  }
  RWHashTableIterator it(table);
  uint32_t removed = 0;
  while (RWCollectable* item = it()) {
    if (KeyOf(item) % 3 == 0) {
      EXPECT_EQ(it.remove(), item);
      ++removed;
    }
  }
  EXPECT_EQ(removed, 10u);
  EXPECT_EQ(table.entries(), 20u);
  EXPECT_EQ(Applied(table).size(), 20u);
  for (const auto& key : keys) EXPECT_EQ(table.contains(key.get()), key->key() % 3 != 0);

  RWHashTableIterator copy(it);
  it.reset();
  RWHashTableIterator assigned(table);
  assigned = it;
  EXPECT_EQ(assigned(), it());
  EXPECT_EQ(copy(), nullptr);
}

TEST(RWHashTable, BucketCountsDuplicatesAndIdentity) {
  RWHashTable zero(0);
  EXPECT_EQ(zero.buckets(), 2u);
  RWHashTableIterator onEmpty(zero);
  EXPECT_EQ(onEmpty(), nullptr);
  EXPECT_EQ(onEmpty.key(), nullptr);
  EXPECT_EQ(zero.insert(nullptr), nullptr);
  EXPECT_EQ(zero.entries(), 0u);

  struct ResizeCase {
    uint32_t items;
    uint32_t buckets;
  };
  for (ResizeCase resizeCase : {ResizeCase{0, 16}, ResizeCase{11, 16}, ResizeCase{12, 18}, ResizeCase{13, 19},
                                ResizeCase{100, 150}}) {
    SCOPED_TRACE(resizeCase.items);
    std::vector<std::unique_ptr<TestKey>> keys;
    RWSet set(3);
    for (uint32_t i = 0; i < resizeCase.items; ++i) {
      keys.push_back(std::make_unique<TestKey>(static_cast<int>(i)));
      set.insert(keys.back().get());
    }
    set.resize(0);
    EXPECT_EQ(set.buckets(), resizeCase.buckets);
    EXPECT_EQ(set.entries(), resizeCase.items);
    for (const auto& key : keys) EXPECT_EQ(set.find(key.get()), key.get());
  }

  TestKey a(5), a2(5);
  RWSet set;
  EXPECT_EQ(set.insert(&a), &a);
  EXPECT_EQ(set.insert(&a2), &a);
  EXPECT_EQ(set.entries(), 1u);
  RWHashTable table;
  table.insert(&a);
  table.insert(&a);
  EXPECT_EQ(table.occurrencesOf(&a2), 2u);
  RWIdentitySet identity;
  EXPECT_EQ(identity.insert(&a), &a);
  EXPECT_EQ(identity.insert(&a2), &a2);
  EXPECT_EQ(identity.insert(&a), &a);
  EXPECT_EQ(identity.entries(), 2u);
  EXPECT_EQ(identity.remove(&a2), &a2);
  EXPECT_EQ(identity.remove(&a2), nullptr);
  EXPECT_EQ(identity.find(&a), &a);
}

TEST(RWHashTable, EqualityComparesClassAndCounts) {
  TestKey a(1), b(2), a2(1), b2(2);
  RWSet set, sameSet;
  RWIdentitySet identity;
  for (RWCollectable* item : {&a, &b}) {
    set.insert(item);
    identity.insert(item);
  }
  sameSet.insert(&b2);
  sameSet.insert(&a2);
  EXPECT_TRUE(set == sameSet);
  EXPECT_TRUE(set.isEqual(&sameSet));
  EXPECT_FALSE(set.isEqual(&identity));
  EXPECT_FALSE(identity.isEqual(&set));

  RWHashTable twice, once;
  twice.insert(&a);
  twice.insert(&a2);
  once.insert(&a);
  once.insert(&b);
  EXPECT_FALSE(twice <= once);
  EXPECT_TRUE(once <= once);
  EXPECT_FALSE(twice == once);
  EXPECT_TRUE(twice != once);
  once.remove(&b);
  EXPECT_TRUE(once <= twice);
  EXPECT_FALSE(once == twice);

  RWHashTable copy(twice);
  EXPECT_TRUE(copy == twice);
  EXPECT_EQ(copy.buckets(), twice.buckets());
  copy.remove(&a);
  EXPECT_EQ(twice.entries(), 2u);
  RWHashTable assigned(3);
  assigned = twice;
  assigned = assigned;
  EXPECT_EQ(assigned.buckets(), twice.buckets());
  EXPECT_TRUE(assigned == twice);
  std::unique_ptr<RWCollectable> species(identity.newSpecies());
  EXPECT_EQ(species->isA(), kRWIdentitySetID);
  EXPECT_EQ(static_cast<RWHashTable*>(species.get())->buckets(), DEFAULT_CAPACITY);
  std::unique_ptr<RWCollectable> duplicate(set.copy());
  EXPECT_TRUE(duplicate->isEqual(&set));
}

TEST(RWHashTable, ClearAndDestroyDeletesEachObjectOnce) {
  int before = TestKey::live();
  std::unique_ptr<TestKey> refused(new TestKey(3));
  {
    RWSet set;
    for (int key = 0; key < 20; ++key) set.insert(new TestKey(key));
    EXPECT_NE(set.insert(refused.get()), refused.get());
    EXPECT_EQ(TestKey::live(), before + 21);
    set.clearAndDestroy();
    EXPECT_TRUE(set.isEmpty());
    EXPECT_EQ(TestKey::live(), before + 1);
  }
  {
    // A plain table may hold one object several times; it is deleted once.
    RWHashTable table;
    auto twice = new TestKey(8);
    table.insert(twice);
    table.insert(twice);
    table.insert(new TestKey(8));
    EXPECT_EQ(TestKey::live(), before + 3);
    table.clearAndDestroy();
    EXPECT_EQ(table.entries(), 0u);
    EXPECT_EQ(TestKey::live(), before + 1);
  }
}

}  // namespace
}  // namespace zentor
