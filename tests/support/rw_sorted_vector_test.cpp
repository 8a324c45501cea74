#include "support/rw_sorted_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/rw_collectable_int.h"
#include "support/rw_factory.h"
#include "support/rw_file.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::RWErrorTextOf;

constexpr const char* kNotAllowed = "[NOTALLOW] Function not allowed for derived class";

int g_compareCalls = 0;
int CompareInts(const void* element, const void* key) {
  ++g_compareCalls;
  int a = *static_cast<const int*>(element);
  int b = *static_cast<const int*>(key);
  return a < b ? -1 : (a > b ? 1 : 0);
}

TEST(RWbsearch, AgreesWithTheStandardSearchesOnRandomArrays) {
  const uint32_t seed = 0xB5EA7C11;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE(round);
    size_t count = random() % 40;
    std::vector<int> values(count);
    for (int& v : values) v = static_cast<int>(random() % 30);  // many duplicates
    std::sort(values.begin(), values.end());
    int key = static_cast<int>(random() % 32) - 1;
    size_t index = 12345;
    bool found = RWbsearch(&key, values.data(), count, sizeof(int), &CompareInts, index);
    ASSERT_EQ(found, std::binary_search(values.begin(), values.end(), key));
    if (count == 0) {
      ASSERT_EQ(index, 0u);
      continue;
    }
    ASSERT_LT(index, count);
    size_t lower = std::lower_bound(values.begin(), values.end(), key) - values.begin();
    size_t upper = std::upper_bound(values.begin(), values.end(), key) - values.begin();
    if (found) {
      ASSERT_EQ(values[index], key);
      ASSERT_GE(index, lower);
      ASSERT_LT(index, upper);
    } else {
      // The search ends next to where the key belongs.
      ASSERT_TRUE(index == lower || index + 1 == lower) << "index " << index << " lower " << lower;
    }
  }
}

TEST(RWbsearch, EmptyAndSingleElementArrays) {
  int key = 5;
  size_t index = 99;
  g_compareCalls = 0;
  EXPECT_FALSE(RWbsearch(&key, nullptr, 0, sizeof(int), &CompareInts, index));
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(g_compareCalls, 0);
  for (int element : {4, 5, 6}) {
    SCOPED_TRACE(element);
    g_compareCalls = 0;
    index = 99;
    EXPECT_EQ(RWbsearch(&key, &element, 1, sizeof(int), &CompareInts, index), element == 5);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(g_compareCalls, 1);
  }
}

// Items are RWCollectableInts owned by the test; the vector only points at them.
class RWSortedVectorTest : public ::testing::Test {
 protected:
  RWCollectableInt* Make(int value) {
    m_items.push_back(std::make_unique<RWCollectableInt>(value));
    return m_items.back().get();
  }
  static std::vector<int> Values(const RWSortedVector& v) {
    std::vector<int> out;
    for (uint32_t i = 0; i < v.entries(); ++i) out.push_back(static_cast<RWCollectableInt*>(v[i])->value());
    return out;
  }

  std::vector<std::unique_ptr<RWCollectableInt>> m_items;
};

TEST_F(RWSortedVectorTest, KeepsOrderAndInsertionOrderOfEqualItems) {
  RWSortedVector sorted;
  for (int v : {3, 1, 2}) {
    RWCollectableInt* item = Make(v);
    EXPECT_EQ(sorted.insert(item), item);
  }
  EXPECT_EQ(Values(sorted), (std::vector<int>{1, 2, 3}));

  RWCollectableInt* firstTwo = Make(2);
  RWCollectableInt* secondTwo = Make(2);
  sorted.insert(firstTwo);
  sorted.insert(secondTwo);
  EXPECT_EQ(Values(sorted), (std::vector<int>{1, 2, 2, 2, 3}));
  EXPECT_EQ(sorted[2], firstTwo);
  EXPECT_EQ(sorted[3], secondTwo);
  EXPECT_EQ(sorted.index(secondTwo), 1u);  // the first of the run
  EXPECT_EQ(sorted.index(firstTwo), 1u);
  EXPECT_EQ(sorted.occurrencesOf(secondTwo), 3u);
  EXPECT_EQ(sorted.find(firstTwo), m_items[2].get());

  RWCollectableInt below(0), above(9), between(1);
  RWSortedVector gaps;
  gaps.insert(Make(1));
  gaps.insert(Make(5));
  RWCollectableInt middle(3);
  for (const RWCollectableInt* probe : {&below, &above, &middle}) {
    SCOPED_TRACE(probe->value());
    EXPECT_EQ(gaps.index(probe), RW_NPOS);
    EXPECT_EQ(gaps.occurrencesOf(probe), 0u);
    EXPECT_EQ(gaps.find(probe), nullptr);
    EXPECT_FALSE(gaps.contains(probe));
  }
  EXPECT_TRUE(gaps.contains(&between));
  EXPECT_EQ(gaps.insert(nullptr), nullptr);
  EXPECT_EQ(gaps.entries(), 2u);
}

TEST_F(RWSortedVectorTest, PositionalOperationsAreRefusedAndChangeNothing) {
  RWSortedVector sorted;
  for (int v : {10, 20, 30}) sorted.insert(Make(v));
  RWCollectableInt* extra = Make(5);
  struct Case {
    const char* name;
    std::function<void()> operation;
  };
  const Case cases[] = {
      {"append", [&] { EXPECT_EQ(sorted.append(extra), nullptr); }},
      {"prepend", [&] { EXPECT_EQ(sorted.prepend(extra), nullptr); }},
      {"insertAt", [&] { EXPECT_EQ(sorted.insertAt(1, extra), nullptr); }},
      {"insertAfter", [&] { EXPECT_EQ(sorted.insertAfter(0, extra), nullptr); }},
      {"writable at", [&] { sorted.at(0u) = extra; }},
      {"through the sequenceable interface", [&] { static_cast<RWSequenceable&>(sorted).insertAt(0, extra); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RWErrorTextOf(c.operation), kNotAllowed);
    EXPECT_EQ(Values(sorted), (std::vector<int>{10, 20, 30}));
  }
  const RWSortedVector& view = sorted;
  EXPECT_EQ(static_cast<RWCollectableInt*>(view.at(2))->value(), 30);
  EXPECT_EQ(RWErrorTextOf([&] { view.at(3); }), "[INDEXERR] Illegal Index (3) for collection with 3 elements");
}

// Random inserts and removals against a stably sorted std::vector of the same
// objects: order, identity, index, occurrencesOf and find must all agree.
TEST_F(RWSortedVectorTest, MatchesAStableSortedModelOverRandomOperations) {
  const uint32_t seed = 0x50127ED;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  RWSortedVector sorted(0);
  std::vector<RWCollectableInt*> model;
  auto byValue = [](const RWCollectableInt* a, const RWCollectableInt* b) { return a->value() < b->value(); };
  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE(step);
    RWCollectableInt probe(static_cast<int>(random() % 60) - 30);
    auto lower = std::lower_bound(model.begin(), model.end(), &probe, byValue);
    auto upper = std::upper_bound(model.begin(), model.end(), &probe, byValue);
    switch (random() % 5) {
      case 0:
      case 1: {
        RWCollectableInt* item = Make(probe.value());
        ASSERT_EQ(sorted.insert(item), item);
        model.insert(upper, item);
        break;
      }
      case 2: {
        RWCollectable* removed = sorted.remove(&probe);
        if (lower == upper) {
          ASSERT_EQ(removed, nullptr);
        } else {
          ASSERT_EQ(removed, *lower);
          model.erase(lower);
        }
        break;
      }
      default: {
        uint32_t expectedIndex = lower == upper ? RW_NPOS : static_cast<uint32_t>(lower - model.begin());
        ASSERT_EQ(sorted.index(&probe), expectedIndex);
        ASSERT_EQ(sorted.occurrencesOf(&probe), static_cast<uint32_t>(upper - lower));
        ASSERT_EQ(sorted.find(&probe), lower == upper ? nullptr : *lower);
        break;
      }
    }
    ASSERT_EQ(sorted.entries(), model.size());
    for (uint32_t i = 0; i < model.size(); ++i) ASSERT_EQ(sorted[i], model[i]);
  }
  // Growth was linear, by the ordered collection's step.
  EXPECT_EQ(sorted.capacity() % DEFAULT_RESIZE, 0u);
}

TEST_F(RWSortedVectorTest, ClassIdentityCopiesAndEquality) {
  RWSortedVector sorted;
  RWOrdered ordered;
  for (int v : {4, 8}) {
    RWCollectableInt* item = Make(v);
    sorted.insert(item);
    ordered.append(item);
  }
  EXPECT_EQ(sorted.isA(), 0x804A);
  EXPECT_FALSE(sorted.isEqual(&ordered));
  EXPECT_FALSE(ordered.isEqual(&sorted));

  std::unique_ptr<RWCollectable> copy(sorted.copy());
  EXPECT_EQ(copy->isA(), 0x804A);
  EXPECT_TRUE(sorted.isEqual(copy.get()));
  static_cast<RWSortedVector*>(copy.get())->insert(Make(6));
  EXPECT_FALSE(sorted.isEqual(copy.get()));
  EXPECT_EQ(Values(*static_cast<RWSortedVector*>(copy.get())), (std::vector<int>{4, 6, 8}));

  std::unique_ptr<RWCollectable> species(sorted.newSpecies());
  EXPECT_EQ(species->isA(), 0x804A);
  EXPECT_EQ(static_cast<RWSortedVector*>(species.get())->capacity(), DEFAULT_CAPACITY);
  std::unique_ptr<RWCollectable> created(rwCreateFromFactory(0x804A));
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->isA(), 0x804A);
}

TEST_F(RWSortedVectorTest, RestoredVectorIsSortedAgain) {
  auto path = std::filesystem::temp_directory_path() /
              ("zentor_sorted_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  RWSortedVector sorted;
  for (int v : {7, -3, 7, 0, 12}) sorted.insert(Make(v));
  {
    RWFile file(path.string().c_str(), "wb+");
    ASSERT_TRUE(file.isValid());
    sorted.recursiveSaveOn(file);
    EXPECT_EQ(file.CurOffset(), static_cast<long>(sorted.recursiveStoreSize()));
  }
  {
    RWFile file(path.string().c_str(), "rb");
    ASSERT_TRUE(file.isValid());
    std::unique_ptr<RWCollectable> restored(RWCollectable::recursiveRestoreFrom(file));
    ASSERT_NE(restored, nullptr);
    ASSERT_EQ(restored->isA(), 0x804A);
    auto* back = static_cast<RWSortedVector*>(restored.get());
    EXPECT_EQ(Values(*back), (std::vector<int>{-3, 0, 7, 7, 12}));
    EXPECT_TRUE(back->isEqual(&sorted));
    back->clearAndDestroy();
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace
}  // namespace zentor
