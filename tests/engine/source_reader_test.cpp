// The source pane's text reader, text store, open-file cache and line naming: display
// lines read forwards and backwards against a model of the line rules, the bounds of a
// module's text region, line moves in pane-numbered text and in listings, the
// line-number field, listing numbers by language, the cache's evictions and the
// store's blocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/source_file_cache.h"
#include "engine/source_line_naming.h"
#include "engine/source_text_reader.h"
#include "engine/source_text_store.h"

#include "console/file_channel.h"
#include "core/checked_alloc.h"
#include "core/dv_error.h"
#include "harness/transcript.h"
#include "support/mem_pool.h"

namespace zentor {
namespace {

using testing_support::ScratchDirectory;

struct ReadLine {
  int32_t m_count;
  std::string m_text;  // up to the first NUL
  bool operator==(const ReadLine& other) const = default;
};

std::ostream& operator<<(std::ostream& out, const ReadLine& line) {
  return out << "{" << line.m_count << ", \"" << line.m_text << "\"}";
}

// A reader over one file of the scratch directory, its region the whole file unless
// a test narrows it.
class ReaderFixture {
 public:
  ReaderFixture(const ScratchDirectory& directory, const std::string& bytes) : m_reader(m_region) {
    directory.Write("text.c", bytes);
    m_descriptor = FileChannel::Open(directory.File("text.c").c_str(), kOpenRead);
    m_region.m_textEnd = static_cast<uint32_t>(bytes.size());
    m_region.m_locationLine = OptionalLine::Valid(1);
    m_reader.Attach(m_descriptor);
  }
  ~ReaderFixture() { FileChannel::Close(m_descriptor); }

  ReadLine Forward() {
    char line[SourceTextReader::kDestinationSize];
    const int32_t count = m_reader.ReadLineForward(line, SourceTextReader::kRequestedLimit);
    return {count, line};
  }
  ReadLine Backward() {
    char line[SourceTextReader::kDestinationSize];
    const int32_t count = m_reader.ReadLineBackward(line, SourceTextReader::kRequestedLimit);
    return {count, line};
  }
  std::vector<ReadLine> AllForward() {
    std::vector<ReadLine> lines;
    for (ReadLine line = Forward(); line.m_count != -1; line = Forward()) lines.push_back(line);
    return lines;
  }
  std::vector<ReadLine> AllBackward() {
    std::vector<ReadLine> lines;
    for (ReadLine line = Backward(); line.m_count != -1; line = Backward()) lines.push_back(line);
    return lines;
  }

  SourceTextRegion m_region;
  SourceTextReader m_reader;
  int32_t m_descriptor = -1;
};

// The display-line rules written plainly over a whole string, forward only: TAB as
// four blanks, LF and CR as NULs, FF as a blank, Ctrl-Z dropped; at most 153
// characters kept.
std::vector<ReadLine> ModelLines(const std::string& bytes) {
  std::vector<ReadLine> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    std::string stored;
    bool ended = false;
    while (at < bytes.size() && !ended) {
      const char c = bytes[at++];
      if (stored.size() >= 153) {
        ended = c == '\n';
        continue;
      }
      switch (c) {
        case '\t': stored += "    "; break;
        case '\n': stored += '\0'; ended = true; break;
        case '\r': stored += '\0'; break;
        case '\f': stored += ' '; break;
        case '\x1a': break;
        default: stored += c;
      }
    }
    lines.push_back({static_cast<int32_t>(stored.size()), stored.substr(0, stored.find('\0'))});
  }
  return lines;
}

TEST(SourceTextReader, DisplayLinesForwardAndBackward) {
  const std::string line152(152, 'a');
  std::string line200;
  for (int i = 0; i < 200; ++i) line200 += static_cast<char>('A' + i % 26);
  struct Case {
    const char* m_name;
    std::string m_bytes;
    std::vector<ReadLine> m_forward;
    std::vector<ReadLine> m_backward;  // in reading order, from the end
  };
  const std::vector<Case> cases = {
      {"152 characters", line152 + "\nnext\n", {{153, line152}, {5, "next"}}, {{5, "next"}, {153, line152}}},
      {"200 characters",
       line200 + "\nnext\n",
       {{153, line200.substr(0, 153)}, {5, "next"}},
       {{5, "next"}, {153, line200.substr(48)}}},
      {"tab", "a\tb", {{6, "a    b"}}, {{6, "a    b"}}},
      {"cr lf", "ab\r\ncd\r\n", {{4, "ab"}, {4, "cd"}}, {{4, "cd"}, {4, "ab"}}},
      {"lone cr", "ab\rcd\nx\n", {{6, "ab"}, {2, "x"}}, {{2, "x"}, {6, "ab"}}},
      {"last line without lf", "one\ntwo", {{4, "one"}, {3, "two"}}, {{3, "two"}, {4, "one"}}},
      {"empty lines", "\n\nz\n", {{1, ""}, {1, ""}, {2, "z"}}, {{2, "z"}, {1, ""}, {1, ""}}},
      {"form feed and ctrl-z", "\fx\x1Ay\n", {{4, " xy"}}, {{4, " xy"}}},
  };
  ScratchDirectory directory("source-reader");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    ReaderFixture fixture(directory, c.m_bytes);
    fixture.m_reader.Seek(0);
    EXPECT_EQ(fixture.AllForward(), c.m_forward);
    fixture.m_reader.Seek(static_cast<int32_t>(c.m_bytes.size()));
    EXPECT_EQ(fixture.AllBackward(), c.m_backward);
    // Backwards to the start leaves the read position at the text's first byte.
    EXPECT_EQ(fixture.Forward(), c.m_forward.front());
  }
}

// Random files several buffers long, read whole in both directions and from random
// line starts, against the model.
TEST(SourceTextReader, RandomFilesAgainstTheModel) {
  const uint32_t seed = 20261207;
  std::mt19937 random(seed);
  ScratchDirectory directory("source-reader-random");
  const char alphabet[] = "abcdefgh    \t\r\f\x1a;{}()0123";
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
    std::string bytes;
    std::vector<size_t> lineStarts;
    const int lines = 50 + static_cast<int>(random() % 400);
    for (int i = 0; i < lines; ++i) {
      lineStarts.push_back(bytes.size());
      const int length = static_cast<int>(random() % (random() % 8 == 0 ? 260 : 70));
      for (int k = 0; k < length; ++k) bytes += alphabet[random() % (sizeof alphabet - 1)];
      if (i + 1 < lines || random() % 2 == 0) bytes += '\n';
    }
    const std::vector<ReadLine> model = ModelLines(bytes);
    ReaderFixture fixture(directory, bytes);
    fixture.m_reader.Seek(0);
    ASSERT_EQ(fixture.AllForward(), model);
    fixture.m_reader.Seek(static_cast<int32_t>(bytes.size()));
    std::vector<ReadLine> backward = fixture.AllBackward();
    std::reverse(backward.begin(), backward.end());
    ASSERT_EQ(backward.size(), model.size());
    for (size_t i = 0; i < model.size(); ++i) {
      if (model[i].m_count < 153) {
        EXPECT_EQ(backward[i], model[i]) << "line " << i;
      }
    }
    for (int probe = 0; probe < 30; ++probe) {
      const size_t line = random() % lineStarts.size();
      fixture.m_reader.Seek(static_cast<int32_t>(lineStarts[line]));
      EXPECT_EQ(fixture.Forward(), model[line]) << "line " << line;
      if (line > 0 && model[line - 1].m_count < 153) {
        fixture.m_reader.Seek(static_cast<int32_t>(lineStarts[line]));
        EXPECT_EQ(fixture.Backward(), model[line - 1]) << "line " << line - 1;
        EXPECT_EQ(fixture.m_reader.Position(), static_cast<int32_t>(lineStarts[line - 1]));
      }
    }
  }
}

// A module's text inside a larger file: reads stop at both ends of the region, and a
// seek outside it is refused with 260.
TEST(SourceTextReader, TextRegionBounds) {
  ScratchDirectory directory("source-reader-region");
  ReaderFixture fixture(directory, "before\nfirst\nsecond\nafter\n");
  fixture.m_region.m_textStart = 7;
  fixture.m_region.m_textEnd = 20;
  fixture.m_reader.Seek(7);
  EXPECT_EQ(fixture.AllForward(), (std::vector<ReadLine>{{6, "first"}, {7, "second"}}));
  fixture.m_reader.Seek(20);
  EXPECT_EQ(fixture.AllBackward(), (std::vector<ReadLine>{{7, "second"}, {6, "first"}}));
  struct Case {
    const char* m_name;
    int32_t m_position;
  };
  for (const Case& c : {Case{"beyond the end", 21}, Case{"before the start", 6}, Case{"negative", -1}}) {
    SCOPED_TRACE(c.m_name);
    fixture.m_reader.DiscardBuffer();
    try {
      fixture.m_reader.Seek(c.m_position);
      ADD_FAILURE() << "no error";
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), 260u);
      EXPECT_EQ(error.Severity(), kSeverityError);
    }
  }
}

// A listing that numbers its own lines (first byte a form feed), with numbers missing
// and unnumbered lines between, many buffers long.
std::string MakeListing(int lines, std::vector<int>& numbers, std::vector<size_t>& starts) {
  std::string text = "\f  Listing of LONG\n";
  for (int n = 1; n <= lines; ++n) {
    if (n % 7 == 3) continue;  // a number the listing skips
    char field[16];
    std::snprintf(field, sizeof field, "%6d ", n);
    starts.push_back(text.size());
    numbers.push_back(n);
    text += field;
    text += "    x = x + " + std::to_string(n) + ";\n";
    if (n % 11 == 0) text += "       ; a comment line without a number\n";
  }
  return text;
}

TEST(SourceTextReader, MoveToLineInListingsAndNumberedText) {
  ScratchDirectory directory("source-reader-move");
  std::vector<int> numbers;
  std::vector<size_t> starts;
  const std::string listing = MakeListing(20000, numbers, starts);
  ReaderFixture fixture(directory, listing);
  fixture.m_region.m_lineCount = 20000;
  struct Case {
    const char* m_name;
    int32_t m_target;
    int32_t m_expectLine;  // the listed line the read position stands at
  };
  const std::vector<Case> cases = {
      {"far forward", 15000, 15000}, {"near forward", 15005, 15005}, {"far backward", 120, 120},
      {"first", 1, 1},               {"last", 20000, 20000},         {"a skipped number", 10, 11},
  };
  fixture.m_reader.Seek(0);
  int32_t current = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    const uint64_t readsBefore = fixture.m_reader.BufferReads();
    ASSERT_EQ(fixture.m_reader.MoveToLine(c.m_target, current, 0), 1);
    const auto at = std::find(numbers.begin(), numbers.end(), c.m_expectLine);
    ASSERT_NE(at, numbers.end());
    EXPECT_EQ(fixture.m_reader.Position(), static_cast<int32_t>(starts[static_cast<size_t>(at - numbers.begin())]));
    EXPECT_LE(fixture.m_reader.BufferReads() - readsBefore, 50u);
    current = c.m_expectLine;
  }
  fixture.m_region.m_lineCount = 0xFFFFFFFFu;
  EXPECT_EQ(fixture.m_reader.MoveToLine(5, current, 0), -1) << "no known line count";

  // Lines the pane numbers itself are counted from the given line.
  ReaderFixture numbered(directory, "l1\nl2\nl3\nl4\nl5\n");
  numbered.m_reader.Seek(3);
  ASSERT_EQ(numbered.m_reader.MoveToLine(5, 2, 1), 1);
  EXPECT_EQ(numbered.Forward(), (ReadLine{3, "l5"}));
  ASSERT_EQ(numbered.m_reader.MoveToLine(1, 5, 1), 1);  // stands after line 5: four lines back
  EXPECT_EQ(numbered.Forward(), (ReadLine{3, "l2"}));
}

TEST(SourceLineNaming, LineNumberField) {
  struct Case {
    const char* m_name;
    uint32_t m_line;
    bool m_listing;
    const char* m_field;
  };
  const std::vector<Case> cases = {
      {"two digits", 42, false, "    42    "},   {"two digits in a listing", 42, true, "   #42    "},
      {"six digits", 123456, false, "123456    "}, {"six digits in a listing", 123456, true, "#12345    "},
      {"line 0", 0, false, "     0    "},        {"ten digits", 4000000000u, false, "400000    "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    char field[11];
    std::memset(field, 'X', sizeof field);
    EXPECT_EQ(FormatLineNumberField(c.m_line, field, c.m_listing), 10);
    EXPECT_EQ(std::string(field, 11), std::string(c.m_field) + '\0');
  }
}

TEST(SourceLineNaming, ListingLineNumbersByLanguage) {
  struct Case {
    const char* m_name;
    const char* m_text;
    uint16_t m_language;
    int32_t m_number;
  };
  const std::vector<Case> cases = {
      {"language 1, a page mark", "   12 P", 1, -1},
      {"language 1, another letter", "   12 Q", 1, 12},
      {"language 2, a page mark", "   12 P", 2, -1},
      {"language 0 takes a P", "   12 P", 0, 12},
      {"language 7 field of 4", "   123 ", 7, -1},
      {"language 7, a blank after", "  12  x", 7, 12},
      {"language 7, a digit after", "  12 5x", 7, 12},
      {"language 7, a letter after", "  12 x", 7, -1},
      {"header mark in column 10", "    12    H", 0, -1},
      {"no blank after the digits", "   12x ", 0, -1},
      {"only blanks in the field", "       7", 0, -1},
      {"shorter than the field", "  12", 0, -1},
      {"no digits", "   ab  ", 0, -1},
      {"digits from column 0", "000042 y", 0, 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(ParseListingLineNumber(c.m_text, static_cast<int32_t>(std::strlen(c.m_text)), c.m_language), c.m_number);
  }
  char text[] = "Main(void) { return 0; }";
  UpperCaseText(text);
  EXPECT_STREQ(text, "MAIN(VOID) { RETURN 0; }");
}

// Files opened A, B, C, D, then others; the descriptor's position shows the rewind.
TEST(SourceFileCache, EvictionOrderAndAges) {
  ScratchDirectory directory("source-cache");
  for (const char* name : {"a.c", "b.c", "c.c", "d.c", "e.c", "f.c"}) directory.Write(name, "line\n");
  auto path = [&](const char* name) { return RWCString(directory.File(name).c_str()); };
  SourceFileCache cache;
  struct Step {
    const char* m_name;
    const char* m_file;
    std::vector<std::string> m_slots;  // file names after the step
    std::vector<int> m_ages;
  };
  const std::vector<Step> steps = {
      {"first", "a.c", {"a.c"}, {0}},
      {"fill", "b.c", {"a.c", "b.c"}, {1, 0}},
      {"fill", "c.c", {"a.c", "b.c", "c.c"}, {2, 1, 0}},
      {"fill", "d.c", {"a.c", "b.c", "c.c", "d.c"}, {3, 2, 1, 0}},
      {"the oldest goes", "e.c", {"e.c", "b.c", "c.c", "d.c"}, {0, 3, 2, 1}},
      {"a hit ages too", "c.c", {"e.c", "b.c", "c.c", "d.c"}, {1, 4, 3, 2}},
      {"then the oldest", "f.c", {"e.c", "f.c", "c.c", "d.c"}, {2, 0, 4, 3}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.m_name) + " " + step.m_file);
    const int32_t descriptor = cache.Open(path(step.m_file));
    ASSERT_GE(descriptor, 0);
    EXPECT_EQ(FileChannel::Tell(descriptor), 0);
    char byte;
    FileChannel::Read(descriptor, &byte, 1);  // moves it; a hit rewinds
    for (size_t i = 0; i < step.m_slots.size(); ++i) {
      EXPECT_EQ(std::string(cache.Slot(i).Path().data()), directory.File(step.m_slots[i]));
      EXPECT_EQ(cache.Slot(i).Age(), step.m_ages[i]) << "slot " << i;
    }
  }
  // Ages stop at 255: after 252 more lookups c.c (age 4 + 252) is the oldest and
  // goes first; a wrapping age would have made it the newest and evicted d.c.
  for (int i = 0; i < 252; ++i) cache.Open(path("f.c"));
  EXPECT_EQ(cache.Slot(2).Age(), 255);
  EXPECT_EQ(cache.Slot(3).Age(), 255);
  cache.Open(path("a.c"));
  EXPECT_EQ(std::string(cache.Slot(2).Path().data()), directory.File("a.c"));
  EXPECT_EQ(std::string(cache.Slot(3).Path().data()), directory.File("d.c"));
  EXPECT_EQ(cache.Open(RWCString()), -1);
  EXPECT_EQ(cache.Open(path("missing.c")), -1);
  cache.CloseAll();
  for (size_t i = 0; i < SourceFileCache::kSlots; ++i) EXPECT_EQ(cache.Slot(i).Descriptor(), -1);
}

// Lines of the longest length never cross a block; the store ends at block 62 and a
// build's unused blocks go back.
TEST(SourceTextStore, BlocksHoldWholeLines) {
  MemPool* pool = CheckedCreatePool();
  {
    SourceTextStore store(pool);
    int lines = 0;
    while (store.EnsureRoomForLine()) {
      char* at = store.Cursor();
      std::memset(at, 'x', SourceTextStore::kLongestLine - 1);
      at[SourceTextStore::kLongestLine - 1] = '\0';
      EXPECT_LE(store.Fill() + SourceTextStore::kLongestLine, SourceTextStore::kBlockSize);
      store.Commit(SourceTextStore::kLongestLine - 1);
      ++lines;
    }
    EXPECT_EQ(store.BlockIndex(), SourceTextStore::kLastBlock);
    EXPECT_EQ(lines, 63 * (SourceTextStore::kBlockSize / SourceTextStore::kLongestLine));
    EXPECT_EQ(store.NextTextBlock(), -1);
    EXPECT_EQ(store.AllocatedBlocks(), 63);
    store.Rewind();
    store.FreeTextBlocksAbove(2);
    EXPECT_EQ(store.AllocatedBlocks(), 3);
  }
  CheckedFreePool(pool);
}

}  // namespace
}  // namespace zentor
