#include "support/rw_ordered.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "rw_test_collectables.h"
#include "support/rw_slist_collectables.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::KeyOf;
using testing_support::RWErrorTextOf;
using testing_support::TestKey;

// Keys 0..9, each held by three distinct objects, so equality and identity differ.
class KeyPool {
 public:
  KeyPool() {
    for (int copyIndex = 0; copyIndex < 3; ++copyIndex) {
      for (int key = 0; key < 10; ++key) m_keys.push_back(std::make_unique<TestKey>(key));
    }
  }
  TestKey* pick(std::mt19937& random) { return m_keys[random() % m_keys.size()].get(); }
  TestKey* at(size_t i) { return m_keys[i].get(); }

 private:
  std::vector<std::unique_ptr<TestKey>> m_keys;
};

size_t ModelIndex(const std::vector<RWCollectable*>& model, const RWCollectable* item) {
  for (size_t i = 0; i < model.size(); ++i) {
    if (KeyOf(model[i]) == KeyOf(item)) return i;
  }
  return RW_NPOS;
}

void ExpectSameContents(const RWOrdered& ordered, const std::vector<RWCollectable*>& model) {
  ASSERT_EQ(ordered.entries(), model.size());
  for (uint32_t i = 0; i < model.size(); ++i) ASSERT_EQ(ordered(i), model[i]) << "position " << i;
  std::vector<RWCollectable*> applied;
  ordered.apply([](RWCollectable* item, void* out) { static_cast<std::vector<RWCollectable*>*>(out)->push_back(item); },
                &applied);
  EXPECT_EQ(applied, model);
}

TEST(RWOrdered, RandomOperationsMatchAVectorModel) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  KeyPool pool;
  RWOrdered ordered;
  std::vector<RWCollectable*> model;
  uint32_t modelCapacity = DEFAULT_CAPACITY;

  for (int step = 0; step < 6000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    auto grow = [&] {
      if (model.size() == modelCapacity) modelCapacity += DEFAULT_RESIZE;
    };
    TestKey* key = pool.pick(random);
    switch (random() % 12) {
      case 0:
      case 1: {
        grow();
        EXPECT_EQ(ordered.append(key), key);
        model.push_back(key);
        break;
      }
      case 2: {
        grow();
        EXPECT_EQ(ordered.prepend(key), key);
        model.insert(model.begin(), key);
        break;
      }
      case 3: {
        uint32_t i = static_cast<uint32_t>(random() % (model.size() + 1));
        grow();
        EXPECT_EQ(ordered.insertAt(i, key), key);
        model.insert(model.begin() + i, key);
        break;
      }
      case 4: {
        if (model.empty()) break;
        uint32_t i = static_cast<uint32_t>(random() % model.size());
        EXPECT_EQ(ordered.removeAt(i), model[i]);
        model.erase(model.begin() + i);
        break;
      }
      case 5: {
        size_t i = ModelIndex(model, key);
        RWCollectable* expected = i == RW_NPOS ? nullptr : model[i];
        EXPECT_EQ(ordered.remove(key), expected);
        if (i != RW_NPOS) model.erase(model.begin() + static_cast<long>(i));
        break;
      }
      case 6: {
        size_t i = ModelIndex(model, key);
        EXPECT_EQ(ordered.index(key), i);
        EXPECT_EQ(ordered.find(key), i == RW_NPOS ? nullptr : model[i]);
        EXPECT_EQ(ordered.contains(key), i != RW_NPOS);
        auto count = std::count_if(model.begin(), model.end(), [&](RWCollectable* x) { return KeyOf(x) == key->key(); });
        EXPECT_EQ(ordered.occurrencesOf(key), static_cast<uint32_t>(count));
        break;
      }
      case 7: {
        EXPECT_EQ(ordered.first(), model.empty() ? nullptr : model.front());
        EXPECT_EQ(ordered.last(), model.empty() ? nullptr : model.back());
        if (!model.empty()) {
          uint32_t i = static_cast<uint32_t>(random() % model.size());
          EXPECT_EQ(ordered.at(i), model[i]);
          ordered[i] = key;
          model[i] = key;
        }
        break;
      }
      case 8: {
        if (random() % 20 != 0) break;
        ordered.clear();
        model.clear();
        if (modelCapacity > DEFAULT_CAPACITY) modelCapacity = DEFAULT_CAPACITY;
        break;
      }
      case 9: {
        uint32_t n = static_cast<uint32_t>(random() % 300);
        ordered.resize(n);
        if (n >= model.size()) modelCapacity = n;
        break;
      }
      default: {
        // Bulk growth so capacities well above one step are exercised.
        for (int i = 0; i < 40; ++i) {
          grow();
          ordered.append(key);
          model.push_back(key);
        }
        break;
      }
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameContents(ordered, model));
    ASSERT_EQ(ordered.capacity(), modelCapacity);
  }
}

TEST(RWOrdered, CapacityGrowsLinearlyAndClearShrinksBack) {
  TestKey item(1);
  struct Case {
    const char* name;
    uint32_t appends;
    uint32_t capacity;
    uint32_t capacityAfterClear;
  };
  const Case cases[] = {
      {"empty", 0, 64, 64},   {"full first block", 64, 64, 64}, {"65th item", 65, 128, 64},
      {"129th item", 129, 192, 64}, {"193rd item", 193, 256, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWOrdered ordered;
    for (uint32_t i = 0; i < c.appends; ++i) ordered.append(&item);
    EXPECT_EQ(ordered.capacity(), c.capacity);
    ordered.clear();
    EXPECT_EQ(ordered.capacity(), c.capacityAfterClear);
    EXPECT_TRUE(ordered.isEmpty());
  }
  RWOrdered small(10);
  small.clear();
  EXPECT_EQ(small.capacity(), 10u);
  RWOrdered zero(0);
  zero.append(&item);
  EXPECT_EQ(zero.capacity(), 64u);
}

TEST(RWOrdered, IndexErrorsNameTheIndexAndLeaveTheCollectionUnchanged) {
  TestKey a(1), b(2), c(3), x(9);
  struct Case {
    const char* name;
    void (*operation)(RWOrdered&, RWCollectable*);
    const char* text;
  };
  const Case cases[] = {
      {"insertAt entries+1", [](RWOrdered& o, RWCollectable* x) { o.insertAt(4, x); },
       "[INDEX] Index (4) out of range [0->3]"},
      {"insertAfter last", [](RWOrdered& o, RWCollectable* x) { o.insertAfter(3, x); },
       "[INDEX] Index (4) out of range [0->3]"},
      {"at entries", [](RWOrdered& o, RWCollectable*) { (void)static_cast<const RWOrdered&>(o).at(3); },
       "[INDEXERR] Illegal Index (3) for collection with 3 elements"},
      {"at reference", [](RWOrdered& o, RWCollectable* x) { o.at(7) = x; },
       "[INDEXERR] Illegal Index (7) for collection with 3 elements"},
      {"operator[]", [](RWOrdered& o, RWCollectable* x) { o[3] = x; },
       "[INDEXERR] Illegal Index (3) for collection with 3 elements"},
      {"removeAt", [](RWOrdered& o, RWCollectable*) { o.removeAt(3); },
       "[INDEXERR] Illegal Index (3) for collection with 3 elements"},
      {"removeAt huge", [](RWOrdered& o, RWCollectable*) { o.removeAt(RW_NPOS); },
       "[INDEXERR] Illegal Index (4294967295) for collection with 3 elements"},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    RWOrdered ordered;
    ordered.append(&a);
    ordered.append(&b);
    ordered.append(&c);
    EXPECT_EQ(RWErrorTextOf([&] { testCase.operation(ordered, &x); }), testCase.text);
    ASSERT_EQ(ordered.entries(), 3u);
    EXPECT_EQ(ordered(0), &a);
    EXPECT_EQ(ordered(1), &b);
    EXPECT_EQ(ordered(2), &c);
  }
  RWOrdered ordered;
  EXPECT_EQ(ordered.insertAt(0, &a), &a);  // insertAt(entries) appends
  EXPECT_EQ(ordered.insertAt(1, &b), &b);
  EXPECT_EQ(ordered.last(), &b);
}

TEST(RWOrdered, EqualityAndResize) {
  TestKey a(1), b(2), a2(1), b2(2);
  RWOrdered left, right;
  left.append(&a);
  left.append(&b);
  right.append(&a2);
  right.append(&b2);
  EXPECT_TRUE(left == right);
  EXPECT_TRUE(left.isEqual(&right));
  RWSlistCollectables list;
  list.append(&a2);
  list.append(&b2);
  EXPECT_FALSE(left.isEqual(&list));
  EXPECT_FALSE(left.isEqual(nullptr));
  right.removeAt(1);
  EXPECT_FALSE(left == right);
  right.append(&a2);
  EXPECT_FALSE(left == right);

  RWOrdered five;
  for (int i = 0; i < 5; ++i) five.append(&a);
  five.resize(2);
  EXPECT_EQ(five.capacity(), 64u);
  EXPECT_EQ(five.entries(), 5u);
  five.resize(5);
  EXPECT_EQ(five.capacity(), 5u);
  EXPECT_EQ(five.entries(), 5u);
  EXPECT_EQ(five.last(), &a);

  RWOrdered copy(left);
  EXPECT_EQ(copy(0), &a);
  EXPECT_EQ(copy(1), &b);
  copy.removeAt(0);
  EXPECT_EQ(left.entries(), 2u);
  std::unique_ptr<RWCollectable> species(left.newSpecies());
  EXPECT_EQ(species->isA(), kRWOrderedID);
  EXPECT_EQ(static_cast<RWOrdered*>(species.get())->entries(), 0u);
  std::unique_ptr<RWCollectable> duplicate(left.copy());
  EXPECT_TRUE(duplicate->isEqual(&left));
}

TEST(RWOrdered, IteratorWalksFindsAndKeepsCounting) {
  TestKey a(1), b(2), c(1);
  RWOrdered empty;
  RWOrderedIterator onEmpty(empty);
  EXPECT_EQ(onEmpty.key(), nullptr);
  EXPECT_EQ(onEmpty(), nullptr);

  RWOrdered ordered;
  ordered.append(&a);
  ordered.append(nullptr);
  ordered.append(&b);
  ordered.append(&c);
  RWOrderedIterator it(ordered);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(it(), &a);
  EXPECT_EQ(it.key(), &a);
  EXPECT_EQ(it.findNext(&c), &c);  // passes the null item and b
  EXPECT_EQ(it(), nullptr);
  EXPECT_EQ(it.key(), nullptr);
  ordered.append(&b);
  // The position kept counting past the end, so the item appended at position 4 is
  // behind it.
  EXPECT_EQ(it(), nullptr);
  it.reset();
  EXPECT_EQ(it.findNext(&b), &b);
  EXPECT_EQ(it.findNext(&b), &b);
  EXPECT_EQ(it.findNext(&b), nullptr);
}

}  // namespace
}  // namespace zentor

namespace zentor {
namespace {

TEST(RWGVector, ReshapeKeepsTheLeadingSlotsAndChecksBounds) {
  int slots[6] = {};
  const uint32_t seed = 8086;
  std::mt19937 random(seed);
  RWGVector<int*> vector(4, &slots[0]);
  std::vector<int*> model(4, &slots[0]);
  for (int step = 0; step < 200; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    uint32_t n = static_cast<uint32_t>(random() % 9);
    vector.reshape(n);
    model.resize(n, nullptr);
    if (n != 0) {
      uint32_t i = static_cast<uint32_t>(random() % n);
      vector(i) = &slots[random() % 6];
      model[i] = vector(i);
    }
    ASSERT_EQ(vector.length(), model.size());
    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(vector(i), model[i]);
  }
  RWGVector<int*> copy(vector);
  RWGVector<int*> assigned(2, nullptr);
  assigned = vector;
  assigned = assigned;
  for (uint32_t i = 0; i < vector.length(); ++i) {
    EXPECT_EQ(copy(i), vector(i));
    EXPECT_EQ(assigned(i), vector(i));
  }
  assigned = &slots[5];
  for (uint32_t i = 0; i < assigned.length(); ++i) EXPECT_EQ(assigned(i), &slots[5]);
  RWGVector<int*> three(3, nullptr);
  EXPECT_EQ(testing_support::RWErrorTextOf([&] { three.boundsCheck(3); }),
            "[INDEXERR] Illegal Index (3) for collection with 3 elements");
  EXPECT_EQ(testing_support::RWErrorTextOf([&] { three.boundsCheck(2); }), "");
}

}  // namespace
}  // namespace zentor
