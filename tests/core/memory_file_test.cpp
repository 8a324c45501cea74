#include "core/memory_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "core/core_test_support.h"

namespace zentor {
namespace {

using testing_support::ErrorThrownBy;

std::vector<uint8_t> Pattern(size_t n, uint8_t start = 0) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), start);
  return bytes;
}

uint32_t NumberOf(DVErrorCode code) { return code.Number(); }

TEST(MemoryFileTest, ReadSeekAndPagingEdges) {
  MemoryFile file;
  uint8_t byte = 0xEE;
  EXPECT_EQ(file.Size(), 0u);
  EXPECT_EQ(file.Position(), 0u);
  EXPECT_TRUE(file.Read(1, 0, &byte).IsOkay());
  DVErrorCode pastEnd = file.Read(1, 1, &byte);
  EXPECT_EQ(pastEnd.Number(), 182u);
  EXPECT_EQ(pastEnd.Severity(), 5u);
  EXPECT_EQ(byte, 0xEE);

  std::vector<uint8_t> data = Pattern(300);
  ASSERT_TRUE(file.Write(1, 300, data.data()).IsOkay());
  EXPECT_EQ(file.Size(), 300u);
  EXPECT_EQ(file.Position(), 300u);
  EXPECT_EQ(file.PageCount(), 2u);

  ASSERT_TRUE(file.Seek(100).IsOkay());
  std::vector<uint8_t> ten(10, 0xAA);
  ASSERT_TRUE(file.Write(2, 5, ten.data()).IsOkay());
  EXPECT_EQ(file.Size(), 300u);
  EXPECT_EQ(file.Position(), 110u);

  // Exactly the rest reads; one more byte reads nothing and keeps the position.
  std::vector<uint8_t> rest(191, 0);
  EXPECT_EQ(NumberOf(file.Read(1, 191, rest.data())), 182u);
  EXPECT_EQ(file.Position(), 110u);
  EXPECT_EQ(rest, std::vector<uint8_t>(191, 0));
  ASSERT_TRUE(file.Read(1, 190, rest.data()).IsOkay());
  EXPECT_EQ(file.Position(), 300u);
  EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + 190, data.begin() + 110));

  EXPECT_TRUE(file.Seek(300).IsOkay());
  DVErrorCode seekPast = file.Seek(301);
  EXPECT_EQ(seekPast.Number(), 183u);
  EXPECT_EQ(seekPast.Severity(), 5u);
  EXPECT_EQ(file.Position(), 300u);
}

TEST(MemoryFileTest, PageBoundaries) {
  MemoryFile file;
  std::vector<uint8_t> page = Pattern(256);
  ASSERT_TRUE(file.Write(256, 1, page.data()).IsOkay());
  EXPECT_EQ(file.PageCount(), 1u);
  uint8_t one = 7;
  ASSERT_TRUE(file.Write(1, 1, &one).IsOkay());
  EXPECT_EQ(file.PageCount(), 2u);
  EXPECT_EQ(file.Size(), 257u);

  // Truncating at 256 gives back the second page; at 0 every page.
  std::vector<uint8_t> big = Pattern(300);
  ASSERT_TRUE(file.Seek(0).IsOkay());
  ASSERT_TRUE(file.Write(1, 300, big.data()).IsOkay());
  ASSERT_TRUE(file.Seek(256).IsOkay());
  file.Truncate();
  EXPECT_EQ(file.Size(), 256u);
  EXPECT_EQ(file.Position(), 256u);
  EXPECT_EQ(file.PageCount(), 1u);
  ASSERT_TRUE(file.Seek(255).IsOkay());
  file.Truncate();
  EXPECT_EQ(file.PageCount(), 1u);
  EXPECT_EQ(file.Size(), 255u);
  ASSERT_TRUE(file.Seek(0).IsOkay());
  file.Truncate();
  EXPECT_EQ(file.PageCount(), 0u);
  EXPECT_EQ(file.Size(), 0u);

  // Writing after a truncate starts from fresh pages with the new bytes only.
  ASSERT_TRUE(file.Write(1, 3, big.data() + 10).IsOkay());
  ASSERT_TRUE(file.Seek(0).IsOkay());
  uint8_t back[3] = {};
  ASSERT_TRUE(file.Read(1, 3, back).IsOkay());
  EXPECT_EQ(back[0], 10);
  EXPECT_EQ(back[2], 12);
}

// ReadInPlace answers bytes only when all of them lie within one page; otherwise it
// answers null and leaves the position, so the caller can read them with Read.
TEST(MemoryFileTest, ReadInPlaceWithinOnePageOnly) {
  MemoryFile file;
  const std::vector<uint8_t> data = Pattern(600);
  ASSERT_TRUE(file.Write(1, static_cast<uint32_t>(data.size()), data.data()).IsOkay());
  struct Case {
    const char* name;
    uint32_t position;
    uint32_t count;
    bool inPlace;
  };
  const Case cases[] = {
      {"start", 0, 5, true},         {"ends at the page end", 251, 5, true}, {"straddles", 252, 5, false},
      {"second page", 256, 5, true}, {"ends at the end", 595, 5, true},      {"past the end", 596, 5, false},
      {"at the end", 600, 1, false}, {"nothing", 10, 0, false},              {"a whole page", 256, 256, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(file.Seek(c.position).IsOkay());
    const uint8_t* bytes = file.ReadInPlace(c.count);
    EXPECT_EQ(bytes != nullptr, c.inPlace);
    if (bytes != nullptr) {
      EXPECT_EQ(std::memcmp(bytes, data.data() + c.position, c.count), 0);
      EXPECT_EQ(file.Position(), c.position + c.count);
    } else {
      EXPECT_EQ(file.Position(), c.position);
    }
  }
}

TEST(MemoryFileTest, ReadBack) {
  MemoryFile file;
  std::vector<uint8_t> data = Pattern(20);
  ASSERT_TRUE(file.Write(1, 20, data.data()).IsOkay());
  ASSERT_TRUE(file.Seek(10).IsOkay());
  uint8_t four[4] = {};
  ASSERT_TRUE(file.ReadBack(4, four).IsOkay());
  EXPECT_EQ(four[0], 6);
  EXPECT_EQ(four[3], 9);
  EXPECT_EQ(file.Position(), 6u);

  uint8_t untouched[11] = {};
  DVErrorCode tooMany = file.ReadBack(7, untouched);
  EXPECT_EQ(tooMany.Number(), 183u);
  EXPECT_EQ(file.Position(), 6u);
  EXPECT_EQ(untouched[0], 0);
  EXPECT_TRUE(file.ReadBack(6, untouched).IsOkay());
  EXPECT_EQ(file.Position(), 0u);
  EXPECT_EQ(untouched[5], 5);
}

TEST(MemoryFileTest, CopyInPageChunks) {
  struct Case {
    const char* name;
    uint32_t sourceSize;
    uint32_t itemSize, count;
    uint32_t expectedNumber;
    uint32_t expectedCopied;
  };
  const Case cases[] = {
      {"600 bytes in 256, 256, 88", 600, 1, 600, 0, 600},
      {"exactly one page", 256, 256, 1, 0, 256},
      {"nothing", 10, 1, 0, 0, 0},
      {"more than remains copies the whole chunks that fit", 600, 1, 700, 182, 512},
      {"short tail", 300, 1, 301, 182, 256},
      {"items", 600, 6, 100, 0, 600},
      // 0x10000 * 0x10000 wraps to 0 in 32 bits: that must not be taken for "nothing".
      {"overflowing size times count", 600, 0x10000, 0x10000, 182, 512},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFile source;
    MemoryFile destination;
    std::vector<uint8_t> data = Pattern(c.sourceSize, 3);
    ASSERT_TRUE(source.Write(1, c.sourceSize, data.data()).IsOkay());
    ASSERT_TRUE(source.Seek(0).IsOkay());
    uint8_t marker = 0x5A;
    ASSERT_TRUE(destination.Write(1, 1, &marker).IsOkay());
    DVErrorCode status = source.CopyTo(destination, c.itemSize, c.count);
    EXPECT_EQ(status.Number(), c.expectedNumber);
    EXPECT_EQ(source.Position(), c.expectedCopied);
    EXPECT_EQ(destination.Size(), 1 + c.expectedCopied);
    std::vector<uint8_t> copied(c.expectedCopied + 1);
    ASSERT_TRUE(destination.Seek(0).IsOkay());
    ASSERT_TRUE(destination.Read(1, c.expectedCopied + 1, copied.data()).IsOkay());
    EXPECT_EQ(copied[0], marker);
    EXPECT_TRUE(std::equal(copied.begin() + 1, copied.end(), data.begin()));
  }
}

TEST(MemoryFileTest, SizeTimesCountThatOverflowsIsRefused) {
  MemoryFile file;
  std::vector<uint8_t> data = Pattern(64);
  ASSERT_TRUE(file.Write(1, 64, data.data()).IsOkay());
  ASSERT_TRUE(file.Seek(0).IsOkay());
  struct Case {
    const char* name;
    uint32_t itemSize, count;
  };
  // Each product wraps to a small number (0, 16 or 1) in 32 bits.
  const Case cases[] = {
      {"wraps to 0", 0x10000, 0x10000},
      {"wraps to 16", 0x80000001u, 16},
      {"wraps to 1", 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t buffer[64] = {};
    EXPECT_EQ(file.Read(c.itemSize, c.count, buffer).Number(), 182u);
    EXPECT_EQ(file.Position(), 0u);
    DVErrorCode write = file.Write(c.itemSize, c.count, data.data());
    EXPECT_EQ(write.Number(), 180u);
    EXPECT_EQ(write.Severity(), 4u);
    EXPECT_EQ(file.Size(), 64u);
    EXPECT_EQ(file.Position(), 0u);
  }
}

TEST(MemoryFileTest, RandomOperationsAgreeWithVectorShadow) {
  const uint32_t seed = 4242;
  std::mt19937 random(seed);
  MemoryFile file;
  std::vector<uint8_t> shadow;
  uint32_t position = 0;
  bool emptyPageKept = false;
  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE(step);
    int op = static_cast<int>(random() % 6);
    if (op <= 1) {
      uint32_t item = 1 + random() % 8;
      uint32_t count = random() % 90;
      std::vector<uint8_t> bytes(item * count);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
      ASSERT_TRUE(file.Write(item, count, bytes.data()).IsOkay()) << "seed " << seed;
      if (position + bytes.size() > shadow.size()) shadow.resize(position + bytes.size());
      std::copy(bytes.begin(), bytes.end(), shadow.begin() + position);
      position += static_cast<uint32_t>(bytes.size());
    } else if (op == 2) {
      uint32_t n = random() % 400;
      std::vector<uint8_t> got(n, 0xCD);
      DVErrorCode status = file.Read(1, n, got.data());
      if (position + n <= shadow.size()) {
        ASSERT_TRUE(status.IsOkay()) << "seed " << seed;
        ASSERT_TRUE(std::equal(got.begin(), got.end(), shadow.begin() + position)) << "seed " << seed;
        position += n;
      } else {
        ASSERT_EQ(status.Number(), 182u) << "seed " << seed;
        ASSERT_EQ(got, std::vector<uint8_t>(n, 0xCD)) << "seed " << seed;
      }
    } else if (op == 3) {
      uint32_t target = random() % (static_cast<uint32_t>(shadow.size()) + 40);
      DVErrorCode status = file.Seek(target);
      if (target <= shadow.size()) {
        ASSERT_TRUE(status.IsOkay()) << "seed " << seed;
        position = target;
      } else {
        ASSERT_EQ(status.Number(), 183u) << "seed " << seed;
      }
    } else if (op == 4) {
      uint32_t n = random() % 300;
      std::vector<uint8_t> got(n);
      DVErrorCode status = file.ReadBack(n, got.data());
      if (n <= position) {
        ASSERT_TRUE(status.IsOkay()) << "seed " << seed;
        position -= n;
        ASSERT_TRUE(std::equal(got.begin(), got.end(), shadow.begin() + position)) << "seed " << seed;
      } else {
        ASSERT_EQ(status.Number(), 183u) << "seed " << seed;
      }
    } else if (random() % 4 == 0) {
      // Either truncation ends the file at the position; the one for stacks keeps the
      // first page when that leaves the file empty.
      if (random() % 2 == 0) {
        file.Truncate();
        emptyPageKept = false;
      } else {
        file.TruncateKeepingFirstPage();
        emptyPageKept = position == 0;
      }
      shadow.resize(position);
    }
    uint32_t size = 0;
    uint32_t at = 0;
    file.SizeAndPosition(&size, &at);
    ASSERT_EQ(size, shadow.size()) << "seed " << seed;
    ASSERT_EQ(at, position) << "seed " << seed;
    const size_t pages = shadow.empty() && emptyPageKept ? 1 : (shadow.size() + 255) / 256;
    ASSERT_EQ(file.PageCount(), pages) << "seed " << seed;
  }
  // The whole content, read in one go, is the shadow.
  ASSERT_TRUE(file.Seek(0).IsOkay());
  std::vector<uint8_t> all(shadow.size());
  ASSERT_TRUE(file.Read(1, static_cast<uint32_t>(all.size()), all.data()).IsOkay());
  EXPECT_EQ(all, shadow) << "seed " << seed;
}

TEST(MemoryFileHandleTest, HandlesNameLiveFilesOnly) {
  uint32_t liveBefore = LiveMemoryFileCount();
  MemoryFileHandle a = kNullMemoryFile;
  MemoryFileHandle b = kNullMemoryFile;
  ASSERT_TRUE(CreateMemoryFile(-1, 1, &a).IsOkay());
  ASSERT_TRUE(CreateMemoryFile(-1, 1, &b).IsOkay());
  EXPECT_NE(a, kNullMemoryFile);
  EXPECT_NE(a, b);
  EXPECT_EQ(LiveMemoryFileCount(), liveBefore + 2);

  const char text[] = "postfix";
  ASSERT_TRUE(WriteMemoryFile(a, 1, 7, text).IsOkay());
  EXPECT_TRUE(FlushMemoryFile(a).IsOkay());
  ASSERT_TRUE(SeekMemoryFile(a, 0).IsOkay());
  ASSERT_TRUE(CopyMemoryFile(a, 7, 1, b).IsOkay());
  uint32_t size = 0;
  uint32_t position = 0;
  ASSERT_TRUE(GetMemoryFileSizeAndPosition(b, &size, &position).IsOkay());
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(position, 7u);
  char back[4] = {};
  ASSERT_TRUE(ReadBackMemoryFile(b, 3, back).IsOkay());
  EXPECT_STREQ(back, "fix");
  ASSERT_TRUE(SeekMemoryFile(b, 1).IsOkay());
  ASSERT_TRUE(TruncateMemoryFile(b).IsOkay());
  ASSERT_TRUE(GetMemoryFileSizeAndPosition(b, &size, &position).IsOkay());
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(ReadMemoryFile(b, 1, 1, back).Number(), 182u);
  EXPECT_EQ(SeekMemoryFile(b, 2).Number(), 183u);

  ASSERT_TRUE(DestroyMemoryFile(a).IsOkay());
  // A new file may reuse a's slot; a's handle must still name nothing.
  MemoryFileHandle c = kNullMemoryFile;
  ASSERT_TRUE(CreateMemoryFile(-1, 1, &c).IsOkay());
  EXPECT_NE(c, a);

  struct Case {
    const char* name;
    MemoryFileHandle handle;
  };
  const Case bad[] = {{"null", kNullMemoryFile}, {"destroyed", a}, {"never issued", 0x00012345u}, {"slot 0 bits", 0x00100000u}};
  for (const Case& k : bad) {
    SCOPED_TRACE(k.name);
    uint8_t byte = 0;
    for (DVError error : {ErrorThrownBy([&] { ReadMemoryFile(k.handle, 1, 1, &byte); }),
                          ErrorThrownBy([&] { WriteMemoryFile(k.handle, 1, 1, &byte); }),
                          ErrorThrownBy([&] { SeekMemoryFile(k.handle, 0); }),
                          ErrorThrownBy([&] { TruncateMemoryFile(k.handle); }),
                          ErrorThrownBy([&] { DestroyMemoryFile(k.handle); }),
                          ErrorThrownBy([&] { CopyMemoryFile(k.handle, 1, 1, b); }),
                          ErrorThrownBy([&] { CopyMemoryFile(b, 1, 1, k.handle); })}) {
      EXPECT_EQ(error.Number(), 1u);
      EXPECT_EQ(error.Severity(), 5u);
      ASSERT_EQ(error.ArgumentCount(), 2u);
      EXPECT_NE(std::string(error.Argument(0).data()).find("memory_file.cpp"), std::string::npos);
    }
  }
  // The failed copies left b as it was.
  ASSERT_TRUE(GetMemoryFileSizeAndPosition(b, &size, &position).IsOkay());
  EXPECT_EQ(size, 1u);

  ASSERT_TRUE(DestroyMemoryFile(b).IsOkay());
  ASSERT_TRUE(DestroyMemoryFile(c).IsOkay());
  EXPECT_EQ(LiveMemoryFileCount(), liveBefore);
  EXPECT_EQ(ErrorThrownBy([] { CreateMemoryFile(-1, 1, nullptr); }).Number(), 1u);
}

TEST(MemoryFileHandleTest, SlotsAreReusedWithNewHandles) {
  std::vector<MemoryFileHandle> seen;
  for (int i = 0; i < 50; ++i) {
    MemoryFileHandle h = kNullMemoryFile;
    ASSERT_TRUE(CreateMemoryFile(-1, 1, &h).IsOkay());
    for (MemoryFileHandle old : seen) ASSERT_NE(h, old) << "round " << i;
    seen.push_back(h);
    ASSERT_TRUE(DestroyMemoryFile(h).IsOkay());
  }
}

// Files are made and destroyed in a random order with contents of every size (a
// destroyed file may be handed out again): each file made is empty, whatever an
// earlier one held, and holds exactly what is written to it.
TEST(MemoryFileHandleTest, FilesMadeAfterOthersWereDestroyedStartEmpty) {
  const uint32_t seed = 777;
  std::mt19937 random(seed);
  struct Live {
    MemoryFileHandle handle;
    std::vector<uint8_t> content;
  };
  std::vector<Live> live;
  const uint32_t liveBefore = LiveMemoryFileCount();
  for (int step = 0; step < 600; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
    if (live.size() < 12 && random() % 3 != 0) {
      Live made{kNullMemoryFile, {}};
      ASSERT_TRUE(CreateMemoryFile(-1, 1, &made.handle).IsOkay());
      MemoryFile& file = MemoryFileOf(made.handle);
      uint8_t byte = 0;
      EXPECT_EQ(file.Size(), 0u);
      EXPECT_EQ(file.Position(), 0u);
      EXPECT_EQ(NumberOf(file.Read(1, 1, &byte)), 182u);
      EXPECT_EQ(NumberOf(file.Seek(1)), 183u);
      const uint32_t length = random() % 4 == 0 ? random() % 3000 : random() % 300;
      made.content = Pattern(length, static_cast<uint8_t>(random()));
      ASSERT_TRUE(file.Write(1, length, made.content.data()).IsOkay());
      live.push_back(std::move(made));
    } else if (!live.empty()) {
      const std::size_t which = random() % live.size();
      MemoryFile& file = MemoryFileOf(live[which].handle);
      ASSERT_TRUE(file.Seek(0).IsOkay());
      std::vector<uint8_t> all(live[which].content.size() + 1, 0xCD);
      EXPECT_EQ(NumberOf(file.Read(1, static_cast<uint32_t>(all.size()), all.data())), 182u);
      ASSERT_TRUE(file.Read(1, static_cast<uint32_t>(all.size() - 1), all.data()).IsOkay());
      all.pop_back();
      EXPECT_EQ(all, live[which].content);
      ASSERT_TRUE(DestroyMemoryFile(live[which].handle).IsOkay());
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(which));
    }
    ASSERT_EQ(LiveMemoryFileCount(), liveBefore + live.size());
  }
  for (const Live& file : live) ASSERT_TRUE(DestroyMemoryFile(file.handle).IsOkay());
}

}  // namespace
}  // namespace zentor
