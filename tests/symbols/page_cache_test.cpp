#include "symbols/page_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "vst_test_support.h"
#include "platform/file_system.h"

namespace zentor {
namespace {

using testing_support::ErrorRaisedBy;
using testing_support::MemoryPageFile;

constexpr uint32_t kBuffers = PageCache::kBufferCount;

RecordHandle PageHandle(uint32_t page, uint32_t offset = 0) { return RecordHandle(page * kVstPageSize + offset); }

// A cache over a memory page file, with a shadow copy of what every page should hold.
class CacheUnderTest {
 public:
  CacheUnderTest() {
    auto file = std::make_unique<MemoryPageFile>();
    m_file = file.get();
    m_cache = std::make_unique<PageCache>(std::move(file));
  }

  // Appends a page whose bytes are all `fill` (recorded in the shadow).
  uint32_t Append(uint8_t fill, bool pin = false) {
    RecordHandle handle;
    uint8_t* bytes = m_cache->AppendPage(pin, &handle);
    std::memset(bytes, fill, kVstPageSize);
    m_shadow.emplace_back(kVstPageSize, fill);
    return handle.PageNumber();
  }
  // Reads the page (through the cache) and compares it with the shadow.
  ::testing::AssertionResult PageMatches(uint32_t page) {
    const uint8_t* bytes = m_cache->GetPageForRead(PageHandle(page));
    if (std::memcmp(bytes, m_shadow[page].data(), kVstPageSize) != 0) {
      return ::testing::AssertionFailure() << "page " << page << " differs from what was written";
    }
    return ::testing::AssertionSuccess();
  }
  // Writes one byte of a resident page (read first) and the shadow.
  void WriteByte(uint32_t page, uint32_t offset, uint8_t value) {
    m_cache->GetPageForRead(PageHandle(page, offset));
    m_cache->GetPageForWrite(PageHandle(page, offset))[0] = value;
    m_shadow[page][offset] = value;
  }
  // The same through the buffer `hint` names, as a record writer writes.
  void WriteByteThroughHint(uint32_t page, uint32_t offset, uint8_t value, uint16_t hint) {
    m_cache->GetPageForRead(PageHandle(page));
    m_cache->GetPageForWrite(PageHandle(page, offset), &hint)[0] = value;
    m_shadow[page][offset] = value;
  }
  // The same on a page its caller pins, telling the cache the buffer `hint` holds it.
  void WriteByteThroughPinnedHint(uint32_t page, uint32_t offset, uint8_t value, uint16_t hint) {
    m_cache->GetPageForRead(PageHandle(page));
    m_cache->LockPage(PageHandle(page));
    uint16_t buffer = PageCache::kNoBuffer;
    m_cache->PinPinnedPage(PageHandle(page, offset), hint, &buffer)[0] = value;
    m_shadow[page][offset] = value;
    m_cache->UnlockPage(PageHandle(page));
    m_cache->UnlockPage(PageHandle(page));
  }

  PageCache& Cache() { return *m_cache; }
  MemoryPageFile& File() { return *m_file; }

 private:
  std::unique_ptr<PageCache> m_cache;
  MemoryPageFile* m_file = nullptr;
  std::vector<std::vector<uint8_t>> m_shadow;
};

// Random writes and reads over three times as many pages as there are buffers, with
// pins taken and released on the way, against a shadow copy of every page. Pinned
// pages must stay resident whatever else is read.
TEST(PageCacheTest, RandomAccessMatchesShadowAcrossEvictions) {
  constexpr uint32_t kSeed = 20240611;
  std::mt19937 random(kSeed);
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  CacheUnderTest cut;
  constexpr uint32_t kPages = 3 * kBuffers + 17;
  for (uint32_t page = 0; page < kPages; ++page) cut.Append(static_cast<uint8_t>(page * 7));
  std::vector<uint32_t> pins(kPages, 0);
  uint32_t pinnedPages = 0;
  for (int step = 0; step < 20000; ++step) {
    const uint32_t page = random() % kPages;
    switch (random() % 6) {
      case 0:
      case 1:
        cut.WriteByte(page, random() % kVstPageSize, static_cast<uint8_t>(random()));
        break;
      case 2:
        ASSERT_TRUE(cut.PageMatches(page)) << "step " << step;
        break;
      case 3:
        if (pinnedPages < 40) {
          cut.Cache().GetPageForRead(PageHandle(page));
          cut.Cache().LockPage(PageHandle(page));
          if (pins[page]++ == 0) ++pinnedPages;
        }
        break;
      case 4:
        if (pins[page] > 0) {
          cut.Cache().UnlockPage(PageHandle(page));
          if (--pins[page] == 0) --pinnedPages;
        }
        break;
      default:
        for (uint32_t p = 0; p < kPages; ++p) {
          if (pins[p] != 0) {
            ASSERT_TRUE(cut.Cache().IsResident(p)) << "pinned page " << p << " was replaced, step " << step;
            ASSERT_EQ(cut.Cache().PinCount(p), pins[p]) << "page " << p;
          }
        }
        break;
    }
  }
  for (uint32_t page = 0; page < kPages; ++page) ASSERT_TRUE(cut.PageMatches(page));
}

// Appends, reads, pins and writes through buffers named at random, checked against
// the shadow; the pins taken stay held at the end, as a load that fails leaves them.
// Answers what the cache shows at the end: its file traffic, resident pages, pins and
// change marks.
std::string RunMixedScript(CacheUnderTest& cut, uint32_t seed) {
  std::mt19937 random(seed);
  // A few pages first, written through every buffer as a hint while most buffers hold
  // no page yet; the script ends by reading the same pages, so that a cache after it
  // has buffers that held them.
  constexpr uint32_t kFirstPages = 5;
  for (uint32_t page = 0; page < kFirstPages; ++page) cut.Append(static_cast<uint8_t>(0xA0 + page));
  for (uint16_t hint = 0; hint < kBuffers; ++hint) {
    for (uint32_t page = 0; page < kFirstPages; ++page) {
      cut.WriteByteThroughHint(page, hint % kVstPageSize, static_cast<uint8_t>(hint), hint);
      cut.WriteByteThroughPinnedHint(page, (hint + 1) % kVstPageSize, static_cast<uint8_t>(hint), hint);
    }
  }
  for (uint32_t page = 0; page < kFirstPages; ++page) EXPECT_TRUE(cut.PageMatches(page)) << "page " << page;
  uint32_t pinned = 0;
  for (int step = 0; step < 4000; ++step) {
    const uint32_t pages = cut.Cache().PageCountInFile();
    const uint32_t page = pages == 0 ? 0 : random() % pages;
    const uint32_t offset = random() % kVstPageSize;
    const auto value = static_cast<uint8_t>(random());
    const auto hint = static_cast<uint16_t>(random() % kBuffers);
    switch (pages < 2 ? 0 : random() % 6) {
      case 0: {
        if (pages >= 3 * kBuffers) break;
        const bool pin = pinned < 30 && value % 8 == 0;
        cut.Append(value, pin);
        pinned += pin ? 1 : 0;
        break;
      }
      case 1:
        EXPECT_TRUE(cut.PageMatches(page)) << "step " << step;
        break;
      case 2:
        cut.WriteByteThroughHint(page, offset, value, hint);
        break;
      case 3:
        cut.WriteByteThroughPinnedHint(page, offset, value, hint);
        break;
      case 4:
        if (pinned < 30) {
          cut.Cache().GetPageForRead(PageHandle(page));
          cut.Cache().LockPage(PageHandle(page));
          ++pinned;
        }
        break;
      default:
        cut.WriteByte(page, offset, value);
        break;
    }
  }
  for (uint32_t page = 0; page < kFirstPages; ++page) EXPECT_TRUE(cut.PageMatches(page)) << "page " << page;
  std::string shown = std::to_string(cut.File().m_reads) + " reads, " + std::to_string(cut.File().m_writes) + " writes";
  for (uint32_t page = 0; page < cut.Cache().PageCountInFile(); ++page) {
    if (cut.Cache().IsResident(page)) {
      shown += "; " + std::to_string(page) + " pins " + std::to_string(cut.Cache().PinCount(page)) +
               (cut.Cache().IsChanged(page) ? " changed" : "");
    }
  }
  return shown;
}

// A cache may start with the buffers of one that went before: nothing of the other's
// pages, pins, change marks or remembered buffers may show through. The same script
// on a cache made while another is alive (so from new buffers) is the reference.
TEST(PageCacheTest, ACacheAfterAnotherStartsAsANewOne) {
  for (uint32_t seed : {7u, 1234u, 20241208u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto before = std::make_unique<CacheUnderTest>();
    RunMixedScript(*before, seed ^ 0x5A5Au);
    before.reset();
    CacheUnderTest after;
    const std::string shownAfter = RunMixedScript(after, seed);
    CacheUnderTest fresh;
    EXPECT_EQ(RunMixedScript(fresh, seed), shownAfter);
  }
}

TEST(PageCacheTest, ReplacesLeastRecentlyUsedAndWritesBackOnlyChangedPages) {
  CacheUnderTest cut;
  for (uint32_t page = 0; page < kBuffers; ++page) cut.Append(static_cast<uint8_t>(page));
  EXPECT_EQ(cut.File().m_writes, 0u) << "nothing is written until a buffer is taken";
  // Page 0 was used least recently: the 122nd page takes its buffer.
  cut.Append(0xEE);
  EXPECT_FALSE(cut.Cache().IsResident(0));
  EXPECT_TRUE(cut.Cache().IsResident(1));
  EXPECT_EQ(cut.File().m_writes, 1u);
  // Reading page 1 makes page 2 the least recently used.
  ASSERT_TRUE(cut.PageMatches(1));
  ASSERT_TRUE(cut.PageMatches(0));
  EXPECT_FALSE(cut.Cache().IsResident(2));
  EXPECT_TRUE(cut.Cache().IsResident(1));
  EXPECT_EQ(cut.File().m_writes, 2u);
  EXPECT_EQ(cut.File().m_reads, 1u);
  // Page 0 came back unchanged: when its buffer is taken again nothing is written.
  for (uint32_t page = 3; page < kBuffers + 1; ++page) ASSERT_TRUE(cut.PageMatches(page));
  const uint32_t writesBefore = cut.File().m_writes;
  for (int i = 0; i < 3; ++i) cut.Append(0x11);
  EXPECT_FALSE(cut.Cache().IsResident(0));
  EXPECT_EQ(cut.File().m_writes, writesBefore + 2) << "page 0 (unchanged) was replaced without a write";
  ASSERT_TRUE(cut.PageMatches(0));
}

TEST(PageCacheTest, AllBuffersPinnedRaisesNoFreeBuffer) {
  CacheUnderTest cut;
  for (uint32_t page = 0; page < kBuffers; ++page) cut.Append(static_cast<uint8_t>(page), true);
  const uint32_t length = cut.Cache().FileLength();
  struct Case {
    const char* name;
    std::function<void()> body;
  };
  RecordHandle appended;
  const Case cases[] = {
      {"append", [&] { cut.Cache().AppendPage(false, &appended); }},
      {"append pinned", [&] { cut.Cache().AppendPage(true, &appended); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto raised = ErrorRaisedBy(c.body);
    EXPECT_EQ(raised.m_number, kMsgNoFreeBuffer);
    EXPECT_EQ(raised.m_severity, kSeverityError);
    EXPECT_EQ(cut.Cache().FileLength(), length) << "a failed append must not grow the file";
  }
  for (uint32_t page = 0; page < kBuffers; ++page) {
    ASSERT_TRUE(cut.Cache().IsResident(page));
    ASSERT_TRUE(cut.PageMatches(page));
  }
  // Releasing one pin frees exactly one buffer: the next page goes where that one was.
  cut.Cache().UnlockPage(PageHandle(40));
  cut.Append(0x77);
  EXPECT_FALSE(cut.Cache().IsResident(40));
  ASSERT_TRUE(cut.PageMatches(kBuffers));
  EXPECT_EQ(ErrorRaisedBy([&] { cut.Cache().GetPageForRead(PageHandle(40)); }).m_number, 0u)
      << "the appended page is not pinned, so its buffer can serve the read";
  ASSERT_TRUE(cut.PageMatches(40));
}

TEST(PageCacheTest, PinRules) {
  CacheUnderTest cut;
  for (uint32_t page = 0; page < kBuffers + 1; ++page) cut.Append(static_cast<uint8_t>(page));
  // Page 0 has been replaced by the 122nd page.
  ASSERT_FALSE(cut.Cache().IsResident(0));
  struct Case {
    const char* name;
    std::function<void()> body;
    uint32_t number;
  };
  const uint32_t end = cut.Cache().FileLength();
  const Case cases[] = {
      {"lock replaced page", [&] { cut.Cache().LockPage(PageHandle(0)); }, kMsgVstSeekError},
      {"write replaced page", [&] { cut.Cache().GetPageForWrite(PageHandle(0, 9)); }, kMsgVstSeekError},
      {"read at file length", [&] { cut.Cache().GetPageForRead(RecordHandle(end)); }, 1},
      {"write at file length", [&] { cut.Cache().GetPageForWrite(RecordHandle(end)); }, 1},
      {"lock at file length", [&] { cut.Cache().LockPage(RecordHandle(end)); }, 1},
      {"unlock at file length", [&] { cut.Cache().UnlockPage(RecordHandle(end)); }, 1},
      {"read none", [&] { cut.Cache().GetPageForRead(RecordHandle()); }, 1},
      {"read last byte", [&] { cut.Cache().GetPageForRead(RecordHandle(end - 1)); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorRaisedBy(c.body).m_number, c.number);
  }
  // Unlocking: none and pages that are not resident answer null; a page without pins
  // stays at 0.
  EXPECT_EQ(cut.Cache().UnlockPage(RecordHandle()), nullptr);
  EXPECT_EQ(cut.Cache().UnlockPage(PageHandle(0)), nullptr);
  cut.Cache().GetPageForRead(PageHandle(5));
  EXPECT_NE(cut.Cache().UnlockPage(PageHandle(5, 3)), nullptr);
  EXPECT_EQ(cut.Cache().PinCount(5), 0u);
  uint8_t* locked = cut.Cache().LockPage(PageHandle(5, 3));
  EXPECT_EQ(locked, cut.Cache().GetPageForRead(PageHandle(5)) + 3) << "pointers point at the handle's byte";
  cut.Cache().LockPage(PageHandle(5));
  EXPECT_EQ(cut.Cache().PinCount(5), 2u);
  cut.Cache().UnlockPage(PageHandle(5));
  EXPECT_EQ(cut.Cache().PinCount(5), 1u);
  // A pinned page survives a full sweep of other pages.
  for (uint32_t page = 0; page < kBuffers + 1; ++page) {
    if (page != 5) {
      ASSERT_TRUE(cut.PageMatches(page));
    }
  }
  EXPECT_TRUE(cut.Cache().IsResident(5));
}

TEST(PageCacheTest, FailedReadForgetsThePage) {
  struct Case {
    const char* name;
    bool failSeek;
    uint32_t number;
  };
  const Case cases[] = {
      {"read fails", false, kMsgVstReadError},
      {"seek fails", true, kMsgVstSeekError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CacheUnderTest cut;
    for (uint32_t page = 0; page < kBuffers + 5; ++page) cut.Append(static_cast<uint8_t>(0x40 + page));
    ASSERT_FALSE(cut.Cache().IsResident(2));
    (c.failSeek ? cut.File().m_failSeek : cut.File().m_failRead).insert(2);
    const auto raised = ErrorRaisedBy([&] { cut.Cache().GetPageForRead(PageHandle(2, 17)); });
    EXPECT_EQ(raised.m_number, c.number);
    EXPECT_EQ(raised.m_severity, kSeverityError);
    EXPECT_FALSE(cut.Cache().IsResident(2)) << "a buffer whose read failed must not hold the page";
    EXPECT_EQ(ErrorRaisedBy([&] { cut.Cache().LockPage(PageHandle(2)); }).m_number, kMsgVstSeekError);
    // Once the file behaves again, the page is read afresh and is what was written.
    cut.File().m_failSeek.clear();
    cut.File().m_failRead.clear();
    ASSERT_TRUE(cut.PageMatches(2));
    for (uint32_t page = 0; page < kBuffers + 5; ++page) ASSERT_TRUE(cut.PageMatches(page));
  }
}

TEST(PageCacheTest, FailedWriteBackKeepsThePage) {
  CacheUnderTest cut;
  for (uint32_t page = 0; page < kBuffers; ++page) cut.Append(static_cast<uint8_t>(page));
  cut.File().m_failWrite.insert(0);
  const uint32_t length = cut.Cache().FileLength();
  RecordHandle appended;
  EXPECT_EQ(ErrorRaisedBy([&] { cut.Cache().AppendPage(false, &appended); }).m_number, kMsgVstWriteError);
  EXPECT_EQ(cut.Cache().FileLength(), length);
  EXPECT_TRUE(cut.Cache().IsResident(0));
  EXPECT_TRUE(cut.Cache().IsChanged(0)) << "the page still has to reach the file";
  cut.File().m_failWrite.clear();
  cut.Append(0xAB);
  EXPECT_FALSE(cut.Cache().IsResident(0));
  for (uint32_t page = 0; page <= kBuffers; ++page) ASSERT_TRUE(cut.PageMatches(page));
}

TEST(PageCacheTest, MemoNeverAnswersForAPageWhoseBufferWasTaken) {
  CacheUnderTest cut;
  for (uint32_t page = 0; page < kBuffers; ++page) cut.Append(static_cast<uint8_t>(0x80 + page));
  // Pin every page but 7, then look at page 7 last, so the memo names its buffer.
  for (uint32_t page = 0; page < kBuffers; ++page) {
    if (page != 7) cut.Cache().LockPage(PageHandle(page));
  }
  ASSERT_TRUE(cut.PageMatches(7));
  // The only free buffer is page 7's: the new page takes it.
  const uint32_t fresh = cut.Append(0x01);
  ASSERT_FALSE(cut.Cache().IsResident(7));
  const uint32_t readsBefore = cut.File().m_reads;
  ASSERT_TRUE(cut.PageMatches(7)) << "page 7 must come from the file, not from the new page's buffer";
  EXPECT_EQ(cut.File().m_reads, readsBefore + 1);
  ASSERT_TRUE(cut.PageMatches(fresh));
}

// Pages whose numbers share a hash bucket or a recent-page slot, used in turn, each
// keep their own bytes.
TEST(PageCacheTest, PagesSharingABucketStayApart) {
  constexpr uint32_t kSlots = PageCache::kRecentSlots;
  const struct {
    const char* name;
    std::vector<uint32_t> pages;
  } groups[] = {
      {"hash bucket", {0, PageCache::kBucketCount, 2 * PageCache::kBucketCount, 1, PageCache::kBucketCount + 1}},
      {"recent-page slot", {3, 3 + kSlots, 3 + 2 * kSlots, 3 + 9 * kSlots, 4, 4 + kSlots}},
  };
  for (const auto& group : groups) {
    SCOPED_TRACE(group.name);
    CacheUnderTest cut;
    for (uint32_t page = 0; page < PageCache::kBucketCount * 2 + 3; ++page) cut.Append(static_cast<uint8_t>(page % 251));
    for (int round = 0; round < 3; ++round) {
      for (uint32_t page : group.pages) {
        SCOPED_TRACE("page " + std::to_string(page));
        ASSERT_TRUE(cut.PageMatches(page));
        cut.WriteByte(page, 100 + round, static_cast<uint8_t>(page + round));
      }
    }
    for (uint32_t page : group.pages) ASSERT_TRUE(cut.PageMatches(page));
  }
}

TEST(PageCacheTest, NewPagesStartAsZeros) {
  CacheUnderTest cut;
  cut.Append(0xFF);
  RecordHandle handle;
  // The buffer the second page gets held 0xFF bytes before (buffer order 0, 1, ...
  // gives a different buffer, so force reuse by filling the cache first).
  for (uint32_t page = 1; page < kBuffers + 1; ++page) cut.Append(0xFF);
  const uint8_t* bytes = cut.Cache().AppendPage(false, &handle);
  for (uint32_t i = 0; i < kVstPageSize; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
  EXPECT_EQ(handle.Value(), (kBuffers + 1) * kVstPageSize);
}

TEST(PageCacheTest, TemporaryFileLivesWithTheCache) {
  const uint32_t before = OpenTemporaryPageFileCount();
  {
    PageCache cache;
    EXPECT_EQ(OpenTemporaryPageFileCount(), before + 1);
    // Enough pages that most of them go to the file and come back.
    constexpr uint32_t kPages = 2 * kBuffers + 9;
    for (uint32_t page = 0; page < kPages; ++page) {
      RecordHandle handle;
      uint8_t* bytes = cache.AppendPage(false, &handle);
      for (uint32_t i = 0; i < kVstPageSize; ++i) bytes[i] = static_cast<uint8_t>(page + i * 3);
    }
    for (uint32_t page = 0; page < kPages; ++page) {
      const uint8_t* bytes = cache.GetPageForRead(PageHandle(page));
      for (uint32_t i = 0; i < kVstPageSize; ++i) {
        ASSERT_EQ(bytes[i], static_cast<uint8_t>(page + i * 3)) << "page " << page << " byte " << i;
      }
    }
    EXPECT_GT(cache.FileReads(), 0u);
  }
  EXPECT_EQ(OpenTemporaryPageFileCount(), before);
}

// The temporary file gathers pages before they reach the disk: whatever order pages
// are appended, rewritten and read in (runs of neighbours longer than what it gathers
// at once among them), every read gives back the page's last bytes.
TEST(PageCacheTest, TemporaryFileGivesBackEveryPageInAnyOrder) {
  for (const uint32_t seed : {7u, 20240611u, 99991u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto file = CreateTemporaryPageFile();
    std::vector<std::vector<uint8_t>> shadow;
    std::vector<uint8_t> page(kVstPageSize);
    const auto write = [&](uint32_t number) {
      for (uint8_t& byte : page) byte = static_cast<uint8_t>(random());
      ASSERT_TRUE(file->SeekTo(number * kVstPageSize));
      ASSERT_TRUE(file->WriteBytes(page.data(), kVstPageSize));
      if (number == shadow.size()) shadow.emplace_back();
      shadow[number] = page;
    };
    for (int step = 0; step < 4000; ++step) {
      const uint32_t choice = random() % 8;
      if (shadow.empty() || choice < 2) {
        write(static_cast<uint32_t>(shadow.size()));
      } else if (choice == 2) {
        // A run of neighbours from a page already written on past the end.
        const uint32_t first = random() % static_cast<uint32_t>(shadow.size());
        for (uint32_t n = first; n < first + 300; ++n) write(std::min<uint32_t>(n, static_cast<uint32_t>(shadow.size())));
      } else if (choice < 5) {
        write(random() % static_cast<uint32_t>(shadow.size()));
      } else {
        const uint32_t number = random() % static_cast<uint32_t>(shadow.size());
        ASSERT_TRUE(file->SeekTo(number * kVstPageSize));
        ASSERT_TRUE(file->ReadBytes(page.data(), kVstPageSize));
        ASSERT_EQ(page, shadow[number]) << "page " << number << ", step " << step;
      }
      if (HasFatalFailure()) return;
    }
  }
}

// Whole pages stay in memory; bytes read or written across page bounds (which the
// cache never asks for, but a page file must serve) see and change the same bytes.
TEST(PageCacheTest, TemporaryFileMixesWholePagesAndSpans) {
  for (const uint32_t seed : {3u, 515u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto file = CreateTemporaryPageFile();
    constexpr uint32_t kPages = 40;
    std::vector<uint8_t> shadow;
    std::vector<uint8_t> bytes;
    for (uint32_t number = 0; number < kPages; ++number) {
      bytes.assign(kVstPageSize, 0);
      for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
      ASSERT_TRUE(file->SeekTo(number * kVstPageSize));
      ASSERT_TRUE(file->WriteBytes(bytes.data(), kVstPageSize));
      shadow.insert(shadow.end(), bytes.begin(), bytes.end());
    }
    for (int step = 0; step < 600; ++step) {
      const bool whole = random() % 2 == 0;
      const uint32_t offset =
          whole ? (random() % kPages) * kVstPageSize : random() % (kPages * kVstPageSize - 3 * kVstPageSize);
      const uint32_t count = whole ? kVstPageSize : 1 + random() % (2 * kVstPageSize);
      ASSERT_TRUE(file->SeekTo(offset));
      if (random() % 2 == 0) {
        bytes.resize(count);
        for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
        ASSERT_TRUE(file->WriteBytes(bytes.data(), count));
        std::copy(bytes.begin(), bytes.end(), shadow.begin() + offset);
      } else {
        bytes.assign(count, 0);
        ASSERT_TRUE(file->ReadBytes(bytes.data(), count));
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), shadow.begin() + offset))
            << "offset " << offset << ", " << count << " bytes, step " << step;
      }
    }
  }
}

TEST(PageCacheTest, TemporaryFileIsNamedAndRemoved) {
  auto file = CreateTemporaryPageFile();
  const std::string name = TemporaryPageFileName(*file);
  ASSERT_FALSE(name.empty());
  const std::string base = name.substr(name.find_last_of("/\\") + 1);
  EXPECT_EQ(base.rfind("$DBT", 0), 0u) << base;
  EXPECT_TRUE(platform::FileExists(name));
  file.reset();
  EXPECT_FALSE(platform::FileExists(name));
}

TEST(PageCacheTest, CurrentCacheNeedsAProvider) {
  const PageCacheProvider previous = CurrentPageCacheProvider();
  SetCurrentPageCacheProvider(nullptr);
  EXPECT_EQ(ErrorRaisedBy([] { CurrentPageCache(); }).m_number, 1u);
  SetCurrentPageCacheProvider([]() -> PageCache* { return nullptr; });
  EXPECT_EQ(ErrorRaisedBy([] { CurrentPageCache(); }).m_number, 1u);
  SetCurrentPageCacheProvider(previous);
}

}  // namespace
}  // namespace zentor
