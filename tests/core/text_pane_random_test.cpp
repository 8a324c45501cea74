// Seeded random keys, clicks, scroll and size events on panes of every kind (plain,
// marker column, text selection, fields; the whole document or a window of it) keep
// the pane's invariants, and never read or write past a line (each line's text is a
// buffer of its exact length under the sanitizers). The seed of a failing run is
// printed.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "harness/pane_document.h"

namespace zentor {
namespace {

using testing_support::DocumentLine;
using testing_support::PaneDocument;
using testing_support::RecordingPanePort;

std::vector<DocumentLine> RandomDocument(std::mt19937& random, int32_t size) {
  std::vector<DocumentLine> lines;
  const char alphabet[] = "ab_$ 09.,:x";
  for (int32_t i = 0; i < size; ++i) {
    DocumentLine line;
    const int32_t length = static_cast<int32_t>(random() % 90);
    for (int32_t c = 0; c < length; ++c) line.text += alphabet[random() % (sizeof alphabet - 1)];
    // Fields of any width, some reaching past the text, some lines without any.
    int32_t column = static_cast<int32_t>(random() % 4);
    const int32_t fields = random() % 3 == 0 ? 0 : static_cast<int32_t>(random() % 5) + 1;
    for (int32_t f = 0; f < fields; ++f) {
      const int32_t width = random() % 20 == 0 ? 300 : static_cast<int32_t>(random() % 9);
      line.fields.push_back({column, width});
      column += width + static_cast<int32_t>(random() % 4);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

void ExpectInvariants(const TextPane& pane) {
  ASSERT_GE(pane.count, 0);
  ASSERT_GE(pane.rows, 0);
  ASSERT_GE(pane.first, 0);
  ASSERT_GE(pane.top, 0);
  ASSERT_GE(pane.row, 0);
  ASSERT_GE(pane.leftColumn, 0);
  if (pane.rows > 0) ASSERT_LT(pane.row, pane.rows);
  if (pane.count > 0) ASSERT_LT(pane.top + pane.row, pane.count);
  if (pane.total != -1) ASSERT_GE(pane.total, pane.first + pane.count);
  if (pane.last == -1 && pane.total > 0 && pane.count > 0) ASSERT_EQ(pane.scrollPos, pane.first + pane.top);
  const FieldEditRecord& edit = pane.fieldEdit;
  ASSERT_LE(edit.fieldLength, kMaxFieldWidth);
  ASSERT_GE(edit.caretOffset, 0);
  ASSERT_LE(edit.caretOffset, std::max(edit.fieldLength - 1, 0));
  ASSERT_LE(std::strlen(edit.editText), static_cast<std::size_t>(kMaxFieldWidth));
  ASSERT_LE(std::strlen(edit.savedText), static_cast<std::size_t>(kMaxFieldWidth));
  if (pane.textSelection) ASSERT_LE(pane.selLength, kMaxFieldWidth);
}

TEST(TextPaneRandom, EventsKeepTheInvariants) {
  const int32_t keys[] = {8,   9,   10,  13,  27,  32,  'a', 'Z', '7', 127, 128, 301, 302, 303, 304, 305, 306,
                          309, 310, 312, 315, 319, 320, 321, 322, 323, 324, 371, 372, 999};
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    ResetPaneGestures();
    RecordingPanePort port;
    TextPane pane;
    const int kind = static_cast<int>(seed % 4);
    pane.markerColumn = kind == 1;
    pane.textSelection = kind == 1 || kind == 2;
    pane.fieldPane = kind == 3;
    pane.rows = static_cast<int32_t>(random() % 12);
    pane.columns = static_cast<int32_t>(random() % 50);
    pane.fetchOnDemand = static_cast<int32_t>(random() % 2);
    const int32_t size = static_cast<int32_t>(random() % 60);
    const int32_t window = random() % 2 == 0 ? 0 : static_cast<int32_t>(random() % 25) + 1;
    PaneDocument document(pane, RandomDocument(random, size), window);
    pane.UpdateHScrollBar();
    if (pane.fieldPane) pane.SelectFirstField();
    for (int step = 0; step < 300; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      document.commitStatus = random() % 3 == 0 ? 200 : 0;
      const int32_t position = static_cast<int32_t>(random() % (size + 20)) - 10;
      switch (random() % 6) {
        case 0: pane.HandleVScroll(static_cast<int32_t>(random() % 7), position); break;
        case 1: pane.HandleHScroll(static_cast<int32_t>(random() % 7), position); break;
        case 2:
        case 3: {
          const int32_t key = keys[random() % (sizeof keys / sizeof keys[0])];
          if (pane.fieldPane) {
            pane.HandleFieldKey(key);
          } else {
            pane.HandleKey(key);
          }
          break;
        }
        case 4:
          if (pane.fieldPane) {
            pane.HandleFieldMouse(static_cast<int32_t>(random() % 16), static_cast<int32_t>(random() % 60));
          } else {
            pane.RepaintLinePart(static_cast<int32_t>(random() % (size + 2)), position, static_cast<int32_t>(random() % 400));
          }
          break;
        default: pane.Resize(static_cast<int32_t>(random() % 60), static_cast<int32_t>(random() % 15)); break;
      }
      ExpectInvariants(pane);
      (void)pane.SelectedFieldText();
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace zentor
