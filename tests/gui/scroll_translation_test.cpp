// A scroll bar's message turned into the pane's scroll event and handed to a pane of
// 100,000 lines: SB_BOTTOM reaches the document's end, SB_TOP its start, and a thumb
// released past 65,535 the line it stands on, not that line modulo 65,536.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_pane.h"
#include "gui/scroll_translation.h"
#include "harness/pane_document.h"

namespace zentor {
namespace {

using testing_support::DocumentLine;
using testing_support::PaneDocument;
using testing_support::RecordingPanePort;

TEST(ScrollTranslation, BarEndsAndWideThumbsReachTheirLines) {
  constexpr uint32_t kSbThumbPosition = 4;
  constexpr uint32_t kSbThumbTrack = 5;
  constexpr uint32_t kSbTop = 6;
  constexpr uint32_t kSbBottom = 7;
  struct Case {
    const char* name;
    uint32_t win32Code;
    int32_t trackPosition;
    int32_t topLine;
  };
  const std::vector<Case> cases = {
      {"SB_BOTTOM", kSbBottom, 0, 100000 - 20},
      {"SB_TOP", kSbTop, 0, 0},
      {"thumb released at line 70,000", kSbThumbPosition, 70000, 70000},
      {"thumb dragged: no move", kSbThumbTrack, 70000, 500},
  };
  std::vector<DocumentLine> lines(100000, DocumentLine{"x", {}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPanePort port;
    TextPane pane;
    pane.rows = 20;
    PaneDocument document(pane, lines);
    pane.ScrollToLine(500);
    pane.UpdateVScrollRange();
    // The bar as the window layer reads it: its range, and the thumb in 32 bits.
    const LayerScrollInfo bar{port.vMinimum, port.vMaximum, port.vPosition, c.trackPosition};
    int32_t code = -1;
    int32_t position = -1;
    ASSERT_TRUE(TranslateScrollCode(c.win32Code, bar, &code, &position));
    pane.HandleVScroll(code, position);
    EXPECT_EQ(pane.first + pane.top, c.topLine);
    EXPECT_EQ(port.vPosition, c.topLine);
  }
}

}  // namespace
}  // namespace zentor
