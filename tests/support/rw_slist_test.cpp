#include "support/rw_slist.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "rw_test_collectables.h"
#include "support/rw_isv_slist.h"
#include "support/rw_link_cache.h"
#include "support/rw_ordered.h"
#include "support/rw_slist_collectables.h"
#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::KeyOf;
using testing_support::RWErrorTextOf;
using testing_support::TestKey;

int SameKey(const void* item, const void* argument) {
  return KeyOf(static_cast<const RWCollectable*>(item)) == KeyOf(static_cast<const RWCollectable*>(argument));
}

std::vector<void*> Contents(const RWSlist& list) {
  std::vector<void*> items;
  list.apply([](void* item, void* out) { static_cast<std::vector<void*>*>(out)->push_back(item); }, &items);
  return items;
}

std::list<void*>::iterator FindKey(std::list<void*>& model, const void* key) {
  for (auto it = model.begin(); it != model.end(); ++it) {
    if (SameKey(*it, key)) return it;
  }
  return model.end();
}

TEST(RWSlist, RandomOperationsMatchAListModel) {
  const uint32_t seed = 77031;
  std::mt19937 random(seed);
  std::vector<std::unique_ptr<TestKey>> keys;
  for (int copyIndex = 0; copyIndex < 2; ++copyIndex) {
    for (int key = 0; key < 8; ++key) keys.push_back(std::make_unique<TestKey>(key));
  }
  RWSlist list;
  std::list<void*> model;
  for (int step = 0; step < 8000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    void* item = keys[random() % keys.size()].get();
    uint32_t size = static_cast<uint32_t>(model.size());
    switch (random() % 11) {
      case 0:
        EXPECT_EQ(list.append(item), item);
        model.push_back(item);
        break;
      case 1:
        EXPECT_EQ(list.prepend(item), item);
        model.push_front(item);
        break;
      case 2: {
        uint32_t i = static_cast<uint32_t>(random() % (size + 1));
        EXPECT_EQ(list.insertAt(i, item), item);
        model.insert(std::next(model.begin(), i), item);
        break;
      }
      case 3: {
        if (size == 0) break;
        uint32_t i = static_cast<uint32_t>(random() % size);
        EXPECT_EQ(list.insertAfter(i, item), item);
        model.insert(std::next(model.begin(), i + 1), item);
        break;
      }
      case 4:
        EXPECT_EQ(list.get(), model.empty() ? nullptr : model.front());
        if (!model.empty()) model.pop_front();
        break;
      case 5: {
        auto it = FindKey(model, item);
        EXPECT_EQ(list.remove(&SameKey, item), it == model.end() ? nullptr : *it);
        if (it != model.end()) model.erase(it);
        break;
      }
      case 6: {
        auto it = std::find(model.begin(), model.end(), item);
        EXPECT_EQ(list.removeReference(item), it == model.end() ? nullptr : item);
        if (it != model.end()) model.erase(it);
        break;
      }
      case 7: {
        if (size == 0) break;
        uint32_t i = static_cast<uint32_t>(random() % size);
        EXPECT_EQ(list.removeAt(i), *std::next(model.begin(), i));
        model.erase(std::next(model.begin(), i));
        break;
      }
      case 8: {
        auto it = FindKey(model, item);
        EXPECT_EQ(list.find(&SameKey, item), it == model.end() ? nullptr : *it);
        EXPECT_EQ(list.index(&SameKey, item),
                  it == model.end() ? RW_NPOS : static_cast<uint32_t>(std::distance(model.begin(), it)));
        uint32_t count = 0, references = 0;
        for (void* x : model) {
          count += SameKey(x, item) ? 1 : 0;
          references += x == item ? 1 : 0;
        }
        EXPECT_EQ(list.occurrencesOf(&SameKey, item), count);
        EXPECT_EQ(list.occurrencesOfReference(item), references);
        EXPECT_EQ(list.containsReference(item), references != 0);
        break;
      }
      case 9: {
        if (size == 0) break;
        uint32_t i = static_cast<uint32_t>(random() % size);
        EXPECT_EQ(list.at(i), *std::next(model.begin(), i));
        list.at(i) = item;
        *std::next(model.begin(), i) = item;
        break;
      }
      default:
        if (random() % 30 == 0) {
          list.clear();
          model.clear();
        }
        break;
    }
    ASSERT_EQ(list.entries(), model.size());
    ASSERT_EQ(list.isEmpty(), model.empty());
    ASSERT_EQ(Contents(list), std::vector<void*>(model.begin(), model.end()));
    ASSERT_EQ(list.first(), model.empty() ? nullptr : model.front());
    ASSERT_EQ(list.last(), model.empty() ? nullptr : model.back());
  }
  RWSlist copy(list);
  EXPECT_EQ(Contents(copy), Contents(list));
  // applyReference hands out the stored slots themselves.
  void* replacement = keys[0].get();
  copy.applyReference([](void** slot, void* with) { *slot = with; }, replacement);
  EXPECT_EQ(copy.occurrencesOfReference(replacement), copy.entries());
  EXPECT_EQ(Contents(list), std::vector<void*>(model.begin(), model.end()));
  RWSlist assigned;
  assigned.append(nullptr);
  assigned = list;
  assigned = assigned;
  EXPECT_EQ(Contents(assigned), Contents(list));
}

TEST(RWSlist, EmptyListsAndIndexErrors) {
  int a = 1, b = 2;
  RWSlist list;
  EXPECT_EQ(list.first(), nullptr);
  EXPECT_EQ(list.last(), nullptr);
  EXPECT_EQ(list.get(), nullptr);
  struct Case {
    const char* name;
    void (*operation)(RWSlist&, void*);
    const char* text;
  };
  const Case cases[] = {
      {"at(0) on empty", [](RWSlist& l, void*) { (void)static_cast<const RWSlist&>(l).at(0); },
       "[INDEXERR] Illegal Index (0) for collection with 0 elements"},
      {"insertAt entries+1", [](RWSlist& l, void* x) { l.insertAt(1, x); },
       "[INDEXERR] Illegal Index (1) for collection with 0 elements"},
      {"insertAfter on empty", [](RWSlist& l, void* x) { l.insertAfter(0, x); },
       "[INDEXERR] Illegal Index (0) for collection with 0 elements"},
      {"removeAt on empty", [](RWSlist& l, void*) { l.removeAt(0); },
       "[INDEXERR] Illegal Index (0) for collection with 0 elements"},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    EXPECT_EQ(RWErrorTextOf([&] { testCase.operation(list, &a); }), testCase.text);
    EXPECT_TRUE(list.isEmpty());
  }
  EXPECT_EQ(list.insertAt(0, &a), &a);  // insertAt(entries) appends
  EXPECT_EQ(list.insertAt(1, &b), &b);
  EXPECT_EQ(list.last(), &b);
  EXPECT_EQ(list.removeAt(1), &b);
  // The last link moved back, so append goes after a.
  list.append(&b);
  EXPECT_EQ(Contents(list), (std::vector<void*>{&a, &b}));
}

TEST(RWIsvSlist, ReferencesAndTheLastLink) {
  RWIsvSlink links[4];
  RWIsvSlink stranger;
  RWIsvSlist list;
  for (RWIsvSlink& link : links) list.append(&link);
  EXPECT_EQ(list.removeReference(&stranger), nullptr);
  EXPECT_EQ(list.entries(), 4u);
  EXPECT_FALSE(list.containsReference(&stranger));
  EXPECT_EQ(list.findLeftLink(&stranger), nullptr);
  EXPECT_EQ(list.findLeftLink(nullptr), nullptr);
  EXPECT_EQ(list.findLeftLink(&links[0]), list.headLink());
  EXPECT_EQ(list.findLeftLink(&links[2]), &links[1]);
  EXPECT_EQ(list.removeAfterLink(nullptr), nullptr);
  EXPECT_EQ(list.removeAfterLink(&links[3]), nullptr);

  EXPECT_EQ(list.removeReference(&links[3]), &links[3]);
  EXPECT_EQ(list.lastLink(), &links[2]);
  list.append(&links[3]);
  EXPECT_EQ(list.at(3), &links[3]);
  EXPECT_EQ(list.removeReference(&links[1]), &links[1]);
  EXPECT_EQ(list.at(1), &links[2]);
  EXPECT_EQ(list.entries(), 3u);
  // The walk borrowed the tail sentinel; it points at itself again.
  EXPECT_EQ(list.tailLink()->m_next, list.tailLink());

  RWIsvSlistIterator it(list);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(it += 0, nullptr);
  EXPECT_EQ(it += 2, &links[2]);
  EXPECT_TRUE(it.atLast() == false);
  EXPECT_EQ(it.remove(), &links[2]);
  EXPECT_EQ(it.key(), &links[0]);
  EXPECT_EQ(it(), &links[3]);
  EXPECT_TRUE(it.atLast());
  EXPECT_EQ(it(), nullptr);
  EXPECT_EQ(it(), nullptr);
  it.insertAfterPoint(&links[1]);  // past the end: appended
  EXPECT_EQ(list.lastLink(), &links[1]);
  it.toFirst();
  EXPECT_TRUE(it.atFirst());
  EXPECT_EQ(it.key(), &links[0]);

  RWIsvSlist empty;
  RWIsvSlistIterator onEmpty(empty);
  onEmpty.toFirst();
  EXPECT_EQ(onEmpty.key(), nullptr);
  EXPECT_FALSE(onEmpty.atFirst());
  onEmpty.toLast();
  EXPECT_EQ(onEmpty.key(), nullptr);
  EXPECT_EQ(onEmpty(), nullptr);
  EXPECT_EQ(onEmpty.remove(), nullptr);
}

TEST(RWSlist, IteratorEditsMatchAListModel) {
  const uint32_t seed = 99173;
  std::mt19937 random(seed);
  std::vector<std::unique_ptr<TestKey>> keys;
  for (int key = 0; key < 6; ++key) keys.push_back(std::make_unique<TestKey>(key));
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    RWSlist list;
    std::list<void*> model;
    int size = static_cast<int>(random() % 12);
    for (int i = 0; i < size; ++i) {
      void* item = keys[random() % keys.size()].get();
      list.append(item);
      model.push_back(item);
    }
    RWSlistIterator it(list);
    // Model cursor: -1 before the first, model.size() past the end.
    int cursor = -1;
    for (int step = 0; step < 25; ++step) {
      void* item = keys[random() % keys.size()].get();
      int count = static_cast<int>(model.size());
      auto modelAt = [&](int i) { return *std::next(model.begin(), i); };
      switch (random() % 7) {
        case 0: {
          cursor = cursor >= count ? count : cursor + 1;
          EXPECT_EQ(it(), cursor < count ? modelAt(cursor) : nullptr);
          break;
        }
        case 1: {
          uint32_t n = static_cast<uint32_t>(random() % 3);
          for (uint32_t k = 0; k < n && cursor < count; ++k) ++cursor;
          EXPECT_EQ(it += n, cursor >= 0 && cursor < count ? modelAt(cursor) : nullptr);
          break;
        }
        case 2: {
          int found = -1;
          for (int i = cursor + 1; i < count; ++i) {
            if (SameKey(modelAt(i), item)) {
              found = i;
              break;
            }
          }
          EXPECT_EQ(it.findNext(&SameKey, item), found >= 0 ? modelAt(found) : nullptr);
          cursor = found >= 0 ? found : count;
          break;
        }
        case 3: {
          if (cursor >= count) {
            EXPECT_EQ(it.removeNext(&SameKey, item), nullptr);
            break;
          }
          int found = -1;
          for (int i = cursor + 1; i < count; ++i) {
            if (SameKey(modelAt(i), item)) {
              found = i;
              break;
            }
          }
          EXPECT_EQ(it.removeNext(&SameKey, item), found >= 0 ? modelAt(found) : nullptr);
          if (found >= 0) {
            model.erase(std::next(model.begin(), found));
            cursor = found - 1;
          }
          break;
        }
        case 4: {
          bool onItem = cursor >= 0 && cursor < count;
          EXPECT_EQ(it.remove(), onItem ? modelAt(cursor) : nullptr);
          if (onItem) {
            model.erase(std::next(model.begin(), cursor));
            --cursor;
          }
          break;
        }
        case 5: {
          it.insertAfterPoint(item);
          if (cursor >= count) {
            model.push_back(item);
            cursor = count + 1;  // still past the end
          } else {
            model.insert(std::next(model.begin(), cursor + 1), item);
          }
          break;
        }
        default:
          if (random() % 2) {
            it.toFirst();
            cursor = 0;
          } else {
            it.toLast();
            cursor = count == 0 ? 0 : count - 1;
          }
          break;
      }
      int now = static_cast<int>(model.size());
      ASSERT_EQ(it.key(), cursor >= 0 && cursor < now ? modelAt(cursor) : nullptr) << "step " << step;
      ASSERT_EQ(it.atFirst(), now > 0 && cursor == 0);
      ASSERT_EQ(it.atLast(), now > 0 && cursor == now - 1);
      ASSERT_EQ(Contents(list), std::vector<void*>(model.begin(), model.end()));
    }
  }
}

TEST(RWLinkCache, KeepsFiveBlocksPerSizeClass) {
  const size_t linkSize = sizeof(RWPSlink);
  // Empty the class first: whatever earlier tests cached is taken out.
  std::vector<void*> drained;
  while (RWLinkCacheCount(linkSize) != 0) drained.push_back(RWLinkCacheAllocate(linkSize));
  std::vector<void*> blocks;
  for (int i = 0; i < 6; ++i) blocks.push_back(RWLinkCacheAllocate(linkSize));
  for (int i = 0; i < 6; ++i) {
    RWLinkCacheRelease(blocks[i], linkSize);
    EXPECT_EQ(RWLinkCacheCount(linkSize), i < 5 ? i + 1 : 5) << "after release " << i + 1;
  }
  // The last block released first comes back first.
  EXPECT_EQ(RWLinkCacheAllocate(linkSize), blocks[4]);
  EXPECT_EQ(RWLinkCacheCount(linkSize), 4u);
  RWLinkCacheRelease(blocks[4], linkSize);
  for (void* block : drained) RWLinkCacheRelease(block, linkSize);

  // A two-pointer link falls in the fourth class on every host.
  EXPECT_EQ((linkSize + kRWLinkCacheGranule - 1) / kRWLinkCacheGranule, 4u);
  void* large = RWLinkCacheAllocate(6 * kRWLinkCacheGranule);
  RWLinkCacheRelease(large, 6 * kRWLinkCacheGranule);
  EXPECT_EQ(RWLinkCacheCount(6 * kRWLinkCacheGranule), 0u);
}

TEST(RWSlistCollectables, SequenceOperationsAndEquality) {
  TestKey a(1), b(2), c(3), a2(1), x(9);
  RWSlistCollectables list;
  list.insert(&a);
  list.append(&b);
  list.prepend(&c);  // c a b
  EXPECT_EQ(list.first(), &c);
  EXPECT_EQ(list.last(), &b);
  EXPECT_EQ(list.index(&a2), 1u);
  EXPECT_EQ(list.find(&a2), &a);
  EXPECT_EQ(list.index(&x), RW_NPOS);
  EXPECT_EQ(list.insertAfter(0, &x), &x);  // c x a b
  EXPECT_EQ(list.at(1u), &x);
  EXPECT_EQ(list.insertAt(4, &a2), &a2);  // c x a b a2
  EXPECT_EQ(list.occurrencesOf(&a), 2u);
  EXPECT_EQ(list.remove(&a2), &a);  // c x b a2
  EXPECT_EQ(list.entries(), 4u);
  list.at(0u) = &a;  // a x b a2
  EXPECT_EQ(list.first(), &a);
  EXPECT_EQ(RWErrorTextOf([&] { list.insertAt(5, &x); }),
            "[INDEXERR] Illegal Index (5) for collection with 4 elements");
  EXPECT_EQ(RWErrorTextOf([&] { list.insertAfter(4, &x); }),
            "[INDEXERR] Illegal Index (4) for collection with 4 elements");
  EXPECT_EQ(RWErrorTextOf([&] { (void)static_cast<const RWSlistCollectables&>(list).at(4); }),
            "[INDEXERR] Illegal Index (4) for collection with 4 elements");
  EXPECT_EQ(list.entries(), 4u);

  RWSlistCollectables same;
  TestKey x2(9), b2(2), a3(1);
  same.append(&a2);
  same.append(&x2);
  same.append(&b2);
  same.append(&a3);
  EXPECT_TRUE(list == same);
  EXPECT_TRUE(list.isEqual(&same));
  RWOrdered ordered;
  same.addContentsTo(ordered);
  EXPECT_FALSE(list.isEqual(&ordered));
  RWSlistCollectablesStack stack;
  same.addContentsTo(stack);
  EXPECT_FALSE(list.isEqual(&stack));
  same.removeReference(&a3);
  EXPECT_FALSE(list == same);

  RWSlistCollectablesIterator it(list);
  EXPECT_EQ(it.findNext(&b2), &b);
  EXPECT_EQ(it.removeNext(&a3), &a2);
  EXPECT_EQ(it(), nullptr);
  it.reset();
  EXPECT_EQ(it(), &a);
  EXPECT_EQ(it.remove(), &a);
  EXPECT_EQ(it(), &x);
  EXPECT_EQ(list.entries(), 2u);
}

TEST(RWSlistCollectablesStack, PushesAndPopsAtTheHead) {
  TestKey a(1), b(2), c(3), other(7);
  RWSlistCollectablesStack stack;
  stack.insert(&a);
  stack.insert(&b);
  stack.insert(&c);
  EXPECT_EQ(stack.append(&other), nullptr);
  EXPECT_EQ(stack.entries(), 3u);
  EXPECT_EQ(stack.top(), &c);
  stack.removeAndDestroy(&c);  // does nothing
  EXPECT_EQ(stack.entries(), 3u);
  EXPECT_EQ(stack.remove(&other), &c);
  EXPECT_EQ(stack.pop(), &b);
  EXPECT_EQ(stack.pop(), &a);
  EXPECT_EQ(stack.pop(), nullptr);
  RWSlistCollectablesStack single(&a);
  EXPECT_EQ(single.entries(), 1u);
  EXPECT_EQ(single.top(), &a);
  EXPECT_EQ(single.isA(), kRWSlistCollectablesStackID);
}

}  // namespace
}  // namespace zentor
