#include "support/rw_dictionary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/rw_bag.h"
#include "support/rw_collectable_association.h"
#include "support/rw_collectable_int.h"
#include "support/rw_collectable_string.h"
#include "support/rw_factory.h"
#include "support/rw_file.h"
#include "support/rw_ordered.h"
#include "support/rw_pstream.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

// An integer collectable that keeps a count of the live ones, so a test can see which
// objects a collection deleted.
struct Tracked : RWCollectableInt {
  static inline int s_alive = 0;
  explicit Tracked(int value) : RWCollectableInt(value) { ++s_alive; }
  ~Tracked() override { --s_alive; }
};

// Keys and values the tests own; the collections only point at them.
class Pool {
 public:
  RWCollectableString* String(const std::string& text) {
    m_objects.push_back(std::make_unique<RWCollectableString>(text.c_str()));
    return static_cast<RWCollectableString*>(m_objects.back().get());
  }
  RWCollectableInt* Int(int value) {
    m_objects.push_back(std::make_unique<RWCollectableInt>(value));
    return static_cast<RWCollectableInt*>(m_objects.back().get());
  }

 private:
  std::vector<std::unique_ptr<RWCollectable>> m_objects;
};

int IntOf(const RWCollectable* object) { return static_cast<const RWCollectableInt*>(object)->value(); }
std::string TextOf(const RWCollectable* object) {
  return static_cast<const RWCollectableString*>(object)->data();
}

TEST(RWCollectableValues, IntegersCompareByWrappingDifference) {
  struct Case {
    int32_t a;
    int32_t b;
    int expected;
  };
  const Case cases[] = {
      {5, 7, -2}, {7, 5, 2}, {-4, -4, 0}, {INT32_MIN, 1, INT32_MAX}, {INT32_MAX, -1, INT32_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b);
    RWCollectableInt a(c.a), b(c.b);
    EXPECT_EQ(a.compareTo(&b), c.expected);
    EXPECT_EQ(a.isEqual(&b), c.a == c.b);
    EXPECT_EQ(a.hash(), static_cast<uint32_t>(c.a));
  }
  RWCollectableInt five(5);
  RWCollectableString fiveText("5");
  RWCollectable plain;
  EXPECT_FALSE(five.isEqual(&fiveText));
  EXPECT_FALSE(five.isEqual(nullptr));
  EXPECT_FALSE(fiveText.isEqual(&five));
  // Against another class the order falls back to addresses instead of reading a
  // value that is not there.
  EXPECT_EQ(five.compareTo(&plain), -plain.compareTo(&five));
  EXPECT_EQ(five.binaryStoreSize(), 4u);
  EXPECT_EQ(five.value(9), 5);
  EXPECT_EQ(five.value(), 9);
}

TEST(RWCollectableValues, StringsOrderHashAndEqualLikeStdString) {
  const uint32_t seed = 0xC011EC7;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  auto randomText = [&] {
    std::string text(random() % 5, ' ');
    for (char& c : text) c = "aAbB\x80z"[random() % 6];
    return text;
  };
  for (int i = 0; i < 2000; ++i) {
    std::string a = randomText(), b = randomText();
    SCOPED_TRACE(a + " | " + b);
    RWCollectableString x(a.c_str()), y(b.c_str());
    int expected = a.compare(b);  // unsigned bytes, as the exact comparison
    int got = x.compareTo(&y);
    ASSERT_EQ(got < 0, expected < 0);
    ASSERT_EQ(got > 0, expected > 0);
    ASSERT_EQ(x.isEqual(&y), a == b);
    if (a == b) {
      ASSERT_EQ(x.hash(), y.hash());
    }
    ASSERT_EQ(x.binaryStoreSize(), a.size() + 4);
  }
}

TEST(RWCollectableValues, EveryClassIsMadeByTheFactoryFromItsId) {
  const RWClassID ids[] = {0x8008, 0x805F, 0x800A, 0x800B, 0x8022, 0x801B, 0x804A};
  for (RWClassID id : ids) {
    SCOPED_TRACE(id);
    std::unique_ptr<RWCollectable> made(rwCreateFromFactory(id));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->isA(), id);
    std::unique_ptr<RWCollectable> species(made->newSpecies());
    EXPECT_EQ(species->isA(), id);
    std::unique_ptr<RWCollectable> copy(made->copy());
    EXPECT_EQ(copy->isA(), id);
  }
}

TEST(RWCollectableAssociation, StandsForItsKey) {
  RWCollectableString key("alpha"), sameText("alpha"), other("beta");
  RWCollectableInt value(1), newValue(2);
  RWCollectableAssociation association(&key, &value);
  EXPECT_EQ(association.hash(), key.hash());
  EXPECT_TRUE(association.isEqual(&sameText));
  EXPECT_FALSE(association.isEqual(&other));
  EXPECT_EQ(association.compareTo(&other), -other.compareTo(&key));
  EXPECT_EQ(association.value(&newValue), &value);
  EXPECT_EQ(association.value(), &newValue);
  // Class ID and length word plus "alpha", then class ID and the integer.
  EXPECT_EQ(association.binaryStoreSize(), (2u + 4u + 5u) + (2u + 4u));
  RWCollectableAssociation selfValued(&key, &key);  // the value is written as a reference
  EXPECT_EQ(selfValued.binaryStoreSize(), (2u + 4u + 5u) + (2u + 4u));
  RWCollectableAssociation nullValue(&key, nullptr);  // a null is a reference to entry 0
  EXPECT_EQ(nullValue.binaryStoreSize(), (2u + 4u + 5u) + (2u + 4u));

  RWCollectableAssociation keyless;
  EXPECT_FALSE(keyless.isEqual(&key));
  EXPECT_EQ(keyless.hash(), 0u);
}

TEST(RWCollectableIDAssociation, FindsItsKeyOnlyByAddress) {
  RWCollectableString key("alpha"), equalCopy("alpha");
  RWCollectableIDAssociation association(&key, nullptr);
  RWCollectableIDAssociation sameKey(&key, &equalCopy);
  RWCollectableIDAssociation copyKey(&equalCopy, nullptr);
  EXPECT_TRUE(association.isEqual(&key));
  EXPECT_FALSE(association.isEqual(&equalCopy));
  EXPECT_TRUE(association.isEqual(&sameKey));
  EXPECT_FALSE(association.isEqual(&copyKey));
  EXPECT_EQ(association.hash(), RWAddressHash(&key));
  EXPECT_EQ(association.compareTo(&key), 0);
  const RWCollectable* lowFirst = &key < &equalCopy ? static_cast<RWCollectable*>(&key) : &equalCopy;
  const RWCollectable* high = lowFirst == &key ? static_cast<RWCollectable*>(&equalCopy) : &key;
  RWCollectableIDAssociation low(const_cast<RWCollectable*>(lowFirst), nullptr);
  EXPECT_EQ(low.compareTo(high), -1);
  RWCollectableIDAssociation highAssociation(const_cast<RWCollectable*>(high), nullptr);
  EXPECT_EQ(highAssociation.compareTo(lowFirst), 1);

  // A dictionary of identity associations finds the very key only.
  struct IdentityDictionary : RWHashDictionary {
    RWCollectableAssociation* newAssociation(RWCollectable* k, RWCollectable* v) const override {
      return new RWCollectableIDAssociation(k, v);
    }
  };
  RWCollectable first, second;
  RWCollectableInt value(3);
  IdentityDictionary identities;
  EXPECT_EQ(identities.insertKeyAndValue(&first, &value), &first);
  EXPECT_EQ(identities.findValue(&first), &value);
  EXPECT_EQ(identities.findValue(&second), nullptr);
}

// Random operations on a dictionary of string keys and integer values against
// std::map. Keys are looked up through fresh probe objects, so the stored key object
// (the first one inserted) is told apart from an equal probe.
TEST(RWHashDictionary, MatchesStdMapOverRandomOperations) {
  const uint32_t seed = 0xD1C7;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  Pool pool;
  RWHashDictionary dictionary(3);
  std::map<std::string, std::pair<RWCollectable*, RWCollectable*>> model;  // text -> stored key, value
  for (int step = 0; step < 5000; ++step) {
    SCOPED_TRACE(step);
    std::string text = "k" + std::to_string(random() % 40);
    RWCollectableString probe(text.c_str());
    auto entry = model.find(text);
    const bool present = entry != model.end();
    switch (random() % 8) {
      case 0:
      case 1: {
        RWCollectableString* key = pool.String(text);
        RWCollectableInt* value = pool.Int(static_cast<int>(random() % 1000));
        RWCollectable* result = dictionary.insertKeyAndValue(key, value);
        if (present) {
          ASSERT_EQ(result, nullptr);  // the old value stays
        } else {
          ASSERT_EQ(result, key);
          model[text] = {key, value};
        }
        break;
      }
      case 2: {
        RWCollectableInt* value = pool.Int(static_cast<int>(random() % 1000));
        RWCollectable* old = dictionary.findValue(&probe, value);
        ASSERT_EQ(old, present ? entry->second.second : nullptr);
        if (present) entry->second.second = value;
        break;
      }
      case 3: {
        RWCollectable* value = reinterpret_cast<RWCollectable*>(1);
        RWCollectable* key = dictionary.removeKeyAndValue(&probe, value);
        ASSERT_EQ(key, present ? entry->second.first : nullptr);
        ASSERT_EQ(value, present ? entry->second.second : nullptr);
        if (present) model.erase(entry);
        break;
      }
      case 4: {
        ASSERT_EQ(dictionary.remove(&probe), present ? entry->second.first : nullptr);
        if (present) model.erase(entry);
        break;
      }
      case 5: {
        RWCollectable* value = reinterpret_cast<RWCollectable*>(1);
        ASSERT_EQ(dictionary.findKeyAndValue(&probe, value), present ? entry->second.first : nullptr);
        ASSERT_EQ(value, present ? entry->second.second : nullptr);
        ASSERT_EQ(dictionary.find(&probe), present ? entry->second.first : nullptr);
        ASSERT_EQ(dictionary.contains(&probe), present);
        ASSERT_EQ(dictionary.occurrencesOf(&probe), present ? 1u : 0u);
        break;
      }
      case 6:
        if (random() % 10 == 0) dictionary.resize(random() % 3 == 0 ? 0 : random() % 50 + 1);
        break;
      case 7: {
        RWHashDictionary copy(dictionary);
        ASSERT_EQ(copy.buckets(), 2u);
        ASSERT_TRUE(copy == dictionary);
        ASSERT_TRUE(copy.isEqual(&dictionary));
        // The copy has associations of its own: changing it leaves the original.
        if (present) {
          copy.remove(&probe);
          ASSERT_EQ(dictionary.find(&probe), entry->second.first);
          ASSERT_FALSE(copy == dictionary);
        }
        break;
      }
    }
    ASSERT_EQ(dictionary.entries(), model.size());
  }
  // Iteration visits every association once, answering keys.
  std::map<std::string, std::pair<RWCollectable*, RWCollectable*>> seen;
  RWHashDictionaryIterator next(dictionary);
  while (RWCollectable* key = next()) {
    EXPECT_EQ(next.key(), key);
    EXPECT_TRUE(seen.emplace(TextOf(key), std::make_pair(key, next.value())).second);
  }
  EXPECT_EQ(seen, model);
  EXPECT_EQ(next.key(), nullptr);
  EXPECT_EQ(next.value(), nullptr);
}

TEST(RWHashDictionary, OwnsAssociationsButNotKeysAndValuesExceptWhenDestroying) {
  {
    // clear deletes no key and no value.
    Tracked key(1), value(2);
    RWHashDictionary dictionary;
    dictionary.insertKeyAndValue(&key, &value);
    dictionary.clear();
    EXPECT_TRUE(dictionary.isEmpty());
    EXPECT_EQ(Tracked::s_alive, 2);
  }
  EXPECT_EQ(Tracked::s_alive, 0);

  // Each case counts the live objects right after the operation, then frees the
  // survivors itself.
  struct Case {
    const char* name;
    int expectedAliveAfter;
    int (*run)();
  };
  const Case cases[] = {
      {"removeAndDestroy of a key that is its own value", 1,
       [] {
         auto* self = new Tracked(1);
         auto keeper = std::make_unique<Tracked>(2);
         RWHashDictionary dictionary;
         dictionary.insertKeyAndValue(self, self);
         dictionary.insertKeyAndValue(keeper.get(), nullptr);
         dictionary.removeAndDestroy(self);
         EXPECT_EQ(dictionary.entries(), 1u);
         return Tracked::s_alive;
       }},
      {"clearAndDestroy with one object the value of two keys", 0,
       [] {
         auto* shared = new Tracked(0);
         RWHashDictionary dictionary;
         dictionary.insertKeyAndValue(new Tracked(1), shared);
         dictionary.insertKeyAndValue(new Tracked(2), shared);
         dictionary.insertKeyAndValue(new Tracked(3), nullptr);
         dictionary.clearAndDestroy();
         EXPECT_EQ(dictionary.entries(), 0u);
         return Tracked::s_alive;
       }},
      {"clearAndDestroy with a key that is another key's value", 0,
       [] {
         auto* a = new Tracked(1);
         auto* b = new Tracked(2);
         RWHashDictionary dictionary;
         dictionary.insertKeyAndValue(a, b);
         dictionary.insertKeyAndValue(b, a);
         dictionary.clearAndDestroy();
         return Tracked::s_alive;
       }},
      {"a refused duplicate key", 2,
       [] {
         auto first = std::make_unique<Tracked>(5);
         auto duplicate = std::make_unique<Tracked>(5);
         RWHashDictionary dictionary;
         EXPECT_EQ(dictionary.insertKeyAndValue(first.get(), nullptr), first.get());
         EXPECT_EQ(dictionary.insertKeyAndValue(duplicate.get(), duplicate.get()), nullptr);
         EXPECT_EQ(dictionary.findValue(duplicate.get()), nullptr);  // the old value stays
         dictionary.clear();
         return Tracked::s_alive;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tracked::s_alive = 0;
    EXPECT_EQ(c.run(), c.expectedAliveAfter);
    EXPECT_EQ(Tracked::s_alive, 0);
  }
}

TEST(RWHashDictionary, RefusesWhatCouldNeverBeFoundAgain) {
  RWHashDictionary dictionary;
  RWCollectableInt value(1);
  RWCollectableString notAnAssociation("x");
  RWCollectableAssociation keyless(nullptr, &value);
  EXPECT_EQ(dictionary.insertKeyAndValue(nullptr, &value), nullptr);
  EXPECT_EQ(dictionary.insert(&notAnAssociation), nullptr);
  EXPECT_EQ(dictionary.insert(&keyless), nullptr);
  EXPECT_EQ(dictionary.entries(), 0u);
  EXPECT_EQ(dictionary.find(nullptr), nullptr);
  EXPECT_EQ(dictionary.remove(nullptr), nullptr);
  EXPECT_EQ(dictionary.findValue(nullptr), nullptr);
  RWSet set;
  EXPECT_FALSE(dictionary.isEqual(&set));
  EXPECT_TRUE(dictionary.isEqual(&dictionary));
}

TEST(RWHashDictionary, IteratorRemovesAndReplacesValues) {
  Pool pool;
  RWHashDictionary dictionary(5);
  for (int i = 0; i < 10; ++i) dictionary.insertKeyAndValue(pool.String("k" + std::to_string(i)), pool.Int(i));
  RWHashDictionaryIterator next(dictionary);
  RWCollectableInt* replacement = pool.Int(100);
  std::set<std::string> removed;
  while (RWCollectable* key = next()) {
    int value = IntOf(next.value());
    if (value % 2 == 0) {
      EXPECT_EQ(next.remove(), key);
      removed.insert(TextOf(key));
    } else if (value == 3) {
      EXPECT_EQ(IntOf(next.value(replacement)), 3);
    }
  }
  EXPECT_EQ(removed.size(), 5u);
  EXPECT_EQ(dictionary.entries(), 5u);
  RWCollectableString three("k3"), five("k5"), four("k4");
  EXPECT_EQ(dictionary.findValue(&three), replacement);
  EXPECT_EQ(dictionary.findValue(&four), nullptr);

  next.reset();
  EXPECT_EQ(TextOf(next.findNext(&five)), "k5");
  next.reset();
  EXPECT_EQ(TextOf(next.removeNext(&five)), "k5");
  EXPECT_EQ(dictionary.entries(), 4u);
  next.reset();
  EXPECT_EQ(next.findNext(&five), nullptr);
}

TEST(RWHashDictionary, SelectCopiesTheChosenAssociations) {
  Pool pool;
  RWHashDictionary dictionary;
  for (int i = 0; i < 6; ++i) dictionary.insertKeyAndValue(pool.String("k" + std::to_string(i)), pool.Int(i));
  std::unique_ptr<RWCollection> odd(dictionary.select(
      [](const RWCollectable* item, const void*) {
        return IntOf(static_cast<const RWCollectableAssociation*>(item)->value()) % 2 == 1;
      },
      nullptr));
  ASSERT_NE(odd, nullptr);
  ASSERT_EQ(odd->isA(), 0x8022);
  auto* selected = static_cast<RWHashDictionary*>(odd.get());
  EXPECT_EQ(selected->entries(), 3u);
  RWCollectableString one("k1"), two("k2");
  EXPECT_EQ(selected->findValue(&one), dictionary.findValue(&one));  // shared value
  EXPECT_EQ(selected->find(&two), nullptr);
}

// A bag of strings against std::multiset of the same texts.
TEST(RWBag, MatchesStdMultisetOverRandomOperations) {
  const uint32_t seed = 0xBA6;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  Pool pool;
  RWBag bag(4);
  std::multiset<std::string> model;
  std::map<std::string, RWCollectable*> storedItem;
  for (int step = 0; step < 5000; ++step) {
    SCOPED_TRACE(step);
    std::string text = "i" + std::to_string(random() % 25);
    RWCollectableString probe(text.c_str());
    const uint32_t before = static_cast<uint32_t>(model.count(text));
    switch (random() % 6) {
      case 0:
      case 1: {
        RWCollectableString* item = pool.String(text);
        RWCollectable* result = bag.insert(item);
        if (before == 0) storedItem[text] = item;
        ASSERT_EQ(result, storedItem[text]);
        model.insert(text);
        break;
      }
      case 2: {
        uint32_t n = random() % 4;
        RWCollectableString* item = pool.String(text);
        RWCollectable* result = bag.insertWithOccurrences(item, n);
        if (before == 0 && n == 0) {
          ASSERT_EQ(result, nullptr);
          break;
        }
        if (before == 0) storedItem[text] = item;
        ASSERT_EQ(result, storedItem[text]);
        for (uint32_t i = 0; i < n; ++i) model.insert(text);
        break;
      }
      case 3:
      case 4: {
        RWCollectable* removed = bag.remove(&probe);
        if (before == 0) {
          ASSERT_EQ(removed, nullptr);
        } else {
          ASSERT_EQ(removed, storedItem[text]);
          model.erase(model.find(text));
        }
        break;
      }
      case 5:
        ASSERT_EQ(bag.occurrencesOf(&probe), before);
        ASSERT_EQ(bag.find(&probe), before == 0 ? nullptr : storedItem[text]);
        break;
    }
    ASSERT_EQ(bag.entries(), model.size());
    ASSERT_EQ(bag.isEmpty(), model.empty());
  }
  // Iteration and apply return each item as often as it occurs.
  std::multiset<std::string> iterated, applied;
  RWBagIterator next(bag);
  while (RWCollectable* item = next()) {
    EXPECT_EQ(next.key(), item);
    iterated.insert(TextOf(item));
  }
  EXPECT_EQ(next.key(), nullptr);
  bag.apply([](RWCollectable* item, void* out) { static_cast<std::multiset<std::string>*>(out)->insert(TextOf(item)); },
            &applied);
  EXPECT_EQ(iterated, model);
  EXPECT_EQ(applied, model);
}

TEST(RWBag, ItemHeldThreeTimes) {
  Pool pool;
  RWBag bag;
  RWCollectableString* item = pool.String("x");
  RWCollectableString* other = pool.String("y");
  for (int i = 0; i < 3; ++i) bag.insert(item);
  bag.insert(other);
  EXPECT_EQ(bag.entries(), 4u);
  EXPECT_EQ(bag.occurrencesOf(item), 3u);

  RWBagIterator next(bag);
  RWCollectableString probe("x");
  int found = 0;
  while (next.findNext(&probe) != nullptr) ++found;
  EXPECT_EQ(found, 3);
  next.reset();
  EXPECT_EQ(next.key(), nullptr);
  int all = 0;
  while (next() != nullptr) ++all;
  EXPECT_EQ(all, 4);

  RWBag copy(bag);
  EXPECT_TRUE(copy == bag);
  EXPECT_TRUE(copy.isEqual(&bag));
  // Counts are not shared: removing from the copy leaves the original's counts.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(copy.remove(&probe), item);
  EXPECT_EQ(copy.remove(&probe), nullptr);
  EXPECT_EQ(copy.entries(), 1u);
  EXPECT_EQ(bag.occurrencesOf(&probe), 3u);
  EXPECT_FALSE(copy == bag);
  copy = bag;
  EXPECT_TRUE(copy == bag);
  EXPECT_EQ(copy.occurrencesOf(&probe), 3u);
  copy.remove(&probe);
  EXPECT_EQ(bag.occurrencesOf(&probe), 3u);

  RWSet set;
  EXPECT_FALSE(bag.isEqual(&set));
  EXPECT_EQ(bag.insertWithOccurrences(nullptr, 1), nullptr);
  EXPECT_EQ(bag.insertWithOccurrences(item, 0x80000000u), nullptr);
  EXPECT_EQ(bag.occurrencesOf(item), 3u);
}

TEST(RWBag, RemoveAndDestroyDeletesAtTheLastOccurrence) {
  Tracked::s_alive = 0;
  {
    RWBag bag;
    auto* item = new Tracked(4);
    bag.insertWithOccurrences(item, 2);
    Tracked probe(4);
    bag.removeAndDestroy(&probe);
    EXPECT_EQ(Tracked::s_alive, 2);
    bag.removeAndDestroy(&probe);
    EXPECT_EQ(Tracked::s_alive, 1);
    EXPECT_TRUE(bag.isEmpty());

    bag.insert(new Tracked(1));
    bag.insertWithOccurrences(new Tracked(2), 5);
    bag.clearAndDestroy();
    EXPECT_EQ(Tracked::s_alive, 1);
    EXPECT_EQ(bag.entries(), 0u);
  }
  EXPECT_EQ(Tracked::s_alive, 0);
}

TEST(RWBag, AsBagCountsTheItemsOfAnyCollection) {
  Pool pool;
  RWOrdered ordered;
  RWCollectableString* a = pool.String("a");
  RWCollectableString* b = pool.String("b");
  for (RWCollectable* item : {static_cast<RWCollectable*>(a), static_cast<RWCollectable*>(b),
                              static_cast<RWCollectable*>(pool.String("a")), static_cast<RWCollectable*>(a)}) {
    ordered.append(item);
  }
  RWBag bag = ordered.asBag();
  EXPECT_EQ(bag.entries(), 4u);
  EXPECT_EQ(bag.occurrencesOf(a), 3u);
  EXPECT_EQ(bag.occurrencesOf(b), 1u);
  EXPECT_EQ(bag.buckets(), 2u);
}

// The same dictionary and bag go through a file and through the portable stream and
// come back equal, with a value shared by two keys restored as one object.
TEST(RWDictionaryPersistence, RoundTripsThroughFileAndStream) {
  Pool pool;
  RWHashDictionary dictionary;
  RWCollectableInt* shared = pool.Int(77);
  dictionary.insertKeyAndValue(pool.String("first"), shared);
  dictionary.insertKeyAndValue(pool.String("second"), shared);
  dictionary.insertKeyAndValue(pool.String("empty value"), nullptr);
  dictionary.insertKeyAndValue(pool.String(""), pool.String("text value"));
  RWBag bag;
  bag.insertWithOccurrences(pool.String("thrice"), 3);
  bag.insert(pool.Int(-5));

  auto check = [&](RWCollectable* restoredDictionary, RWCollectable* restoredBag) {
    ASSERT_NE(restoredDictionary, nullptr);
    ASSERT_EQ(restoredDictionary->isA(), 0x8022);
    auto* d = static_cast<RWHashDictionary*>(restoredDictionary);
    EXPECT_TRUE(d->isEqual(&dictionary));
    RWCollectableString first("first"), second("second"), empty("empty value");
    EXPECT_EQ(d->findValue(&first), d->findValue(&second));
    EXPECT_NE(d->findValue(&first), shared);
    EXPECT_EQ(IntOf(d->findValue(&first)), 77);
    EXPECT_TRUE(d->contains(&empty));
    EXPECT_EQ(d->findValue(&empty), nullptr);
    d->clearAndDestroy();
    delete d;

    ASSERT_NE(restoredBag, nullptr);
    ASSERT_EQ(restoredBag->isA(), 0x801B);
    auto* b = static_cast<RWBag*>(restoredBag);
    EXPECT_TRUE(b->isEqual(&bag));
    RWCollectableString thrice("thrice");
    EXPECT_EQ(b->occurrencesOf(&thrice), 3u);
    b->clearAndDestroy();
    delete b;
  };

  auto path = std::filesystem::temp_directory_path() /
              ("zentor_dictionary_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  {
    RWFile file(path.string().c_str(), "wb+");
    ASSERT_TRUE(file.isValid());
    uint32_t expectedSize = dictionary.recursiveStoreSize();
    dictionary.recursiveSaveOn(file);
    EXPECT_EQ(file.CurOffset(), static_cast<long>(expectedSize));
    bag.recursiveSaveOn(file);
  }
  {
    RWFile file(path.string().c_str(), "rb");
    ASSERT_TRUE(file.isValid());
    RWCollectable* d = RWCollectable::recursiveRestoreFrom(file);
    RWCollectable* b = RWCollectable::recursiveRestoreFrom(file);
    check(d, b);
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);

  std::stringstream text;
  {
    RWpostream out(text);
    dictionary.recursiveSaveOn(out);
    bag.recursiveSaveOn(out);
  }
  RWpistream in(text);
  RWCollectable* d = RWCollectable::recursiveRestoreFrom(in);
  RWCollectable* b = RWCollectable::recursiveRestoreFrom(in);
  check(d, b);
}

TEST(RWDictionaryPersistence, CollectableStringsSurviveDamagedLengths) {
  // A stored length far beyond the data must not be trusted for an allocation.
  std::stringstream text;
  {
    RWpostream out(text);
    RWCollectableString value("abc");
    value.saveGuts(out);
  }
  std::string stored = text.str();
  std::string damaged = "4000000000" + stored.substr(stored.find(' '));
  std::istringstream input(damaged);
  RWpistream in(input);
  RWCollectableString restored("old");
  restored.restoreGuts(in);
  EXPECT_TRUE(in.fail());
  EXPECT_LE(restored.length(), 3u);

  auto path = std::filesystem::temp_directory_path() /
              ("zentor_cut_string_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  {
    RWFile file(path.string().c_str(), "wb+");
    file.Write(10u);  // ten characters announced, three present
    file.Write("abc", 3);
    file.SeekTo(0);
    RWCollectableString cut("old");
    EXPECT_EQ(testing_support::RWErrorTextOf([&] { cut.restoreGuts(file); }), "[READERR] Read error");
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);

  std::istringstream good(stored);
  RWpistream goodIn(good);
  restored.restoreGuts(goodIn);
  EXPECT_FALSE(goodIn.fail());
  EXPECT_EQ(std::string(restored.data()), "abc");
}

}  // namespace
}  // namespace zentor
