#include "support/rw_tval_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/rw_cstring.h"
#include "support/rw_gstack.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::RWErrorTextOf;

std::string IndexErrText(uint32_t index, uint32_t count) {
  return "[INDEXERR] Illegal Index (" + std::to_string(index) + ") for collection with " + std::to_string(count) +
         " elements";
}

// Every live object of the counted element types is in this set, so a test can see
// leaks (objects left at the end) and double destruction (an object destroyed that
// is not alive).
struct LifeLedger {
  std::set<const void*> alive;
  int doubleDestructions = 0;
  void Born(const void* object) { alive.insert(object); }
  void Died(const void* object) {
    if (alive.erase(object) == 0) ++doubleDestructions;
  }
};
LifeLedger g_ledger;

// Like the engine's breakpoint record: plain words, a string and an owned resource
// (standing for the parsed expression) that assignment shares; equality compares the
// identity word only.
struct BreakpointLike {
  uint32_t inUse;
  uint32_t identity;
  uint32_t enabled;
  uint32_t address;
  RWCString text;
  std::shared_ptr<int> expression;
  unsigned char padding[40];

  BreakpointLike() : inUse(0) { g_ledger.Born(this); }
  BreakpointLike(const BreakpointLike& other) : BreakpointLike() { *this = other; }
  ~BreakpointLike() { g_ledger.Died(this); }
  BreakpointLike& operator=(const BreakpointLike& other) {
    inUse = other.inUse;
    identity = other.identity;
    enabled = other.enabled;
    address = other.address;
    text = other.text;
    expression = other.expression;
    std::copy(std::begin(other.padding), std::end(other.padding), padding);
    return *this;
  }
  bool operator==(const BreakpointLike& other) const { return identity == other.identity; }
};

BreakpointLike MakeBreakpoint(uint32_t identity, const char* text) {
  BreakpointLike record;
  record.inUse = 1;
  record.identity = identity;
  record.enabled = 1;
  record.address = 0x1000 + identity;
  record.text = text;
  record.expression = std::make_shared<int>(static_cast<int>(identity));
  return record;
}

// Like the symbol lookup entry: a large record whose equality is object identity.
struct SymbolEntryLike {
  unsigned char descriptor[168];
  unsigned char flag = 0;
  uint32_t words[2] = {0, 0};

  SymbolEntryLike() { g_ledger.Born(this); }
  SymbolEntryLike(const SymbolEntryLike& other) : SymbolEntryLike() { *this = other; }
  ~SymbolEntryLike() { g_ledger.Died(this); }
  SymbolEntryLike& operator=(const SymbolEntryLike& other) {
    std::copy(std::begin(other.descriptor), std::end(other.descriptor), descriptor);
    flag = other.flag;
    words[0] = other.words[0];
    words[1] = other.words[1];
    return *this;
  }
  bool operator==(const SymbolEntryLike& other) const { return this == &other; }
};

// Like the loader's type-translation word pair: an empty default constructor and
// identity equality.
struct WordPair {
  uint32_t first;
  uint32_t second;
  WordPair() {}
  WordPair(uint32_t a, uint32_t b) : first(a), second(b) {}
  bool operator==(const WordPair& other) const { return this == &other; }
};

// A value with value equality and counted lifetime, for the differential test.
struct CountedValue {
  int value = 0;
  CountedValue() { g_ledger.Born(this); }
  CountedValue(int v) : value(v) { g_ledger.Born(this); }  // NOLINT: implicit on purpose
  CountedValue(const CountedValue& other) : value(other.value) { g_ledger.Born(this); }
  ~CountedValue() { g_ledger.Died(this); }
  CountedValue& operator=(const CountedValue& other) = default;
  bool operator==(const CountedValue& other) const { return value == other.value; }
};

class RWTValVectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_aliveBefore = g_ledger.alive.size();
    m_doubleBefore = g_ledger.doubleDestructions;
  }
  void TearDown() override {
    EXPECT_EQ(g_ledger.alive.size(), m_aliveBefore) << "elements leaked";
    EXPECT_EQ(g_ledger.doubleDestructions, m_doubleBefore) << "elements destroyed twice";
  }

 private:
  size_t m_aliveBefore = 0;
  int m_doubleBefore = 0;
};

TEST_F(RWTValVectorTest, ValueVectorConstructionCopyAndReshape) {
  RWTValVector<CountedValue> empty;
  EXPECT_EQ(empty.length(), 0u);
  EXPECT_EQ(empty.data(), nullptr);

  RWTValVector<CountedValue> filled(5, CountedValue(7));
  ASSERT_EQ(filled.length(), 5u);
  for (uint32_t i = 0; i < 5; ++i) filled[i] = CountedValue(static_cast<int>(i * 10));

  RWTValVector<CountedValue> copy(filled);
  copy[0] = CountedValue(-1);
  EXPECT_EQ(filled[0].value, 0);  // element-wise copies, not shared storage

  const CountedValue* sameArray = filled.data();
  filled.reshape(5);
  EXPECT_EQ(filled.data(), sameArray);  // same length: nothing happens

  struct Case {
    const char* name;
    uint32_t newLength;
  };
  const Case cases[] = {{"shrink", 2}, {"grow", 9}, {"to zero", 0}, {"same", 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWTValVector<CountedValue> v(filled);
    v.reshape(c.newLength);
    ASSERT_EQ(v.length(), c.newLength);
    for (uint32_t i = 0; i < c.newLength; ++i) EXPECT_EQ(v[i].value, i < 5 ? static_cast<int>(i * 10) : 0);
    EXPECT_EQ(RWErrorTextOf([&] { (void)v[c.newLength]; }), IndexErrText(c.newLength, c.newLength));
  }

  copy = filled;
  copy = copy;
  EXPECT_EQ(copy.length(), 5u);
  EXPECT_EQ(copy[4].value, 40);
  copy = CountedValue(3);
  for (uint32_t i = 0; i < copy.length(); ++i) EXPECT_EQ(copy[i].value, 3);
  copy = empty;
  EXPECT_EQ(copy.length(), 0u);
}

TEST_F(RWTValVectorTest, StringArgumentVectorReleasesDroppedStrings) {
  // A private body is changed in place; a shared one is copied first. Whether a
  // string's data pointer survives a write shows whether the vector still holds it.
  RWCString first("first argument");
  RWCString second("second argument");
  RWCString third("third argument");
  RWTValVector<RWCString> arguments(3, RWCString());
  arguments[0] = first;
  arguments[1] = second;
  arguments[2] = third;
  EXPECT_EQ(arguments[1].data(), second.data());  // shared, not copied

  arguments.reshape(1);
  EXPECT_EQ(arguments.length(), 1u);
  EXPECT_EQ(arguments[0], "first argument");
  const char* before = second.data();
  second[0] = 'S';
  EXPECT_EQ(second.data(), before) << "the dropped argument is still referenced";
  before = first.data();
  first[0] = 'F';
  EXPECT_NE(first.data(), before) << "the kept argument should still be shared";
  EXPECT_EQ(arguments[0], "first argument");

  EXPECT_EQ(RWErrorTextOf([&] { (void)arguments[1]; }), IndexErrText(1, 1));
  RWTValVector<RWCString> none;
  EXPECT_EQ(RWErrorTextOf([&] { (void)none[0]; }), IndexErrText(0, 0));
  EXPECT_EQ(RWErrorTextOf([&] { (void)none(0); }), IndexErrText(0, 0));
}

TEST_F(RWTValVectorTest, OrderedVectorGrowsByExactly64) {
  struct Case {
    const char* name;
    uint32_t initialCapacity;
    std::vector<std::pair<uint32_t, uint32_t>> appendsThenCapacity;
  };
  const Case cases[] = {
      {"capacity 0", 0, {{1, 64}, {64, 64}, {65, 128}, {129, 192}}},
      {"breakpoint list of 29", 29, {{29, 29}, {30, 93}, {93, 93}, {94, 157}}},
      {"default", kRWTValDefaultCapacity, {{64, 64}, {65, 128}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWTValOrderedVector<BreakpointLike> list(c.initialCapacity);
    EXPECT_EQ(list.capacity(), c.initialCapacity);
    uint32_t appended = 0;
    for (auto [count, capacity] : c.appendsThenCapacity) {
      while (appended < count) {
        list.insert(MakeBreakpoint(appended, "bp"));
        ++appended;
      }
      EXPECT_EQ(list.entries(), count);
      EXPECT_EQ(list.capacity(), capacity);
    }
    // Growth copied every record by assignment.
    for (uint32_t i = 0; i < list.entries(); ++i) {
      ASSERT_EQ(list[i].identity, i);
      ASSERT_EQ(list[i].address, 0x1000 + i);
      ASSERT_EQ(*list[i].expression, static_cast<int>(i));
    }
  }
}

TEST_F(RWTValVectorTest, ResizeAndReshapeOfAnOrderedVector) {
  RWTValOrderedVector<CountedValue> list(10);
  for (int i = 0; i < 5; ++i) list.append(i);
  list.resize(5);  // the entry count: nothing
  EXPECT_EQ(list.capacity(), 10u);
  list.resize(3);
  EXPECT_EQ(list.capacity(), 10u);
  list.resize(6);  // entries + 1: exactly that
  EXPECT_EQ(list.capacity(), 6u);
  list.reshape(2);  // below the entries: the elements past it are dropped
  EXPECT_EQ(list.capacity(), 2u);
  EXPECT_EQ(list.entries(), 2u);
  EXPECT_EQ(list[1].value, 1);
  EXPECT_EQ(RWErrorTextOf([&] { (void)list[2]; }), IndexErrText(2, 2));
  list.append(9);
  EXPECT_EQ(list.capacity(), 66u);
  EXPECT_EQ(list[2].value, 9);
}

TEST_F(RWTValVectorTest, IdentityElementsAreFoundOnlyThroughTheVectorsOwnElement) {
  RWTValOrderedVector<SymbolEntryLike> lookup(0);
  EXPECT_EQ(lookup.index(SymbolEntryLike()), RW_NPOS);  // empty
  SymbolEntryLike entry;
  entry.words[0] = 42;
  lookup.insert(entry);
  lookup.insert(entry);
  EXPECT_EQ(lookup.index(entry), RW_NPOS);  // an equal copy is another object
  EXPECT_EQ(lookup.index(lookup[1]), 1u);
  EXPECT_EQ(lookup.index(lookup(0)), 0u);

  RWTValOrderedVector<WordPair> pairs(0);
  WordPair pair(1, 2);
  pairs.append(pair);
  EXPECT_EQ(pairs.index(pair), RW_NPOS);
  EXPECT_EQ(pairs.index(pairs[0]), 0u);

  RWTValOrderedVector<BreakpointLike> breakpoints(14);
  breakpoints.insert(MakeBreakpoint(3, "main"));
  breakpoints.insert(MakeBreakpoint(8, "loop"));
  BreakpointLike probe = MakeBreakpoint(8, "other text");
  probe.address = 0;
  EXPECT_EQ(breakpoints.index(probe), 1u);  // identity word only
}

TEST_F(RWTValVectorTest, TypeTranslationStackPopsInReverseOrder) {
  // The loader keeps a depth beside the vector: push appends, pop copies the element
  // at the new depth through checked access and removes it.
  RWTValOrderedVector<WordPair> stack(0);
  uint32_t depth = 0;
  for (uint32_t i = 0; i < 70; ++i) {
    stack.append(WordPair(i, i * 3));
    ++depth;
  }
  for (uint32_t i = 70; i-- > 0;) {
    --depth;
    WordPair popped;
    popped = stack[depth];
    stack.removeAt(depth);
    ASSERT_EQ(popped.first, i);
    ASSERT_EQ(popped.second, i * 3);
  }
  EXPECT_TRUE(stack.isEmpty());
  EXPECT_EQ(stack.capacity(), 128u);  // never shrinks
  EXPECT_EQ(RWErrorTextOf([&] { (void)stack[0]; }), IndexErrText(0, 0));
}

TEST_F(RWTValVectorTest, OutOfRangeInsertAndRemoveRaiseAndChangeNothing) {
  RWTValOrderedVector<CountedValue> list(4);
  for (int i = 0; i < 3; ++i) list.append(i);
  struct Case {
    const char* name;
    std::function<void()> operation;
    std::string error;
  };
  const Case cases[] = {
      {"insertAt past the end", [&] { list.insertAt(4, 99); }, IndexErrText(4, 3)},
      {"insertAt far away", [&] { list.insertAt(0xFFFFFFFFu, 99); }, IndexErrText(0xFFFFFFFFu, 3)},
      {"removeAt the entry count", [&] { list.removeAt(3); }, IndexErrText(3, 3)},
      {"removeAt inside the capacity", [&] { list.removeAt(3); }, IndexErrText(3, 3)},
      {"boundsCheck", [&] { list.boundsCheck(3); }, IndexErrText(3, 3)},
      {"unchecked access", [&] { (void)list(3); }, IndexErrText(3, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RWErrorTextOf(c.operation), c.error);
    ASSERT_EQ(list.entries(), 3u);
    EXPECT_EQ(list.capacity(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list[i].value, i);
  }
  list.insertAt(3, 3);  // at the entry count: appends
  EXPECT_EQ(list[3].value, 3);
}

TEST_F(RWTValVectorTest, RemovedElementsLeaveNoStaleReference) {
  RWTValOrderedVector<BreakpointLike> list(29);
  std::vector<std::weak_ptr<int>> watchers;
  for (uint32_t i = 0; i < 4; ++i) {
    BreakpointLike record = MakeBreakpoint(i, "text");
    watchers.push_back(record.expression);
    list.insert(record);
  }
  list.removeAt(1);
  list.removeAt(2);  // the last one
  // Only the list held the records' expressions: the removed ones are gone, not kept
  // alive by a copy in a slot past the entries.
  EXPECT_TRUE(watchers[1].expired());
  EXPECT_TRUE(watchers[3].expired());
  EXPECT_FALSE(watchers[0].expired());
  EXPECT_FALSE(watchers[2].expired());
  list.clear();
  EXPECT_TRUE(watchers[0].expired());
  EXPECT_TRUE(watchers[2].expired());
  EXPECT_EQ(list.capacity(), 29u);
}

TEST_F(RWTValVectorTest, InsertingAnElementOfTheVectorItselfIsSafe) {
  RWTValOrderedVector<CountedValue> list(2);
  list.append(5);
  list.append(6);
  list.insert(list[0]);  // grows: the argument's storage is replaced
  list.insertAt(0, list[2]);
  ASSERT_EQ(list.entries(), 4u);
  EXPECT_EQ(list[0].value, 5);
  EXPECT_EQ(list[1].value, 5);
  EXPECT_EQ(list[2].value, 6);
  EXPECT_EQ(list[3].value, 5);
}

// Random operations against std::vector, with the capacity modelled alongside.
TEST_F(RWTValVectorTest, OrderedVectorMatchesStdVectorOverRandomOperations) {
  const uint32_t seed = 0x5EED0127;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  RWTValOrderedVector<CountedValue> list(0);
  std::vector<int> model;
  uint32_t modelCapacity = 0;
  for (int step = 0; step < 6000; ++step) {
    SCOPED_TRACE(step);
    const uint32_t n = static_cast<uint32_t>(model.size());
    const int value = static_cast<int>(random() % 50);
    switch (random() % 10) {
      case 0:
      case 1:
        list.insert(value);
        if (modelCapacity <= n) modelCapacity = n + 64;
        model.push_back(value);
        break;
      case 2: {
        uint32_t at = random() % (n + 3);
        std::string error = RWErrorTextOf([&] { list.insertAt(at, value); });
        if (at <= n) {
          EXPECT_EQ(error, "");
          if (modelCapacity <= n) modelCapacity = n + 64;
          model.insert(model.begin() + at, value);
        } else {
          EXPECT_EQ(error, IndexErrText(at, n));
        }
        break;
      }
      case 3:
      case 4: {
        uint32_t at = random() % (n + 2);
        std::string error = RWErrorTextOf([&] { list.removeAt(at); });
        if (at < n) {
          EXPECT_EQ(error, "");
          model.erase(model.begin() + at);
        } else {
          EXPECT_EQ(error, IndexErrText(at, n));
        }
        break;
      }
      case 5: {
        auto found = std::find(model.begin(), model.end(), value);
        uint32_t expected = found == model.end() ? RW_NPOS : static_cast<uint32_t>(found - model.begin());
        EXPECT_EQ(list.index(value), expected);
        break;
      }
      case 6: {
        uint32_t newSize = random() % (n + 80);
        list.resize(newSize);
        if (newSize > n) modelCapacity = newSize;
        break;
      }
      case 7: {
        uint32_t at = random() % (n + 2);
        std::string error = RWErrorTextOf([&] { list[at] = value; });
        if (at < n) {
          EXPECT_EQ(error, "");
          model[at] = value;
        } else {
          EXPECT_EQ(error, IndexErrText(at, n));
        }
        break;
      }
      case 8:
        if (random() % 20 == 0) {
          list.clear();
          model.clear();
        } else if (random() % 10 == 0) {
          uint32_t newCapacity = random() % (n + 10);
          list.reshape(newCapacity);
          modelCapacity = newCapacity;
          if (model.size() > newCapacity) model.resize(newCapacity);
        }
        break;
      case 9: {
        RWTValOrderedVector<CountedValue> copy(list);
        RWTValOrderedVector<CountedValue> assigned(3);
        assigned = copy;
        list = assigned;
        break;
      }
    }
    ASSERT_EQ(list.entries(), model.size());
    ASSERT_EQ(list.capacity(), modelCapacity);
    for (uint32_t i = 0; i < model.size(); ++i) ASSERT_EQ(list[i].value, model[i]);
  }
}

TEST(RWGStack, PushPopTopOverTheList) {
  RWGStack stack;
  EXPECT_TRUE(stack.isEmpty());
  EXPECT_EQ(stack.pop(), nullptr);
  EXPECT_EQ(stack.top(), nullptr);

  int handles[5] = {10, 11, 12, 13, 14};
  for (int& h : handles) stack.push(&h);
  EXPECT_EQ(stack.entries(), 5u);
  EXPECT_EQ(stack.top(), &handles[4]);

  RWGStack copy(stack);  // same items, same order
  for (int i = 4; i >= 0; --i) {
    EXPECT_EQ(stack.pop(), &handles[i]);
    EXPECT_EQ(copy.top(), &handles[i]);
    EXPECT_EQ(copy.pop(), &handles[i]);
  }
  EXPECT_TRUE(stack.isEmpty());
  EXPECT_EQ(stack.pop(), nullptr);

  // Heap copies, as the viewpoint stack keeps them: the stack never deletes them.
  RWGStackOf<uint32_t> viewpoints;
  auto owned = std::make_unique<uint32_t>(0x2A);
  viewpoints.push(owned.get());
  viewpoints.push(owned.get());
  EXPECT_EQ(*viewpoints.top(), 0x2Au);
  EXPECT_EQ(viewpoints.pop(), owned.get());
  viewpoints.clear();
  EXPECT_TRUE(viewpoints.isEmpty());
  EXPECT_EQ(*owned, 0x2Au);
}

}  // namespace
}  // namespace zentor
