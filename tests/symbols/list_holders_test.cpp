#include "symbols/list_holders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vst_test_support.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::CurrentMemoryCache;
using testing_support::RWErrorTextOf;

int g_liveItems = 0;

// A line-table entry: a code offset and a source line (file and line; line 0 = none).
class TestLineEntry : public LineKeyedItem {
 public:
  TestLineEntry(uint64_t offset, uint32_t file, uint32_t line) : m_offset(offset), m_file(file), m_line(line) {
    ++g_liveItems;
  }
  ~TestLineEntry() override { --g_liveItems; }
  int compareTo(const RWCollectable* other) const override {
    const auto* entry = static_cast<const TestLineEntry*>(other);
    return m_offset == entry->m_offset ? 0 : m_offset > entry->m_offset ? 1 : -1;
  }
  uint64_t LineKey() const override { return m_line == 0 ? 0 : (static_cast<uint64_t>(m_file) << 32) | m_line; }
  void DropLine() override {
    m_line = 0;
    m_offset = ~uint64_t{0};
  }

  uint64_t m_offset;
  uint32_t m_file;
  uint32_t m_line;
  int m_id = 0;
};

struct Entry {
  uint64_t offset;
  uint32_t file;
  uint32_t line;
};

// The sorted list without the class library: a stable sort by offset (equal offsets in
// insertion order), the later entries for a line already seen lose it, then sorted
// again.
std::vector<Entry> ReferenceSort(std::vector<Entry> entries) {
  auto byOffset = [](const Entry& a, const Entry& b) { return a.offset < b.offset; };
  std::stable_sort(entries.begin(), entries.end(), byOffset);
  std::set<std::pair<uint32_t, uint32_t>> seen;
  bool changed = false;
  for (Entry& e : entries) {
    if (e.line == 0) continue;
    if (!seen.insert({e.file, e.line}).second) {
      e.line = 0;
      e.offset = ~uint64_t{0};
      changed = true;
    }
  }
  if (changed) std::stable_sort(entries.begin(), entries.end(), byOffset);
  return entries;
}

std::vector<Entry> SortThroughHolder(const std::vector<Entry>& entries) {
  SortedOnDemandHolder holder;
  for (const Entry& e : entries) holder.Insert(new TestLineEntry(e.offset, e.file, e.line));
  std::vector<Entry> result;
  for (uint32_t i = 0; i < holder.Count(); ++i) {
    const auto* item = static_cast<const TestLineEntry*>(holder.SortedItemAt(i));
    result.push_back({item->m_offset, item->m_file, item->m_line});
  }
  return result;
}

std::string Describe(const std::vector<Entry>& entries) {
  std::string text;
  for (const Entry& e : entries) {
    text += (e.offset == ~uint64_t{0} ? std::string("max") : std::to_string(e.offset)) + ":" + std::to_string(e.file) +
            "/" + std::to_string(e.line) + " ";
  }
  return text;
}

TEST(SortedOnDemandHolderTest, OnlyTheLowestOffsetOfALineKeepsIt) {
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    std::vector<Entry> expected;
  };
  const uint64_t kMax = ~uint64_t{0};
  const Case cases[] = {
      {"duplicate line loses it and moves last",
       {{30, 1, 5}, {10, 1, 5}, {20, 2, 5}, {5, 1, 0}, {40, 1, 6}},
       {{5, 1, 0}, {10, 1, 5}, {20, 2, 5}, {40, 1, 6}, {kMax, 1, 0}}},
      {"no duplicates", {{3, 1, 1}, {1, 1, 2}, {2, 1, 3}}, {{1, 1, 2}, {2, 1, 3}, {3, 1, 1}}},
      {"entries without a line are never changed",
       {{7, 1, 0}, {7, 1, 0}, {6, 2, 0}},
       {{6, 2, 0}, {7, 1, 0}, {7, 1, 0}}},
      {"same line, same offset: the first inserted keeps it",
       {{8, 3, 9}, {8, 4, 9}, {8, 3, 9}},
       {{8, 3, 9}, {8, 4, 9}, {kMax, 3, 0}}},
      {"empty", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Describe(SortThroughHolder(c.entries)), Describe(c.expected));
  }
  EXPECT_EQ(g_liveItems, 0) << "the holder destroys its items";
}

TEST(SortedOnDemandHolderTest, MatchesReferenceOnRandomTables) {
  constexpr uint32_t kSeed = 1701;
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937 random(kSeed);
  for (int round = 0; round < 50; ++round) {
    std::vector<Entry> entries;
    const int count = static_cast<int>(random() % 200);
    for (int i = 0; i < count; ++i) {
      const uint64_t offset = random() % 64;
      const auto file = static_cast<uint32_t>(random() % 3);
      const auto line = static_cast<uint32_t>(random() % 4 == 0 ? 0 : 1 + random() % 20);
      entries.push_back({offset, file, line});
    }
    ASSERT_EQ(Describe(SortThroughHolder(entries)), Describe(ReferenceSort(entries))) << "round " << round;
  }
}

TEST(SortedOnDemandHolderTest, SortsOnceThenInsertsInOrder) {
  SortedOnDemandHolder holder;
  holder.Insert(new TestLineEntry(9, 1, 1));
  holder.Insert(new TestLineEntry(3, 1, 2));
  EXPECT_FALSE(holder.IsSorted());
  EXPECT_EQ(static_cast<const TestLineEntry*>(holder.SortedItemAt(0))->m_offset, 3u);
  EXPECT_TRUE(holder.IsSorted());
  holder.Insert(new TestLineEntry(5, 1, 3));
  EXPECT_EQ(static_cast<const TestLineEntry*>(holder.SortedItemAt(1))->m_offset, 5u);
  EXPECT_EQ(RWErrorTextOf([&] { holder.SortedItemAt(3); }), "[INDEXERR] Illegal Index (3) for collection with 3 elements");
  holder.Clear();
  EXPECT_EQ(holder.Count(), 0u);
  EXPECT_EQ(g_liveItems, 0);
}

TEST(OrderedListHolderTest, CursorAndBounds) {
  OrderedListHolder holder;
  EXPECT_TRUE(holder.CursorAtEnd());
  for (int i = 0; i < 3; ++i) holder.Insert(new TestLineEntry(static_cast<uint64_t>(10 - i), 0, 0));
  EXPECT_EQ(holder.Count(), 3u);
  EXPECT_EQ(static_cast<const TestLineEntry*>(holder.ItemAt(0))->m_offset, 10u) << "kept in insertion order";
  EXPECT_FALSE(holder.CursorAtEnd());
  holder.SetCursor(3);
  EXPECT_TRUE(holder.CursorAtEnd());
  EXPECT_EQ(RWErrorTextOf([&] { holder.ItemAt(3); }), "[INDEXERR] Illegal Index (3) for collection with 3 elements");
  EXPECT_EQ(RWErrorTextOf([&] { holder.ItemAt(2); }), "");
  holder.Clear();
  EXPECT_EQ(g_liveItems, 0);
  EXPECT_EQ(holder.Cursor(), 0u);
}

// A module descriptor as far as the collection sees it: a name key and the name order.
class TestModule : public RWCollectable {
 public:
  explicit TestModule(const SymbolKey& name) : m_name(name) { ++g_liveItems; }
  ~TestModule() override { --g_liveItems; }
  int compareTo(const RWCollectable* other) const override {
    return CompareModuleNames(m_name.NameText(), static_cast<const TestModule*>(other)->m_name.NameText());
  }
  SymbolKey m_name;
};

TEST(ModuleCollectionTest, NameOrderAndLongestName) {
  CurrentMemoryCache current;
  RecordChainWriter pool;
  {
    ModuleCollection modules;
    for (const char* name : {"abc", "zyxwvuts", "mmmmm", "Abc"}) {
      const SymbolKey key = SymbolKey::Store(current.Cache(), pool, NameKey(name, 1));
      modules.Add(new TestModule(key), key);
    }
    EXPECT_EQ(modules.LongestNameLength(), 8u);
    std::string order;
    for (uint32_t i = 0; i < modules.Count(); ++i) {
      order += std::string(static_cast<const TestModule*>(modules.ModuleAt(i))->m_name.NameText().data()) + " ";
    }
    EXPECT_EQ(order, "Abc abc mmmmm zyxwvuts ");
  }
  EXPECT_EQ(g_liveItems, 0) << "the collection owns its modules";
}

TEST(ModuleCollectionTest, CompareModuleNames) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {{"a", "b", -1}, {"b", "a", 1}, {"same", "same", 0}, {"a", "A", 1}, {"ab", "abc", -1}, {"", "", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(CompareModuleNames(c.a, c.b), c.order);
  }
}

}  // namespace
}  // namespace zentor
