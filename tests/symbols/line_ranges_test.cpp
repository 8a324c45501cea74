// Source line ranges of the current module, the module and line listings, and frame
// selection through the engine's walk.

#include "symbol_query_test_support.h"

#include "symbols/line_ranges.h"
#include "symbols/symbol_listings.h"

#include "core/frame_list.h"
#include "core/viewpoint_manager.h"

namespace zentor::testing_support {
namespace {

std::string RangesText(const LineAddress* ranges) {
  std::string text;
  for (const LineAddress* range = ranges; !range->m_line.IsEmpty(); ++range) {
    text += "#" + std::to_string(range->m_line.Get()) + " " + std::string(range->m_start.Text().data()) + " x" +
            std::to_string(range->m_length.Low()) + "; ";
  }
  return text + "end";
}

TEST_F(SymbolQueryTest, RangesOfSpansOfLines) {
  struct Row {
    const char* m_name;
    uint16_t m_from;
    uint16_t m_to;
    uint32_t m_capacity;
    const char* m_expected;
    // The lines nearest above m_to, for a listing paged backwards.
    bool m_above = false;
  };
  const Row rows[] = {
      {"every line: a line with code in two places has one range, at the first", 10, 21, 10,
       "#10 0x00400000 x8; #11 0x00400008 x8; #12 0x00400010 x16; #14 0x00400020 x16; #15 0x00400030 x16; "
       "#20 0x00400040 x8; #21 0x00400048 x8; end"},
      {"more ranges than room keeps the lowest lines", 10, 21, 3, "#10 0x00400000 x8; #11 0x00400008 x8; end"},
      {"room for the end alone", 10, 21, 1, "end"},
      {"one line", 14, 14, 4, "#14 0x00400020 x16; end"},
      {"a span without code", 16, 19, 4, "end"},
      {"above: the line and the one above it", 0, 14, 3, "#12 0x00400010 x16; #14 0x00400020 x16; end", true},
      {"above a line without code: the nearest two", 0, 19, 3, "#14 0x00400020 x16; #15 0x00400030 x16; end", true},
      {"above the first line: its own range", 0, 10, 3, "#10 0x00400000 x8; end", true},
      {"above a line before the first: none", 0, 9, 3, "end", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    std::vector<LineAddress> ranges(row.m_capacity);
    if (row.m_above) {
      CollectLineRangesBetweenAddresses(row.m_to, ranges.data(), row.m_capacity);
    } else {
      CollectLineRangesBetweenLines(row.m_from, row.m_to, ranges.data(), row.m_capacity);
    }
    EXPECT_EQ(RangesText(ranges.data()), row.m_expected);
  }
  // Another context's module answers through the context.
  LineAddress ranges[4];
  const OptionalLine file = GetCurrentSymbolContext()->Location().Location().m_line;
  GetCurrentSymbolContext()->CollectLineRanges(OptionalLine(20, file), OptionalLine(21, file), ranges, 4);
  EXPECT_EQ(RangesText(ranges), "#20 0x00400040 x8; #21 0x00400048 x8; end")
      << "line 21 ends where the header's line 7 begins; the header's line is of another file";
  EXPECT_EQ(SourceLineRange(MemoryAt(kQueryCode + 0x2a)).Info().LineValue(), 14);
}

TEST_F(SymbolQueryTest, ModuleAndLineListings) {
  DVErrorCode status;
  TakeOutput();
  ListModules(status, 83);
  EXPECT_TRUE(status.IsOkay());
  EXPECT_EQ(TakeOutput(), "MAIN  UTIL  \r\n");
  ListModules(status, 8);
  EXPECT_EQ(TakeOutput(), "MAIN\r\nUTIL\r\n") << "narrower than two columns: a name on each line";
  {
    BracketedLookupScope bracket;
    RunPath(":UTIL");
    ListModules(status, 83);
    EXPECT_EQ(TakeOutput(), "UTIL\r\n") << "the lookup target alone";
    ListModuleLines(83);
    EXPECT_EQ(TakeOutput(), "#3      #4      #7      #6      \r\n");
  }
  ListModuleLines(20);
  EXPECT_EQ(TakeOutput(), "#10     #11\r\n#12     #14\r\n#15     #20\r\n#21     #7\r\n");
}

// A walk of the engine's kind: the stopped thread's two frames.
class TwoFrames final : public FrameWalker {
 public:
  uint32_t Walk(FrameList& frames, uint32_t) override {
    ++m_walks;
    frames.Append(MemoryAt(kQueryStop), MemoryAt(kQueryFrame));
    frames.Append(MemoryAt(kQueryCode + 0x90), MemoryAt(kQueryFrame + 0x20));
    frames.SetCurrent(0);
    return 0;
  }
  int m_walks = 0;
};

TEST_F(SymbolQueryTest, FramesAreWalkedWhenTheListCannotBeUsed) {
  TwoFrames walker;
  InstallFrameWalker(&walker);
  FrameList frames;
  ViewpointManager::SetFrameList(ViewpointHandle(kViewpoint), &frames);
  AddressPair frame;
  EXPECT_FALSE(HasCurrentFrame(frame));
  SelectFrame(0);
  EXPECT_EQ(walker.m_walks, 1);
  EXPECT_EQ(CurrentFrameIndex(frame), 0u);
  SelectFrame(0);
  EXPECT_EQ(walker.m_walks, 1) << "a usable list is kept";
  EXPECT_TRUE(SetCurrentFrame(1));
  EXPECT_FALSE(SetCurrentFrame(2));
  ASSERT_TRUE(HasCurrentFrame(frame));
  EXPECT_EQ(frame.m_first.Offset(), kQueryCode + 0x90);
  ReselectCurrentFrame();
  EXPECT_EQ(std::string(GetCurrentSymbolContext()->Location().Location().m_procedureName.data()), "util_init");
  EXPECT_EQ(std::string(GetCurrentSymbolContext()->BrowseCaption().data()),
            "[Calls (1)] Mod: UTIL  Proc: util_init  Line: #4");
  InstallFrameWalker(nullptr);
  ViewpointManager::SetFrameList(ViewpointHandle(kViewpoint), nullptr);
}

}  // namespace
}  // namespace zentor::testing_support
