// The named-entry hash table against a multimap that remembers insertion order: the
// newest entry of a name is the one found, removal takes exactly the entry found, and
// a walk sees every entry once even when entries go while it runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "command/name_hash_table.h"
#include "core/dv_error.h"

namespace zentor {
namespace {

// Reference: name -> (insertion sequence, value); the newest is the highest sequence.
class ReferenceTable {
 public:
  void Insert(const std::string& name, uint32_t value) { m_entries.emplace(name, Item{m_sequence++, value}); }

  uint32_t Find(const std::string& name) const {
    auto [first, last] = m_entries.equal_range(name);
    const Item* newest = nullptr;
    for (auto it = first; it != last; ++it) {
      if (newest == nullptr || it->second.sequence > newest->sequence) newest = &it->second;
    }
    return newest != nullptr ? newest->value : 0;
  }

  // Removes the newest entry of the name.
  void RemoveNewest(const std::string& name) {
    auto [first, last] = m_entries.equal_range(name);
    auto newest = last;
    for (auto it = first; it != last; ++it) {
      if (newest == last || it->second.sequence > newest->second.sequence) newest = it;
    }
    if (newest != last) m_entries.erase(newest);
  }

  void RemoveValue(uint32_t value) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
      if (it->second.value == value) {
        m_entries.erase(it);
        return;
      }
    }
  }

  std::vector<uint32_t> Values() const {
    std::vector<uint32_t> values;
    for (const auto& [name, item] : m_entries) values.push_back(item.value);
    std::sort(values.begin(), values.end());
    return values;
  }

  std::size_t Size() const { return m_entries.size(); }

 private:
  struct Item {
    uint64_t sequence;
    uint32_t value;
  };
  std::unordered_multimap<std::string, Item> m_entries;
  uint64_t m_sequence = 0;
};

std::vector<uint32_t> WalkValues(NameHashTable& table) {
  std::vector<uint32_t> values;
  table.ForEach([&](uint32_t value, bool&) { values.push_back(value); });
  std::sort(values.begin(), values.end());
  return values;
}

uint16_t Length(const std::string& name) { return static_cast<uint16_t>(name.size()); }

// Random names from a small alphabet and short lengths, so that names repeat and
// buckets collide; some names share a byte sum without being equal ("ab", "ba").
std::string RandomName(std::mt19937& random) {
  static const char kAlphabet[] = "abAB_:";
  std::uniform_int_distribution<int> lengthOf(0, 4);
  std::uniform_int_distribution<int> letterOf(0, sizeof kAlphabet - 2);
  std::string name(static_cast<std::size_t>(lengthOf(random)), ' ');
  for (char& c : name) c = kAlphabet[letterOf(random)];
  return name;
}

TEST(NameHashTableTest, RandomOperationsAgreeWithAMultimap) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  NameHashTable table;
  ReferenceTable reference;
  uint32_t nextValue = 1;
  for (int step = 0; step < 20000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    const std::string name = RandomName(random);
    switch (random() % 4) {
      case 0:
      case 1: {
        const uint32_t value = nextValue++;
        table.Insert(Length(name), name.data(), value);
        reference.Insert(name, value);
        ASSERT_TRUE(table.HasCurrent());
        break;
      }
      case 2: {
        const uint32_t found = table.Find(Length(name), name.data());
        ASSERT_EQ(found, reference.Find(name)) << "name '" << name << "'";
        if (found != 0) {
          uint16_t length = 0;
          char buffer[16];
          table.CurrentName(&length, buffer, sizeof buffer);
          ASSERT_EQ(std::string(buffer, length), name);
        }
        break;
      }
      case 3: {
        const uint32_t found = table.Find(Length(name), name.data());
        ASSERT_EQ(found, reference.Find(name)) << "name '" << name << "'";
        if (found != 0) {
          table.RemoveCurrent();
          reference.RemoveNewest(name);
          ASSERT_FALSE(table.HasCurrent());
        }
        break;
      }
    }
    ASSERT_EQ(table.Count(), reference.Size());
  }
  EXPECT_EQ(WalkValues(table), reference.Values());
}

// A clone answers as its original and then lives apart from it: random operations go
// on in the clone against a copy of the reference, the original keeps its entries, and
// entries of the clone's shared block are removed (also during a walk) and the clone
// freed without a fault.
TEST(NameHashTableTest, ClonesAgreeAndLiveApart) {
  for (const uint32_t seed : {7u, 20240612u, 99u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    NameHashTable original;
    ReferenceTable reference;
    uint32_t nextValue = 1;
    for (int step = 0; step < 400; ++step) {
      const std::string name = RandomName(random);
      original.Insert(Length(name), name.data(), nextValue);
      reference.Insert(name, nextValue++);
    }
    const std::vector<uint32_t> originalValues = WalkValues(original);
    std::unique_ptr<NameHashTable> clone = original.Clone();
    ReferenceTable cloneReference = reference;
    ASSERT_EQ(clone->Count(), original.Count());
    for (int step = 0; step < 3000; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const std::string name = RandomName(random);
      const uint32_t found = clone->Find(Length(name), name.data());
      ASSERT_EQ(found, cloneReference.Find(name)) << "name '" << name << "'";
      if (random() % 2 == 0) {
        if (found != 0) {
          clone->RemoveCurrent();
          cloneReference.RemoveNewest(name);
        }
      } else {
        clone->Insert(Length(name), name.data(), nextValue);
        cloneReference.Insert(name, nextValue++);
      }
      ASSERT_EQ(clone->Count(), cloneReference.Size());
    }
    EXPECT_EQ(WalkValues(*clone), cloneReference.Values());
    // A walk that removes every entry it visits.
    clone->ForEach([&](uint32_t, bool&) { clone->RemoveCurrent(); });
    EXPECT_EQ(clone->Count(), 0u);
    clone.reset();
    EXPECT_EQ(WalkValues(original), originalValues);
    EXPECT_EQ(original.Count(), reference.Size());
  }
}

// Every entry in walk order with its name, and the current entry's name: what a
// caller can see of a table.
std::string Seen(NameHashTable& table) {
  std::string seen;
  char name[NameHashTable::kMaxNameLength + 1];
  uint16_t length = 0;
  table.CurrentName(&length, name, sizeof name);
  seen = "current '" + std::string(name, length) + "'\n";
  table.ForEach([&](uint32_t value, bool&) {
    table.CurrentName(&length, name, sizeof name);
    seen += std::string(name, length) + "=" + std::to_string(value) + "\n";
  });
  return seen;
}

// A clone rolled back after random work answers as a fresh clone of the original:
// the same entries in the same order, the same count and current entry. Names are
// entered again over the memory the roll-back kept, round after round; a removed
// entry of the clone (also within a walk) makes the roll-back refuse.
TEST(NameHashTableTest, RollBackAnswersAsAFreshClone) {
  for (const uint32_t seed : {3u, 20261208u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    NameHashTable original;
    uint32_t nextValue = 1;
    for (int step = 0; step < 300; ++step) {
      const std::string name = RandomName(random);
      original.Insert(Length(name), name.data(), nextValue++);
    }
    const uint32_t originalValues = nextValue;
    original.Find(1, "a");
    std::unique_ptr<NameHashTable> fresh = original.Clone();
    const std::string expected = Seen(*fresh);
    std::unique_ptr<NameHashTable> clone = original.Clone();
    EXPECT_FALSE(original.RollBackToClone()) << "a table not made by Clone";
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      bool cloneEntryRemoved = false;
      const int steps = static_cast<int>(random() % 60);
      for (int step = 0; step < steps; ++step) {
        std::string name = RandomName(random);
        if (random() % 8 == 0) name += std::string(random() % 200, 'z');
        switch (random() % 4) {
          case 0:
          case 1:
            clone->Insert(Length(name), name.data(), nextValue++);
            break;
          case 2:
            clone->Find(Length(name), name.data());
            break;
          case 3: {
            // Round 7 onwards, only entries entered since the clone go.
            const uint32_t found = clone->FindWhere(Length(name), name.data(), [&](uint32_t value) {
              return round < 7 || value >= originalValues;
            });
            if (found != 0 && random() % 3 == 0) {
              clone->RemoveCurrent();
              cloneEntryRemoved = cloneEntryRemoved || found < originalValues;
            }
            break;
          }
        }
      }
      bool refusedInWalk = false;
      clone->ForEach([&](uint32_t, bool& stop) {
        refusedInWalk = !clone->RollBackToClone();
        stop = true;
      });
      EXPECT_TRUE(refusedInWalk || clone->Count() == 0);
      if (!clone->RollBackToClone()) {
        EXPECT_TRUE(cloneEntryRemoved);
        clone = original.Clone();
        continue;
      }
      EXPECT_FALSE(cloneEntryRemoved);
      ASSERT_EQ(Seen(*clone), expected);
      EXPECT_EQ(clone->Count(), original.Count());
    }
  }
}

TEST(NameHashTableTest, EdgeCases) {
  NameHashTable table;
  // Equal byte sums, one bucket.
  ASSERT_EQ(NameHashTable::BucketOf(2, "ab"), NameHashTable::BucketOf(2, "ba"));
  table.Insert(2, "ab", 1);
  table.Insert(2, "ba", 2);
  EXPECT_EQ(table.Find(2, "ab"), 1u);
  EXPECT_EQ(table.Find(2, "ba"), 2u);
  // The newer of two entries of one name.
  table.Insert(2, "ab", 3);
  EXPECT_EQ(table.Find(2, "ab"), 3u);
  table.RemoveCurrent();
  EXPECT_EQ(table.Find(2, "ab"), 1u);
  // The empty name lives in bucket 0.
  EXPECT_EQ(NameHashTable::BucketOf(0, ""), 0u);
  table.Insert(0, "", 4);
  EXPECT_EQ(table.Find(0, ""), 4u);
  // The length is compared whole: a 256-byte name is not the empty name, whose
  // length has the same low byte.
  const std::string longName(256, 'x');
  EXPECT_EQ(table.Find(Length(longName), longName.data()), 0u);
  // A name of the longest length is stored; a longer one is refused.
  const std::string longest(255, 'y');
  table.Insert(Length(longest), longest.data(), 5);
  EXPECT_EQ(table.Find(Length(longest), longest.data()), 5u);
  uint32_t refusedNumber = 0;
  try {
    table.Insert(Length(longName), longName.data(), 6);
  } catch (const DVError& error) {
    refusedNumber = error.Number();
  }
  EXPECT_EQ(refusedNumber, 1u);
  // The current name is cut to the buffer but its length is the whole length.
  ASSERT_EQ(table.Find(Length(longest), longest.data()), 5u);
  char small[8];
  uint16_t length = 0;
  table.CurrentName(&length, small, sizeof small);
  EXPECT_EQ(length, 255u);
  EXPECT_EQ(std::string(small), std::string(7, 'y'));
  // FindWhere skips entries the predicate refuses.
  table.Insert(2, "ab", 7);
  EXPECT_EQ(table.FindWhere(2, "ab", [](uint32_t value) { return value < 7; }), 1u);
}

TEST(NameHashTableTest, WalkOrderAndStop) {
  NameHashTable table;
  const std::vector<std::string> names = {"a", "b", "c", "ab", "ba", "zz", "", "q"};
  uint32_t value = 1;
  for (const std::string& name : names) table.Insert(Length(name), name.data(), value++);
  table.Insert(1, "a", value++);  // a second "a", newer
  // Buckets from 31 down to 0, each chain newest first.
  std::vector<std::pair<uint16_t, uint32_t>> visits;
  table.ForEach([&](uint32_t v, bool&) {
    char buffer[8];
    uint16_t length = 0;
    table.CurrentName(&length, buffer, sizeof buffer);
    visits.emplace_back(NameHashTable::BucketOf(length, buffer), v);
  });
  ASSERT_EQ(visits.size(), names.size() + 1);
  for (std::size_t i = 1; i < visits.size(); ++i) {
    EXPECT_GE(visits[i - 1].first, visits[i].first) << "visit " << i;
    if (visits[i - 1].first == visits[i].first) {
      EXPECT_GT(visits[i - 1].second, visits[i].second) << "visit " << i;
    }
  }
  // A stop answers true and ends the walk at once.
  int calls = 0;
  EXPECT_TRUE(table.ForEach([&](uint32_t, bool& stop) { stop = ++calls == 3; }));
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(table.ForEach([](uint32_t, bool&) {}));
}

TEST(NameHashTableTest, RemovingWhileWalking) {
  const uint32_t seed = 77;
  std::mt19937 random(seed);
  struct Case {
    const char* name;
    // What the visitor removes: the visited entry, or the newest entry of another
    // random name (possibly the one the walk goes to next).
    bool removeOthers;
  };
  for (const Case& c : {Case{"the visited entry", false}, Case{"other entries", true}}) {
    SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
    NameHashTable table;
    ReferenceTable reference;
    std::unordered_map<uint32_t, std::string> nameOf;
    for (uint32_t value = 1; value <= 400; ++value) {
      const std::string name = RandomName(random);
      table.Insert(Length(name), name.data(), value);
      reference.Insert(name, value);
      nameOf[value] = name;
    }
    std::vector<uint32_t> visited;
    table.ForEach([&](uint32_t value, bool&) {
      visited.push_back(value);
      if (!c.removeOthers) {
        if (value % 2 == 0) {
          table.RemoveCurrent();
          reference.RemoveValue(value);
        }
        return;
      }
      if (random() % 3 == 0) {
        const std::string other = RandomName(random);
        const uint32_t found = table.Find(Length(other), other.data());
        if (found != 0) {
          table.RemoveCurrent();
          reference.RemoveNewest(other);
        }
      }
    });
    // No entry is visited twice, and every entry still there was visited.
    std::vector<uint32_t> sortedVisits = visited;
    std::sort(sortedVisits.begin(), sortedVisits.end());
    EXPECT_EQ(std::adjacent_find(sortedVisits.begin(), sortedVisits.end()), sortedVisits.end());
    for (uint32_t remaining : reference.Values()) {
      EXPECT_TRUE(std::binary_search(sortedVisits.begin(), sortedVisits.end(), remaining)) << remaining;
    }
    EXPECT_EQ(WalkValues(table), reference.Values());
    EXPECT_EQ(table.Count(), reference.Size());
  }
}

TEST(KeywordEntryPoolTest, IdsNameLiveEntries) {
  KeywordEntryPool pool;
  const uint32_t first = pool.Add(KeywordEntry{121, 1, 0, 0});
  const uint32_t second = pool.Add(KeywordEntry{252, 0, 1, 77});
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(pool.Get(second).value, 77u);
  pool.Release(first);
  EXPECT_FALSE(pool.IsLive(first));
  EXPECT_TRUE(pool.IsLive(second));
  EXPECT_EQ(pool.LiveCount(), 1u);
  uint32_t number = 0;
  try {
    pool.Get(first);
  } catch (const DVError& error) {
    number = error.Number();
  }
  EXPECT_EQ(number, 1u) << "a released id is an internal error";
  // A new entry may take the freed id; the other entry is untouched.
  const uint32_t third = pool.Add(KeywordEntry{84, 0, 1, 5});
  EXPECT_EQ(pool.Get(third).token, 84);
  EXPECT_EQ(pool.Get(second).token, 252);
}

// A pool rolled back to its mark has the mark's entries and nothing added since, and
// hands out ids after the mark's again; a released entry of the mark makes the
// roll-back refuse.
TEST(KeywordEntryPoolTest, RollBackToTheMark) {
  KeywordEntryPool pool;
  EXPECT_FALSE(pool.RollBackToMark()) << "no mark";
  for (uint8_t token = 1; token <= 3; ++token) pool.Add(KeywordEntry{token, 0, 0, 0});
  pool.Mark();
  for (int round = 0; round < 2; ++round) {
    const uint32_t added = pool.Add(KeywordEntry{9, 0, 1, 40});
    EXPECT_EQ(added, 4u);
    pool.Add(KeywordEntry{10, 0, 1, 41});
    pool.Release(added);
    EXPECT_EQ(pool.Add(KeywordEntry{11, 0, 1, 42}), added);
    ASSERT_TRUE(pool.RollBackToMark());
    EXPECT_EQ(pool.LiveCount(), 3u);
    EXPECT_FALSE(pool.IsLive(4));
    for (uint32_t id = 1; id <= 3; ++id) EXPECT_EQ(pool.Get(id).token, id);
  }
  pool.Release(2);
  pool.Add(KeywordEntry{12, 0, 0, 0});
  EXPECT_FALSE(pool.RollBackToMark());
  EXPECT_EQ(pool.Get(2).token, 12) << "a refused roll-back changes nothing";
}

}  // namespace
}  // namespace zentor
