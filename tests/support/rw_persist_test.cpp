#include "support/rw_collectable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "rw_test_collectables.h"
#include "support/rw_factory.h"
#include "support/rw_file.h"
#include "support/rw_hash_table.h"
#include "support/rw_ordered.h"
#include "support/rw_pstream.h"
#include "support/rw_set.h"
#include "support/rw_slist_collectables.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::KeyOf;
using testing_support::kTestKeyID;
using testing_support::RWErrorTextOf;
using testing_support::TempFileName;
using testing_support::TestKey;
using Bytes = std::vector<unsigned char>;

RW_REGISTER_COLLECTABLE(TestKey, kTestKeyID);

Bytes FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Little-endian pieces of a hand-written image.
void Put16(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<unsigned char>(value));
  bytes.push_back(static_cast<unsigned char>(value >> 8));
}
void Put32(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void StoreToFile(const TempFileName& name, const RWCollectable& object) {
  RWFile file(name.c_str(), "wb+");
  ASSERT_TRUE(file.isValid());
  object.recursiveSaveOn(file);
  ASSERT_FALSE(file.Error());
}

RWCollectable* RestoreFromFile(const TempFileName& name, RWCollectable* target = nullptr) {
  RWFile file(name.c_str(), "rb");
  EXPECT_TRUE(file.isValid());
  return RWCollectable::recursiveRestoreFrom(file, target);
}

TEST(RWPersistence, SharedChildAndNullPointerMatchTheHandWrittenImage) {
  TestKey child(42);
  RWOrdered ordered;
  ordered.append(&child);
  ordered.append(&child);
  ordered.append(nullptr);

  Bytes expected;
  Put32(expected, 0x00008888);
  Put16(expected, kRWOrderedID);
  Put32(expected, 3);
  Put16(expected, kTestKeyID);
  Put32(expected, 42);
  Put16(expected, 0xFFFF);  // the child again: object number 2 (the ordered is 1)
  Put32(expected, 2);
  Put16(expected, 0xFFFF);  // the null pointer: the nil object, number 0
  Put32(expected, 0);

  TempFileName name("graph");
  StoreToFile(name, ordered);
  EXPECT_EQ(FileBytes(name.str()), expected);
  EXPECT_EQ(ordered.recursiveStoreSize(), expected.size());

  std::unique_ptr<RWCollectable> restored(RestoreFromFile(name));
  ASSERT_NE(restored, nullptr);
  ASSERT_EQ(restored->isA(), kRWOrderedID);
  auto& copy = static_cast<RWOrdered&>(*restored);
  ASSERT_EQ(copy.entries(), 3u);
  EXPECT_NE(copy(0), &child);
  EXPECT_EQ(copy(0), copy(1));
  EXPECT_EQ(copy(2), nullptr);
  EXPECT_EQ(KeyOf(copy(0)), 42);
  EXPECT_TRUE(copy.isEqual(&ordered));
  delete copy(0);
}

TEST(RWPersistence, SmallImagesAndTheirSizes) {
  RWCollectable lone;
  RWOrdered selfHolding;
  selfHolding.append(&selfHolding);
  struct Case {
    const char* name;
    const RWCollectable* object;  // null: the free form with a null pointer
    Bytes image;
  };
  Bytes loneImage, nullImage, cycleImage;
  Put32(loneImage, 0x8888);
  Put16(loneImage, kRWCollectableID);
  Put32(nullImage, 0x8888);
  Put16(nullImage, 0xFFFF);
  Put32(nullImage, 0);
  Put32(cycleImage, 0x8888);
  Put16(cycleImage, kRWOrderedID);
  Put32(cycleImage, 1);
  Put16(cycleImage, 0xFFFF);
  Put32(cycleImage, 1);
  const Case cases[] = {
      {"lone base object", &lone, loneImage},
      {"null pointer", nullptr, nullImage},
      {"collection holding itself", &selfHolding, cycleImage},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    TempFileName name("small");
    {
      RWFile file(name.c_str(), "wb+");
      file << testCase.object;
    }
    EXPECT_EQ(FileBytes(name.str()), testCase.image);
    EXPECT_EQ(rwStoredSizeOf(testCase.object), testCase.image.size());
    RWFile file(name.c_str(), "rb");
    RWCollectable* restored = nullptr;
    file >> restored;
    if (testCase.object == nullptr) {
      EXPECT_EQ(restored, nullptr);
    } else {
      ASSERT_NE(restored, nullptr);
      EXPECT_EQ(restored->isA(), testCase.object->isA());
      if (auto ordered = dynamic_cast<RWOrdered*>(restored)) EXPECT_EQ(ordered->first(), ordered);
    }
    delete restored;
  }
  EXPECT_EQ(lone.recursiveStoreSize(), 6u);
}

// ---- Random object graphs: the restored graph has the same shape and sharing ----

bool Positional(RWClassID id) {
  return id == kRWOrderedID || id == kRWSlistCollectablesID || id == kRWSlistCollectablesStackID;
}

class RandomGraph {
 public:
  explicit RandomGraph(uint32_t seed) : m_random(seed) {
    int leaves = 3 + static_cast<int>(m_random() % 12);
    for (int i = 0; i < leaves; ++i) Own(new TestKey(static_cast<int>(m_random() % 6)));
    int containers = 1 + static_cast<int>(m_random() % 6);
    for (int i = 0; i < containers; ++i) Own(MakeContainer());
    // Fill after creating, so containers can hold each other and themselves.
    for (size_t i = static_cast<size_t>(leaves); i < m_objects.size(); ++i) Fill(static_cast<RWCollection*>(m_objects[i].get()));
    // The root lists every object first, so the positions give the correspondence
    // between original and restored objects.
    for (const auto& object : m_objects) m_registry.append(object.get());
    m_root.append(&m_registry);
    for (size_t i = static_cast<size_t>(leaves); i < m_objects.size(); ++i) {
      if (m_random() % 2) m_root.append(m_objects[i].get());
    }
  }
  const RWOrdered& root() const { return m_root; }

 private:
  RWCollectable* MakeContainer() {
    switch (m_random() % 6) {
      case 0:
        return new RWOrdered();
      case 1:
        return new RWSlistCollectables();
      case 2:
        return new RWSlistCollectablesStack();
      case 3:
        return new RWHashTable(1 + m_random() % 5);
      case 4:
        return new RWSet(1 + m_random() % 5);
      default:
        return new RWIdentitySet(1 + m_random() % 5);
    }
  }
  void Fill(RWCollection* container) {
    int count = static_cast<int>(m_random() % 8);
    bool positional = Positional(container->isA());
    for (int i = 0; i < count; ++i) {
      RWCollectable* item = m_objects[m_random() % m_objects.size()].get();
      // Hashed collections hold only keys: a collection's equality would compare
      // contents, endlessly so through a cycle.
      if (!positional && dynamic_cast<TestKey*>(item) == nullptr) continue;
      if (positional && m_random() % 7 == 0) item = nullptr;
      container->insert(item);
    }
  }
  void Own(RWCollectable* object) { m_objects.emplace_back(object); }

  std::mt19937 m_random;
  std::vector<std::unique_ptr<RWCollectable>> m_objects;
  RWOrdered m_registry;
  RWOrdered m_root;
};

std::vector<RWCollectable*> Items(const RWCollection& collection) {
  std::vector<RWCollectable*> items;
  collection.apply([](RWCollectable* item, void* out) { static_cast<std::vector<RWCollectable*>*>(out)->push_back(item); },
                   &items);
  return items;
}

// Compares the restored graph with the original through the registry positions and
// deletes the restored objects.
void ExpectSameGraphAndFree(const RWOrdered& original, RWCollectable* restoredRoot) {
  ASSERT_NE(restoredRoot, nullptr);
  ASSERT_EQ(restoredRoot->isA(), kRWOrderedID);
  std::unique_ptr<RWOrdered> root(static_cast<RWOrdered*>(restoredRoot));
  ASSERT_EQ(root->entries(), original.entries());
  auto& registry = static_cast<const RWOrdered&>(*original(0));
  ASSERT_EQ((*root)(0)->isA(), kRWOrderedID);
  std::unique_ptr<RWOrdered> restoredRegistry(static_cast<RWOrdered*>((*root)(0)));
  ASSERT_EQ(restoredRegistry->entries(), registry.entries());

  std::map<const RWCollectable*, RWCollectable*> counterpart{{nullptr, nullptr}, {&registry, restoredRegistry.get()}};
  std::set<const RWCollectable*> restoredObjects;
  for (uint32_t i = 0; i < registry.entries(); ++i) {
    counterpart[registry(i)] = (*restoredRegistry)(i);
    ASSERT_NE((*restoredRegistry)(i), nullptr);
    ASSERT_TRUE(restoredObjects.insert((*restoredRegistry)(i)).second) << "two objects restored as one";
  }
  std::vector<std::unique_ptr<RWCollectable>> cleanup;
  for (uint32_t i = 0; i < registry.entries(); ++i) cleanup.emplace_back((*restoredRegistry)(i));
  for (uint32_t i = 1; i < original.entries(); ++i) EXPECT_EQ((*root)(i), counterpart[original(i)]);

  for (uint32_t i = 0; i < registry.entries(); ++i) {
    SCOPED_TRACE("object " + std::to_string(i));
    const RWCollectable* object = registry(i);
    const RWCollectable* copy = counterpart[object];
    ASSERT_EQ(copy->isA(), object->isA());
    if (object->isA() == kTestKeyID) {
      EXPECT_EQ(KeyOf(copy), KeyOf(object));
      continue;
    }
    std::vector<RWCollectable*> expected;
    for (RWCollectable* item : Items(static_cast<const RWCollection&>(*object))) expected.push_back(counterpart[item]);
    std::vector<RWCollectable*> actual = Items(static_cast<const RWCollection&>(*copy));
    if (Positional(object->isA())) {
      EXPECT_EQ(actual, expected);
    } else {
      EXPECT_EQ(std::multiset<RWCollectable*>(actual.begin(), actual.end()),
                std::multiset<RWCollectable*>(expected.begin(), expected.end()));
    }
  }
}

TEST(RWPersistence, RandomGraphsRoundTripThroughFilesAndStreams) {
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomGraph graph(seed);
    int liveBefore = TestKey::live();
    {
      TempFileName name("random");
      StoreToFile(name, graph.root());
      EXPECT_EQ(FileBytes(name.str()).size(), graph.root().recursiveStoreSize());
      ExpectSameGraphAndFree(graph.root(), RestoreFromFile(name));
    }
    {
      std::stringstream text;
      RWpostream out(text);
      out << graph.root();
      ASSERT_TRUE(out.good());
      RWpistream in(text);
      RWCollectable* restored = nullptr;
      in >> restored;
      EXPECT_TRUE(in.good());
      ExpectSameGraphAndFree(graph.root(), restored);
    }
    EXPECT_EQ(TestKey::live(), liveBefore);
  }
}

TEST(RWPersistence, StreamFormIsReadableText) {
  TestKey child(42);
  RWOrdered ordered;
  ordered.append(&child);
  ordered.append(&child);
  ordered.append(nullptr);
  std::ostringstream text;
  RWpostream out(text);
  ordered.recursiveSaveOn(out);
  EXPECT_EQ(text.str(), ": 32808 { 3 : 28673 { 42 } @ 2 @ 0 } ");

  // Restoring into a given target reads the data into it.
  RWOrdered target;
  std::istringstream in(text.str() + ": 7 { } ");
  RWpistream stream(in);
  EXPECT_EQ(RWCollectable::recursiveRestoreFrom(stream, &target), &target);
  ASSERT_EQ(target.entries(), 3u);
  EXPECT_EQ(target(0), target(1));
  EXPECT_EQ(KeyOf(target(0)), 42);
  delete target(0);
  // The next object is an independent top-level restore: numbering starts afresh.
  EXPECT_EQ(RWErrorTextOf([&] { RWCollectable::recursiveRestoreFrom(stream); }),
            "[NOCREATE] RWFactory: no create function for class with ID 7 (0x7)");
}

// ---- Damaged files ----

struct DamagedFile {
  const char* name;
  Bytes bytes;
  bool intoTarget;  // restore into a caller's RWOrdered
  const char* text;
};

std::vector<DamagedFile> DamagedFiles() {
  std::vector<DamagedFile> cases;
  auto add = [&](const char* name, bool intoTarget, const char* text, auto build) {
    Bytes bytes;
    build(bytes);
    cases.push_back({name, bytes, intoTarget, text});
  };
  add("wrong magic", false, "[MAGIC] Bad magic number: 4660 (should be 34952)", [](Bytes& b) {
    Put32(b, 0x1234);
    Put16(b, kRWCollectableID);
  });
  add("magic with the high bit", false, "[MAGIC] Bad magic number: -2004318072 (should be 34952)",
      [](Bytes& b) { Put32(b, 0x88888888); });
  add("empty file", false, "[MAGIC] Bad magic number: -1 (should be 34952)", [](Bytes&) {});
  add("magic cut short", false, "[MAGIC] Bad magic number: -1 (should be 34952)", [](Bytes& b) { Put16(b, 0x8888); });
  add("unknown class", false, "[NOCREATE] RWFactory: no create function for class with ID 39321 (0x9999)",
      [](Bytes& b) {
        Put32(b, 0x8888);
        Put16(b, 0x9999);
      });
  add("class ID missing", false, "[NOCREATE] RWFactory: no create function for class with ID 0 (0x0)",
      [](Bytes& b) { Put32(b, 0x8888); });
  add("class ID cut short", false, "[NOCREATE] RWFactory: no create function for class with ID 40 (0x28)",
      [](Bytes& b) {
        Put32(b, 0x8888);
        b.push_back(0x28);
      });
  add("reference to the next object number", false, "[REF] Bad persistence reference", [](Bytes& b) {
    Put32(b, 0x8888);
    Put16(b, 0xFFFF);
    Put32(b, 1);
  });
  add("reference cut short", false, "[REF] Bad persistence reference", [](Bytes& b) {
    Put32(b, 0x8888);
    Put16(b, 0xFFFF);
    Put16(b, 0);
  });
  add("item referring beyond what was read", true, "[REF] Bad persistence reference", [](Bytes& b) {
    Put32(b, 0x8888);
    Put16(b, kRWOrderedID);
    Put32(b, 2);
    Put16(b, kTestKeyID);
    Put32(b, 7);
    Put16(b, 0xFFFF);
    Put32(b, 3);  // objects 0 (nil), 1 (the ordered), 2 (the key) exist
  });
  add("reference to something other than the target", true, "[REF] Bad persistence reference", [](Bytes& b) {
    Put32(b, 0x8888);
    Put16(b, 0xFFFF);
    Put32(b, 0);
  });
  add("count cut short", true, "[READERR] Read error", [](Bytes& b) {
    Put32(b, 0x8888);
    Put16(b, kRWOrderedID);
    Put16(b, 1);
  });
  add("items missing", true, "[NOCREATE] RWFactory: no create function for class with ID 0 (0x0)", [](Bytes& b) {
    Put32(b, 0x8888);
    Put16(b, kRWOrderedID);
    Put32(b, 0xFFFFFFFF);
    Put16(b, kTestKeyID);
    Put32(b, 1);
  });
  add("unknown class inside a collection", true,
      "[NOCREATE] RWFactory: no create function for class with ID 4660 (0x1234)", [](Bytes& b) {
        Put32(b, 0x8888);
        Put16(b, kRWOrderedID);
        Put32(b, 1);
        Put16(b, 0x1234);
      });
  return cases;
}

TEST(RWPersistence, DamagedFilesRaiseTheMatchingError) {
  for (const DamagedFile& damaged : DamagedFiles()) {
    SCOPED_TRACE(damaged.name);
    int liveBefore = TestKey::live();
    TempFileName name("damaged");
    PutFileBytes(name.str(), damaged.bytes);
    RWOrdered target;
    RWCollectable* restored = reinterpret_cast<RWCollectable*>(1);
    EXPECT_EQ(RWErrorTextOf([&] { restored = RestoreFromFile(name, damaged.intoTarget ? &target : nullptr); }),
              damaged.text);
    EXPECT_EQ(restored, reinterpret_cast<RWCollectable*>(1)) << "returned although the handler unwound";
    target.clearAndDestroy();
    EXPECT_EQ(TestKey::live(), liveBefore);

    // The numbering of the failed restore is gone: a sound file reads normally.
    TestKey key(5);
    RWOrdered sound;
    sound.append(&key);
    sound.append(&key);
    StoreToFile(name, sound);
    std::unique_ptr<RWCollectable> again(RestoreFromFile(name));
    ASSERT_NE(again, nullptr);
    auto& copy = static_cast<RWOrdered&>(*again);
    ASSERT_EQ(copy.entries(), 2u);
    EXPECT_EQ(copy(0), copy(1));
    delete copy(0);
  }
}

// A handler that returns: the restore gives null and stops reading.
std::vector<std::string> g_returnedErrors;
void RecordAndReturn(const RWxmsg& error) { g_returnedErrors.push_back(error.why()); }

TEST(RWPersistence, ARestoreStopsWhenTheHandlerReturns) {
  RWErrHandler previous = rwSetErrHandler(&RecordAndReturn);
  for (const DamagedFile& damaged : DamagedFiles()) {
    SCOPED_TRACE(damaged.name);
    g_returnedErrors.clear();
    TempFileName name("returning");
    PutFileBytes(name.str(), damaged.bytes);
    RWOrdered target;
    RWCollectable* restored = RestoreFromFile(name, damaged.intoTarget ? &target : nullptr);
    EXPECT_EQ(restored, nullptr);
    EXPECT_EQ(g_returnedErrors, std::vector<std::string>{damaged.text});
    target.clearAndDestroy();
  }
  rwSetErrHandler(previous);
}

TEST(RWPersistence, DamagedStreamsFailWithoutAnObject) {
  struct Case {
    const char* name;
    const char* text;
    bool failState;
    const char* error;
  };
  const Case cases[] = {
      {"empty", "", true, ""},
      {"unexpected mark", "x 1 { } ", true, ""},
      {"missing brace", ": 32775 x } ", true, ""},
      {"class ID not a number", ": abc { } ", true, ""},
      {"class ID out of range", ": 70000 { } ", true, ""},
      {"cut inside the object", ": 32808 { 2 @ 0 ", true, ""},
      {"cut before the closing brace", ": 32808 { 1 @ 0 ", true, ""},
      {"reference beyond what was read", ": 32808 { 1 @ 2 } ", true, "[REF] Bad persistence reference"},
      {"reference at top level", "@ 1 ", true, "[REF] Bad persistence reference"},
      {"unknown class", ": 4660 { } ", true,
       "[NOCREATE] RWFactory: no create function for class with ID 4660 (0x1234)"},
      {"null pointer", "@ 0 ", false, ""},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    std::istringstream text(testCase.text);
    RWpistream stream(text);
    RWCollectable* restored = reinterpret_cast<RWCollectable*>(1);
    EXPECT_EQ(RWErrorTextOf([&] { restored = RWCollectable::recursiveRestoreFrom(stream); }), testCase.error);
    if (testCase.error[0] == '\0') {
      EXPECT_EQ(restored, nullptr);
      EXPECT_EQ(stream.fail(), testCase.failState);
    }
  }
  std::istringstream text("@ 0 ");
  RWpistream bad(text);
  bad.setFail();
  EXPECT_EQ(RWCollectable::recursiveRestoreFrom(bad), nullptr);
}

}  // namespace
}  // namespace zentor
