#include "symbols/vst_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "symbols/page_cache.h"
#include "symbols/symbol_records.h"
#include "vst_test_support.h"
#include "core/value_bytes.h"
#include "support/rw_tval_vector.h"

namespace zentor {
namespace {

using testing_support::CurrentMemoryCache;
using testing_support::ErrorRaisedBy;
using testing_support::MemoryPageFile;
using value_bytes::LoadU32;
using value_bytes::StoreU32;

std::unique_ptr<PageCache> NewCache() { return std::make_unique<PageCache>(std::make_unique<MemoryPageFile>()); }

uint32_t WordAt(PageCache& cache, uint32_t handle) { return LoadU32(cache.GetPageForRead(RecordHandle(handle))); }

// Where the page-fit rule puts records of the given sizes written on one chain that is
// alone in its file (pages 0, 1, 2, ...): their handles and the offsets of the
// page-end records.
struct Placement {
  std::vector<uint32_t> m_handles;
  std::vector<uint32_t> m_pageEnds;
  uint32_t m_pages = 0;
};
Placement ExpectedPlacement(const std::vector<uint32_t>& sizes) {
  Placement placement;
  uint32_t page = 0;
  uint32_t offset = 8;
  placement.m_pages = sizes.empty() ? 0 : 1;
  for (uint32_t size : sizes) {
    if (offset + size + 4 > 512) {
      placement.m_pageEnds.push_back(page * 512 + offset);
      ++page;
      ++placement.m_pages;
      offset = 8;
    }
    placement.m_handles.push_back(page * 512 + offset);
    offset += size;
  }
  return placement;
}

// Writes records of the given sizes (type word 2, then bytes of the record's number)
// and answers their handles.
std::vector<uint32_t> WriteRecords(PageCache& cache, RecordChainWriter& writer, const std::vector<uint32_t>& sizes) {
  std::vector<uint32_t> handles;
  for (size_t i = 0; i < sizes.size(); ++i) {
    RecordView view = writer.Reserve(cache, sizes[i]);
    view.Fill(0, sizes[i], static_cast<uint8_t>(i));
    view.SetU32(0, 2);
    handles.push_back(view.Handle().Value());
  }
  return handles;
}

void ExpectChainMatches(PageCache& cache, const std::vector<uint32_t>& sizes, const std::vector<uint32_t>& handles) {
  const Placement expected = ExpectedPlacement(sizes);
  ASSERT_EQ(handles, expected.m_handles);
  for (uint32_t pageEnd : expected.m_pageEnds) EXPECT_EQ(WordAt(cache, pageEnd), 99u) << "page end at " << pageEnd;
  for (uint32_t page = 0; page < expected.m_pages; ++page) {
    const uint32_t next = page + 1 < expected.m_pages ? (page + 1) * 512 : RecordHandle::kNone;
    const uint32_t previous = page == 0 ? RecordHandle::kNone : (page - 1) * 512;
    EXPECT_EQ(WordAt(cache, page * 512), next) << "next link of page " << page;
    EXPECT_EQ(WordAt(cache, page * 512 + 4), previous) << "previous link of page " << page;
  }
  for (size_t i = 0; i < handles.size(); ++i) {
    const uint8_t* bytes = cache.GetPageForRead(RecordHandle(handles[i]));
    ASSERT_EQ(LoadU32(bytes), 2u);
    for (uint32_t b = 4; b < sizes[i]; ++b) ASSERT_EQ(bytes[b], static_cast<uint8_t>(i)) << "record " << i;
  }
}

TEST(RecordChainWriterTest, PageFitRuleAtTheEdges) {
  struct Case {
    const char* name;
    std::vector<uint32_t> sizes;
  };
  const Case cases[] = {
      {"largest record fills a page", {500, 4}},
      {"61 bytes at offset 447 fit", {439, 61, 4}},
      {"61 bytes at offset 448 do not", {440, 61}},
      {"exact fill then any record", {250, 250, 12}},
      {"bare records only", std::vector<uint32_t>(300, 4)},
      {"symbol records", std::vector<uint32_t>(40, 61)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cache = NewCache();
    RecordChainWriter writer;
    const auto handles = WriteRecords(*cache, writer, c.sizes);
    ExpectChainMatches(*cache, c.sizes, handles);
    EXPECT_EQ(writer.FirstPage().Value(), 0u);
  }
}

TEST(RecordChainWriterTest, RandomSizesAcrossManyEvictions) {
  constexpr uint32_t kSeed = 977;
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937 random(kSeed);
  std::vector<uint32_t> sizes;
  for (int i = 0; i < 6000; ++i) sizes.push_back(random() % 4 == 0 ? 4 + random() % 497 : 4 + random() % 70);
  auto cache = NewCache();
  RecordChainWriter writer;
  const auto handles = WriteRecords(*cache, writer, sizes);
  ASSERT_GT(cache->PageCountInFile(), 3 * PageCache::kBufferCount);
  ExpectChainMatches(*cache, sizes, handles);
}

TEST(RecordChainWriterTest, RefusesRecordsThatCannotFitAPage) {
  auto cache = NewCache();
  RecordChainWriter writer;
  for (uint32_t size : {0u, 3u, 501u, 512u}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(ErrorRaisedBy([&] { writer.Reserve(*cache, size); }).m_number, 1u);
  }
}

TEST(RecordChainWriterTest, WriterPinsOnlyItsCurrentPage) {
  auto cache = NewCache();
  RecordChainWriter writer;
  WriteRecords(*cache, writer, std::vector<uint32_t>(30, 61));
  ASSERT_EQ(writer.CurrentPage().Value(), 3u * 512);
  for (uint32_t page = 0; page < 4; ++page) {
    EXPECT_EQ(cache->PinCount(page), page == 3 ? 1u : 0u) << "page " << page;
  }
  writer.ReleasePin(*cache);
  EXPECT_EQ(cache->PinCount(3), 0u);
  EXPECT_FALSE(writer.IsPinned());
}

// A load that ends writes a list-end record and releases the pin; the next load's
// first record takes the list-end record's place. An end record of a module is kept.
TEST(RecordChainWriterTest, ContinuingAChainOverwritesTheListEnd) {
  struct Case {
    const char* name;
    uint32_t endType;
    bool overwritten;
  };
  const Case cases[] = {{"list end", kListEndRecordType, true}, {"module end", kEndRecordType, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cache = NewCache();
    RecordChainWriter writer;
    WriteRecords(*cache, writer, {61, 61});
    const RecordHandle end = AppendBareRecord(*cache, writer, c.endType);
    writer.ReleasePin(*cache);
    // Other pages come and go in between.
    RecordChainWriter other;
    WriteRecords(*cache, other, std::vector<uint32_t>(200 * 8, 61));
    RecordView next = writer.Reserve(*cache, 61);
    EXPECT_EQ(next.Handle() == end, c.overwritten);
    if (!c.overwritten) {
      EXPECT_EQ(next.Handle().Value(), end.Value() + 4);
    }
    EXPECT_TRUE(writer.IsPinned());
  }
}

// Writes the symbol-chain records of `types` (ending with `endType`) and answers the
// handles of all of them.
std::vector<uint32_t> WriteSymbolChain(PageCache& cache, RecordChainWriter& writer, const std::vector<uint32_t>& types,
                                       uint32_t endType) {
  std::vector<uint32_t> handles;
  for (uint32_t type : types) {
    const uint32_t size = FindChainRecordKind(type)->m_symbolSize;
    RecordView view = writer.Reserve(cache, size);
    view.Fill(0, size, 0);
    view.SetU32(0, type);
    handles.push_back(view.Handle().Value());
  }
  handles.push_back(AppendBareRecord(cache, writer, endType).Value());
  return handles;
}

TEST(RecordRefTest, SymbolWalkReturnsEveryRecordInOrder) {
  constexpr uint32_t kSeed = 4242;
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937 random(kSeed);
  std::vector<uint32_t> types;
  for (int i = 0; i < 3000; ++i) types.push_back(random() % 4);
  for (uint32_t endType : {kEndRecordType, kListEndRecordType}) {
    SCOPED_TRACE("end type " + std::to_string(endType));
    auto cache = NewCache();
    RecordChainWriter writer;
    const auto handles = WriteSymbolChain(*cache, writer, types, endType);
    writer.ReleasePin(*cache);
    RecordRef ref;
    ref.Init(writer.FirstPage());  // the start of a page means its first record
    for (size_t i = 0; i < types.size(); ++i) {
      RecordView view = ref.NextSymbolRecord(*cache);
      ASSERT_FALSE(view.IsNull()) << "record " << i;
      ASSERT_EQ(view.Handle().Value(), handles[i]) << "record " << i;
      ASSERT_EQ(ref.Addr().Value(), handles[i]);
      ASSERT_EQ(ref.RecType(), types[i]);
      ASSERT_EQ(view.Length(), FindChainRecordKind(types[i])->m_symbolSize);
    }
    for (int again = 0; again < 2; ++again) {
      EXPECT_TRUE(ref.NextSymbolRecord(*cache).IsNull());
      EXPECT_EQ(ref.RecType(), endType);
      EXPECT_EQ(ref.Addr().Value(), handles.back()) << "the cursor stays on the end record";
    }
    // A cursor started in the middle sees the rest.
    RecordRef middle;
    middle.Init(RecordHandle(handles[1234]));
    EXPECT_EQ(middle.NextSymbolRecord(*cache).Handle().Value(), handles[1234]);
    EXPECT_EQ(middle.NextSymbolRecord(*cache).Handle().Value(), handles[1235]);
  }
}

TEST(RecordRefTest, TypeWalkReturnsListElements) {
  auto cache = NewCache();
  RecordChainWriter writer;
  std::vector<uint32_t> handles;
  for (uint32_t i = 0; i < 200; ++i) {
    switch (i % 3) {
      case 0:
        handles.push_back(AppendListNameElement(*cache, writer, SymbolKey(RecordHandle(i), i, 0)).Value());
        break;
      case 1:
        handles.push_back(AppendListIndexElement(*cache, writer, i).Value());
        break;
      default:
        handles.push_back(AppendListNumberElement(*cache, writer, UnsignedInt64::FromWords(i, ~i)).Value());
        break;
    }
  }
  const RecordHandle end = AppendBareRecord(*cache, writer, kListEndElementType);
  RecordRef ref;
  ref.Init(RecordHandle(handles[0]));
  for (uint32_t i = 0; i < 200; ++i) {
    RecordView view = ref.NextTypeRecord(*cache);
    ASSERT_EQ(view.Handle().Value(), handles[i]);
    ASSERT_EQ(view.U32At(0), i % 3);
    ASSERT_EQ(ref.RecType(), i % 3);
    if (i % 3 == 1) {
      ASSERT_EQ(view.U32At(4), i);
    }
  }
  EXPECT_TRUE(ref.NextTypeRecord(*cache).IsNull());
  EXPECT_EQ(ref.RecType(), kListEndElementType);
  EXPECT_EQ(ref.Addr().Value(), RecordHandle::kNone) << "only the symbol walk records the address";
  EXPECT_EQ(ref.PageAddr() + 8 + ref.RecIdx(), end.Value()) << "the cursor stays on the list end";
}

TEST(RecordRefTest, PageEndOnTheLastPageEndsTheWalk) {
  auto cache = NewCache();
  RecordChainWriter writer;
  const auto handles = WriteSymbolChain(*cache, writer, {2, 3}, kPageEndRecordType);
  RecordRef ref;
  ref.Init(RecordHandle(handles[0]));
  EXPECT_FALSE(ref.NextSymbolRecord(*cache).IsNull());
  EXPECT_FALSE(ref.NextSymbolRecord(*cache).IsNull());
  EXPECT_TRUE(ref.NextSymbolRecord(*cache).IsNull());
  EXPECT_TRUE(ref.IsOffChain());
  EXPECT_TRUE(ref.NextSymbolRecord(*cache).IsNull());
  RecordRef none;
  none.Init(RecordHandle());
  EXPECT_TRUE(none.NextSymbolRecord(*cache).IsNull());
  EXPECT_TRUE(none.NextTypeRecord(*cache).IsNull());
}

// Damaged chains: each case builds pages by hand and walks them from page 0.
TEST(RecordRefTest, DamagedChainsRaiseInsteadOfRunningAway) {
  struct Case {
    const char* name;
    // Fills page 0 (and page 1, present in every case); answers the handle to start at.
    std::function<uint32_t(uint8_t* page0, uint8_t* page1)> build;
    uint32_t symbolWalkError;
    uint32_t typeWalkError;
  };
  const Case cases[] = {
      {"unknown record type",
       [](uint8_t* p, uint8_t*) {
         StoreU32(p + 8, 7);
         return 0u;
       },
       301, 302},
      {"list end in a type list",
       [](uint8_t* p, uint8_t*) {
         StoreU32(p + 8, kListEndRecordType);
         return 0u;
       },
       0, 302},
      {"page end linking to its own page",
       [](uint8_t* p, uint8_t*) {
         StoreU32(p + 0, 0);
         StoreU32(p + 8, 3);
         StoreU32(p + 12, 99);
         return 0u;
       },
       301, 302},
      {"two pages linking to each other",
       [](uint8_t* p, uint8_t* q) {
         StoreU32(p + 0, 512);
         StoreU32(p + 8, 99);
         StoreU32(q + 0, 0);
         StoreU32(q + 8, 99);
         return 0u;
       },
       301, 302},
      {"page link not at a page start",
       [](uint8_t* p, uint8_t*) {
         StoreU32(p + 0, 512 + 20);
         StoreU32(p + 8, 99);
         return 0u;
       },
       301, 302},
      {"page link past the end of the file",
       [](uint8_t* p, uint8_t*) {
         StoreU32(p + 0, 512 * 9);
         StoreU32(p + 8, 99);
         return 0u;
       },
       301, 302},
      {"record running past the page end",
       [](uint8_t* p, uint8_t*) {
         StoreU32(p + 480, 1);
         return 480u;
       },
       // The type walk reads an 8-byte element there, then zeros, which run over the end.
       301, 302},
      {"type word past the page end",
       [](uint8_t*, uint8_t*) { return 510u; }, 301, 302},
      {"handle inside the link words",
       [](uint8_t*, uint8_t*) { return 3u; }, 301, 302},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cache = NewCache();
    RecordHandle first;
    RecordHandle second;
    uint8_t* page0 = cache->AppendPage(true, &first);
    uint8_t* page1 = cache->AppendPage(true, &second);
    StoreU32(page0, RecordHandle::kNone);
    StoreU32(page0 + 4, RecordHandle::kNone);
    StoreU32(page1, RecordHandle::kNone);
    StoreU32(page1 + 4, RecordHandle::kNone);
    const uint32_t start = c.build(page0, page1);
    auto walk = [&](bool symbols) {
      RecordRef ref;
      ref.Init(RecordHandle(start));
      // A good walk ends within a few steps; a loop would go on for ever.
      for (int step = 0; step < 1000; ++step) {
        RecordView view = symbols ? ref.NextSymbolRecord(*cache) : ref.NextTypeRecord(*cache);
        if (view.IsNull()) return;
      }
      FAIL() << "the walk did not end";
    };
    const auto symbolRaised = ErrorRaisedBy([&] { walk(true); });
    EXPECT_EQ(symbolRaised.m_number, c.symbolWalkError) << "symbol walk";
    if (c.symbolWalkError != 0) {
      EXPECT_EQ(symbolRaised.m_severity, kSeverityInternal);
    }
    EXPECT_EQ(ErrorRaisedBy([&] { walk(false); }).m_number, c.typeWalkError) << "type walk";
  }
}

// Pages of fixed-size elements linked both ways, built by hand: element n holds n.
struct ElementChain {
  std::unique_ptr<PageCache> m_cache = NewCache();
  std::vector<uint32_t> m_pages;
  uint32_t m_perPage = 0;
};
ElementChain BuildElementChain(uint32_t elementSize, uint32_t pageCount) {
  ElementChain chain;
  chain.m_perPage = 504 / elementSize;
  for (uint32_t i = 0; i < pageCount; ++i) {
    RecordHandle handle;
    chain.m_cache->AppendPage(false, &handle);
    chain.m_pages.push_back(handle.Value());
    // Interleave an unrelated page so chain pages are not consecutive.
    chain.m_cache->AppendPage(false, &handle);
  }
  for (uint32_t i = 0; i < pageCount; ++i) {
    chain.m_cache->GetPageForRead(RecordHandle(chain.m_pages[i]));
    uint8_t* page = chain.m_cache->GetPageForWrite(RecordHandle(chain.m_pages[i]));
    StoreU32(page, i + 1 < pageCount ? chain.m_pages[i + 1] : RecordHandle::kNone);
    StoreU32(page + 4, i > 0 ? chain.m_pages[i - 1] : RecordHandle::kNone);
    for (uint32_t e = 0; e < chain.m_perPage; ++e) StoreU32(page + 8 + e * elementSize, i * chain.m_perPage + e);
  }
  return chain;
}

TEST(RecordRefTest, SeekElementFindsEveryElementFromAnywhere) {
  constexpr uint32_t kSeed = 31337;
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937 random(kSeed);
  for (uint32_t elementSize : {4u, 12u, 61u, 252u, 504u}) {
    SCOPED_TRACE("element size " + std::to_string(elementSize));
    constexpr uint32_t kPages = 150;
    ElementChain chain = BuildElementChain(elementSize, kPages);
    RecordRef ref;
    ref.Init(RecordHandle(chain.m_pages[0]), elementSize);
    const uint32_t count = kPages * chain.m_perPage;
    for (int i = 0; i < 400; ++i) {
      const uint32_t n = random() % count;
      ASSERT_EQ(ref.SeekElement(*chain.m_cache, static_cast<int32_t>(n)), 0) << "element " << n;
      ASSERT_EQ(ref.PageOrdinal(), n / chain.m_perPage);
      const uint32_t handle = ref.PageAddr() + 8 + ref.RecIdx();
      ASSERT_EQ(WordAt(*chain.m_cache, handle), n) << "element " << n;
    }
  }
}

TEST(RecordRefTest, SeekElementRefusals) {
  ElementChain chain = BuildElementChain(12, 3);
  struct Case {
    const char* name;
    uint32_t elementSize;
    int32_t n;
  };
  const Case cases[] = {
      {"element size 0", 0, 1},
      {"element larger than a page's records", 505, 0},
      {"negative element", 12, -1},
      {"element past the last page", 12, 3 * 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordRef ref;
    ref.Init(RecordHandle(chain.m_pages[1] + 8 + 12), c.elementSize);
    EXPECT_EQ(ref.SeekElement(*chain.m_cache, c.n), -1);
    EXPECT_EQ(ref.PageAddr(), chain.m_pages[1]) << "a refused seek leaves the cursor";
    EXPECT_EQ(ref.RecIdx(), 12u);
  }
  RecordRef off;
  off.Init(RecordHandle(), 12);
  EXPECT_EQ(off.SeekElement(*chain.m_cache, 0), -1);

  // Pages that link to each other in a circle: a far element must not loop for ever.
  auto cache = NewCache();
  RecordHandle a;
  RecordHandle b;
  StoreU32(cache->AppendPage(true, &a), 512);
  StoreU32(cache->AppendPage(true, &b), 0);
  RecordRef circle;
  circle.Init(a, 12);
  EXPECT_EQ(ErrorRaisedBy([&] { circle.SeekElement(*cache, 1000000); }).m_number, 301u);
}

TEST(RecordRefTest, TextForm) {
  auto cache = NewCache();
  RecordChainWriter writer;
  const auto handles = WriteSymbolChain(*cache, writer, {0, 2, 2}, kEndRecordType);
  RecordRef ref;
  ref.Init(RecordHandle(handles[1]));
  ref.NextSymbolRecord(*cache);
  std::ostringstream text;
  text << ref << ' ' << 255;
  EXPECT_EQ(text.str(), "rec_type 2, rec_idx 69, page_addr 0, addr 34 ff");
}

// The names given to StoreName come back from their handles, and the handles follow
// the packing rule: a name that does not fit the rest of a page starts a fresh page at
// offset 0.
TEST(NamePoolTest, RandomNamesComeBackAndPackByTheRule) {
  constexpr uint32_t kSeed = 8086;
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937 random(kSeed);
  auto cache = NewCache();
  RecordChainWriter pool;
  std::vector<std::string> names;
  std::vector<uint32_t> handles;
  uint32_t page = 0;
  uint32_t offset = 0;
  for (int i = 0; i < 3000; ++i) {
    const uint32_t length = random() % 10 == 0 ? 1 + random() % 511 : 1 + random() % 24;
    std::string name;
    for (uint32_t c = 0; c < length; ++c) name += static_cast<char>(1 + random() % 255);
    if (offset + length + 1 > 512) {
      ++page;
      offset = 0;
    }
    const RecordHandle handle = StoreName(*cache, pool, RWCString(name.data(), length));
    ASSERT_EQ(handle.Value(), page * 512 + offset) << "name " << i;
    offset += length + 1;
    names.push_back(name);
    handles.push_back(handle.Value());
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const RWCString text = NameAt(*cache, RecordHandle(handles[i]));
    ASSERT_EQ(std::string(text.data(), text.length()), names[i]) << "name " << i;
  }
}

TEST(NamePoolTest, EdgeNames) {
  auto cache = NewCache();
  RecordChainWriter pool;
  EXPECT_TRUE(StoreName(*cache, pool, RWCString()).IsNone());
  EXPECT_EQ(cache->FileLength(), 0u) << "an empty name stores nothing";
  EXPECT_EQ(NameAt(*cache, RecordHandle()).length(), 0u);
  const RecordHandle first = StoreName(*cache, pool, "abc");
  const std::string longest(511, 'x');
  const RecordHandle whole = StoreName(*cache, pool, longest.c_str());
  EXPECT_EQ(whole.Value(), 512u) << "a 511-character name fills a page of its own";
  const std::string tooLong(512, 'y');
  const auto raised = ErrorRaisedBy([&] { StoreName(*cache, pool, tooLong.c_str()); });
  EXPECT_EQ(raised.m_number, 301u);
  EXPECT_EQ(raised.m_severity, kSeverityError);
  const auto withNul = ErrorRaisedBy([&] { StoreName(*cache, pool, RWCString("a\0b", 3)); });
  EXPECT_EQ(withNul.m_number, 301u);
  const RecordHandle after = StoreName(*cache, pool, "d");
  EXPECT_EQ(after.Value(), 1024u) << "refused names leave the pool as it was";
  EXPECT_EQ(std::string(NameAt(*cache, first).data()), "abc");
  EXPECT_EQ(std::string(NameAt(*cache, whole).data()), longest);

  // Handles that name no text inside their page.
  RecordHandle junk;
  std::memset(cache->AppendPage(false, &junk), 'z', 512);
  EXPECT_EQ(ErrorRaisedBy([&] { NameAt(*cache, junk); }).m_number, 301u);
  EXPECT_EQ(ErrorRaisedBy([&] { NameAt(*cache, RecordHandle(cache->FileLength())); }).m_number, 301u);
}

TEST(SymbolKeyTest, Equality) {
  CurrentMemoryCache current;
  PageCache& cache = current.Cache();
  RecordChainWriter pool;
  auto key = [&](const char* text, uint32_t caseWord) { return SymbolKey::Store(cache, pool, NameKey(text, caseWord)); };
  const SymbolKey alpha = key("alpha", 0);
  const SymbolKey alphaAgain = key("alpha", 0);
  const SymbolKey upper = key("Alpha", 0);
  const SymbolKey alphaFolded = key("alpha", 1);
  const SymbolKey upperFolded = key("ALPHA", 1);
  const SymbolKey beta = key("beta", 0);
  const SymbolKey none = key("", 0);
  const SymbolKey noneFolded = key("", 1);
  struct Case {
    const char* name;
    SymbolKey a;
    SymbolKey b;
    bool equal;
  };
  const Case cases[] = {
      {"same stored name", alpha, alpha, true},
      {"two copies of a name", alpha, alphaAgain, true},
      {"case differs, exact keys", alpha, upper, false},
      {"case differs, folded keys", alphaFolded, upperFolded, true},
      {"exact key against folded key", upper, alphaFolded, true},
      {"different names", alpha, beta, false},
      {"both without name", none, noneFolded, true},
      {"without name against a name", none, alpha, false},
      {"same name, hash spoiled", alpha, SymbolKey(alpha.NameHandle(), alpha.Hash() + 1, 0), false},
      {"hashes collide, texts differ", SymbolKey(alpha.NameHandle(), 5, 0), SymbolKey(beta.NameHandle(), 5, 0), false},
      {"hashes collide, texts agree", SymbolKey(alpha.NameHandle(), 5, 0), SymbolKey(alphaAgain.NameHandle(), 5, 0),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a.Equals(cache, c.b), c.equal);
    EXPECT_EQ(c.b.Equals(cache, c.a), c.equal);
    EXPECT_EQ(c.a == c.b, c.equal) << "through the current cache";
  }
  EXPECT_EQ(std::string(upperFolded.NameText().data()), "ALPHA");
  EXPECT_EQ(none.NameText().length(), 0u);
  EXPECT_EQ(none.Hash(), 0u) << "a key without name has hash 0";

  RWTValOrderedVector<SymbolKey> keys;
  keys.insert(beta);
  keys.insert(upper);
  keys.insert(alpha);
  EXPECT_EQ(keys.index(alphaAgain), 2u);
  EXPECT_EQ(keys.index(upperFolded), 1u);
}

// A load stores names from the loader's texts without making strings of them: the key
// must be the one the string form gives (hash under each case rule, the text stored).
TEST(SymbolKeyTest, StoredFromATextAsFromAString) {
  CurrentMemoryCache current;
  PageCache& cache = current.Cache();
  RecordChainWriter pool;
  const std::string longest(kLongestName, 'q');
  for (const std::string& text : {std::string(), std::string("a"), std::string("ab"), std::string("abc"),
                                  std::string("local_00001"), std::string("Mixed_Case_Name"),
                                  std::string("\xE9t\xE9\x80\xFF"), longest}) {
    for (uint32_t caseWord : {0u, 1u}) {
      SCOPED_TRACE(text.substr(0, 20) + " case " + std::to_string(caseWord));
      const SymbolKey fromString = SymbolKey::Store(cache, pool, NameKey(RWCString(text.c_str()), caseWord));
      const SymbolKey fromText = SymbolKey::Store(cache, pool, std::string_view(text), caseWord);
      EXPECT_EQ(fromText.Hash(), fromString.Hash());
      EXPECT_EQ(fromText.CaseWord(), fromString.CaseWord());
      EXPECT_EQ(fromText.NameHandle().IsNone(), text.empty());
      EXPECT_EQ(std::string(fromText.NameText(cache).data()), text);
    }
  }
}

TEST(SymbolKeyTest, MatchingNameTexts) {
  CurrentMemoryCache current;
  PageCache& cache = current.Cache();
  RecordChainWriter pool;
  const SymbolKey alpha = SymbolKey::Store(cache, pool, NameKey("alpha", 0));
  const SymbolKey alphaFolded = SymbolKey::Store(cache, pool, NameKey("alpha", 1));
  const SymbolKey none;
  struct Case {
    const char* name;
    SymbolKey key;
    NameKey text;
    bool matches;
  };
  const Case cases[] = {
      {"empty text, key without name", none, NameKey("", 0), true},
      {"empty text, named key", alpha, NameKey("", 0), false},
      {"text, key without name", none, NameKey("alpha", 0), false},
      {"same text", alpha, NameKey("alpha", 0), true},
      {"other case, both exact", alpha, NameKey("ALPHA", 0), false},
      {"other case, folded text", alpha, NameKey("ALPHA", 1), true},
      {"other case, folded key", alphaFolded, NameKey("aLpHa", 0), true},
      {"other case, both folded", alphaFolded, NameKey("ALPHA", 1), true},
      {"longer text", alpha, NameKey("alphabet", 1), false},
      {"hash collides, text differs", SymbolKey(alpha.NameHandle(), NameKey("beta", 0).Hash(), 0), NameKey("beta", 0),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.key.Matches(cache, c.text), c.matches);
    EXPECT_EQ(c.key.Matches(c.text), c.matches) << "through the current cache";
  }
}

TEST(RecordViewTest, FieldsAreCheckedAgainstTheRecord) {
  auto cache = NewCache();
  RecordChainWriter writer;
  RecordView writable = writer.Reserve(*cache, 20);
  const RecordHandle handle = writable.Handle();
  writable.SetU32(16, 0xA1B2C3D4);
  RecordView readable = RecordView::Open(*cache, handle, 20, RecordAccess::Read);
  struct Case {
    const char* name;
    std::function<void()> body;
    uint32_t number;
  };
  const Case cases[] = {
      {"last word", [&] { readable.U32At(16); }, 0},
      {"word over the end", [&] { readable.U32At(17); }, 1},
      {"half word over the end", [&] { readable.U16At(19); }, 1},
      {"byte at the length", [&] { readable.U8At(20); }, 1},
      {"huge offset", [&] { readable.U32At(0xFFFFFFFE); }, 1},
      {"copy over the end", [&] { uint8_t b[8]; readable.CopyOut(14, 8, b); }, 1},
      {"write through a read view", [&] { readable.SetU8(0, 1); }, 1},
      {"write over the end", [&] { writable.SetU32(18, 1); }, 1},
      {"address over the end", [&] { readable.AddressAt(0); }, 1},
      {"null view", [&] { RecordView().U8At(0); }, 1},
      {"record across the page end", [&] { RecordView::Open(*cache, RecordHandle(500), 13, RecordAccess::Read); },
       301},
      {"record past the file", [&] { RecordView::Open(*cache, RecordHandle(512), 4, RecordAccess::Read, 302); }, 302},
      {"no record", [&] { RecordView::Open(*cache, RecordHandle(), 4, RecordAccess::Read); }, 301},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorRaisedBy(c.body).m_number, c.number);
  }
  EXPECT_EQ(readable.U32At(16), 0xA1B2C3D4u);
}

TEST(RecordViewTest, ViewsPinTheirPageWhileTheyLive) {
  auto cache = NewCache();
  RecordChainWriter writer;
  WriteRecords(*cache, writer, {40});
  writer.ReleasePin(*cache);
  {
    RecordView view = RecordView::Open(*cache, RecordHandle(8), 40, RecordAccess::Read);
    RecordView second = RecordView::Open(*cache, RecordHandle(8), 4, RecordAccess::Read);
    EXPECT_EQ(cache->PinCount(0), 2u);
    RecordView moved = std::move(view);
    EXPECT_TRUE(view.IsNull());  // NOLINT: the moved-from view is empty by contract
    EXPECT_EQ(cache->PinCount(0), 2u);
    // The pinned page stays while many other pages pass through the cache.
    RecordChainWriter other;
    WriteRecords(*cache, other, std::vector<uint32_t>(300 * 8, 61));
    EXPECT_TRUE(cache->IsResident(0));
    EXPECT_EQ(moved.U32At(0), 2u);
  }
  EXPECT_EQ(cache->PinCount(0), 0u);
}

TEST(RecordViewTest, FlatAddressByteImage) {
  auto cache = NewCache();
  RecordChainWriter writer;
  TargetAddressRecord record;
  record.m_unused = 0x1111;
  record.m_nullMark = 0;
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  record.m_reserved1 = 0x2222;
  record.m_reserved2 = 0x33334444;
  record.m_offset = 0x55667788;
  AddressDescriptor address(record);
  address.SetLine(OptionalLine::Valid(0x99AA));
  RecordView view = writer.Reserve(*cache, 40);
  view.Fill(0, 40, 0xCC);
  view.SetAddress(6, address);
  uint8_t bytes[40];
  view.CopyOut(0, 40, bytes);
  const uint8_t expected[40] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC,                          // before
                                0,    0,    0,    0,                                         // class word
                                0x11, 0x11, 0,    0,    20,   0,    0,    0,    1,    0,     // unused .. kind
                                0x22, 0x22, 0x44, 0x44, 0x33, 0x33, 0x88, 0x77, 0x66, 0x55,  // reserved, offset
                                0xAA, 0x99, 1,    0,                                         // line, valid
                                0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);
  const AddressDescriptor back = view.AddressAt(6);
  EXPECT_EQ(back.Record().m_offset, record.m_offset);
  EXPECT_EQ(back.Record().m_reserved2, record.m_reserved2);
  EXPECT_EQ(back.Record().m_unused, record.m_unused);
  EXPECT_EQ(back.Line().Get(), 0x99AA);
  AddressDescriptor null;
  view.SetAddress(6, null);
  EXPECT_TRUE(view.AddressAt(6).IsNull());
  EXPECT_TRUE(view.AddressAt(6).Line().IsEmpty());
}

}  // namespace
}  // namespace zentor
