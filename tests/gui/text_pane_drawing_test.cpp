// A line window's pane drawn through the recording layer and read back as a screen of
// cells with their colours: the marker column and the line colours by attribute, a
// header's marker cell, a one-line scroll that draws only the line it exposed (and
// leaves the screen a full paint would), the mouse's click, drag and press below the
// last line, and a field edit with its caret.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/viewpoint_manager.h"
#include "gui/color_settings.h"
#include "gui/gui_window_layer.h"
#include "gui/pane_services.h"
#include "gui/text_pane_drawing.h"
#include "gui/win_super.h"
#include "gui/window_table.h"
#include "harness/layer_screen.h"
#include "harness/recording_layer_system.h"

namespace zentor {
namespace {

using testing_support::LayerScreen;
using testing_support::LoggedColor;
using testing_support::RecordingLayerSystem;

constexpr uint32_t kServer = 7;
constexpr int32_t kRows = 8;
constexpr int32_t kColumns = 30;

// A line window of the given pane style whose mouse and keys go to the pane.
class LineWindow final : public WinSuper {
 public:
  LineWindow(NativeWindow window, uint32_t style) : WinSuper(window, kServer, "Lines") {
    SetKind(16);
    SetPaneStyle(style);
  }
  void OnKey(const WindowEvent& event) override {
    if (GetTextPane().fieldPane) {
      GetTextPane().HandleFieldKey(event.KeyCode());
    } else {
      GetTextPane().HandleKey(event.KeyCode());
    }
  }
  void OnMouse(const WindowEvent& event) override {
    if (GetTextPane().fieldPane) {
      TextPaneDrawing::HandleFieldMouse(*this, event);
    } else {
      TextPaneDrawing::HandleMouse(*this, event);
    }
  }
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t) override {}
  void OnEngineNotify() override {}
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
};

// Lines the test owns, handed to the pane as the whole document.
struct Document {
  explicit Document(std::vector<std::string> texts, std::vector<uint32_t> attrs = {}) : texts(std::move(texts)) {
    lines.resize(this->texts.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      lines[i].text = this->texts[i].data();
      lines[i].length = static_cast<int32_t>(this->texts[i].size());
      lines[i].capacity = lines[i].length;
      lines[i].attr = i < attrs.size() ? attrs[i] : 0;
      held.push_back(&lines[i]);
    }
  }
  void Into(TextPane& pane) {
    pane.lines = held.data();
    pane.count = pane.total = static_cast<int32_t>(held.size());
    pane.first = 0;
    pane.last = -1;
  }
  std::vector<std::string> texts;
  std::vector<PaneLine> lines;
  std::vector<PaneLine*> held;
};

class TextPaneDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallGuiWindowLayer(&layer);
    InstallLayerPaneWindowPort();
    layer.Register(system.AddWindow("frame"), kLayerFrame, 0);
    ViewpointManager::AddViewpoint(ViewpointHandle(kServer), "SERVER");
    SetBaseViewpoint(ViewpointHandle(kServer));
    TextPaneDrawing::ResetMouseState();
    ResetPaneGestures();
  }
  void TearDown() override {
    WindowTable::DestroyAll();
    PaneWindow().Install(nullptr);
    InstallGuiWindowLayer(nullptr);
    ViewpointManager::RemoveAllViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
    TextPaneDrawing::ResetMouseState();
    ResetPaneGestures();
  }

  LineWindow& Open(uint32_t style) {
    handle = system.AddWindow("lines", 0, LayerRect{0, 0, kRows * 13, kColumns * 8});
    auto* window = std::make_unique<LineWindow>(handle, style).release();
    return *window;
  }
  // Paints the whole client area as the router's paint event does.
  void Paint(WinSuper& window) {
    WindowEvent paint;
    paint.type = kEventPaint;
    DispatchWindowEvent(window.LayerWindowId(), paint);
  }
  // What the window shows after its drawing since the last call (a due paint done).
  LayerScreen& Update(WinSuper& window) {
    if (screen.Apply(system.TakeLog())) {
      Paint(window);
      screen.Apply(system.TakeLog());
    }
    return screen;
  }
  void Mouse(WinSuper& window, int32_t type, int32_t x, int32_t y) {
    WindowEvent event;
    event.type = type;
    event.words[0] = y;
    event.words[1] = x;
    DispatchWindowEvent(window.LayerWindowId(), event);
  }
  static std::string Back(uint32_t element) { return LoggedColor(ColorSettings::GetColor(ViewpointHandle(kServer), element, 0)); }
  static std::string Fore(uint32_t element) { return LoggedColor(ColorSettings::GetColor(ViewpointHandle(kServer), element, 1)); }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  NativeWindow handle = 0;
  LayerScreen screen{"lines", kRows, kColumns};
};

TEST_F(TextPaneDrawingTest, MarkersAndLineColoursFollowTheAttribute) {
  struct Case {
    const char* name;
    uint32_t attr;
    char marker;
    uint32_t lineBack;  // element of the line's background
    uint32_t lineText;  // element of its text colour
  };
  const std::vector<Case> cases = {
      {"a hardware break", 0x8000 | 0x02, 'H', 4, 9},
      {"two kinds of break", 0x8000 | 0x06, 'M', 4, 9},
      {"a passpoint", 0x8000 | 0x10, '+', 4, 9},
      {"a disabled break in lower case", 0x8000 | 0x20 | 0x100, 'b', 4, 9},
      {"bits without a letter", 0x8000 | 0x40, ' ', 4, 9},
      {"marker bits not shown", 0x02, ' ', 4, 9},
      {"the execution bar", 0x4000, ' ', 13, 13},
      {"nocolor, though its low byte is 0", 0x800, ' ', 15, 15},
      {"a plain line", 0, ' ', 4, 4},
  };
  std::vector<std::string> texts;
  std::vector<uint32_t> attrs;
  for (const Case& c : cases) {
    texts.push_back(std::string("text ") + c.name);
    attrs.push_back(c.attr);
  }
  Document document(texts, attrs);
  LineWindow& window = Open(kPaneMarkerColumn | kPaneTextSelection);
  TextPane& pane = window.GetTextPane();
  const char* headers[] = {"Header of the pane"};
  ASSERT_EQ(pane.SetHeaders(headers, 1), 0);
  document.Into(pane);
  pane.Revalidate();
  pane.row = 1;
  Paint(window);
  Update(window);

  // The header's marker cell is a blank in the title colours; its text starts right
  // of it.
  EXPECT_EQ(screen.Row(0), " Header of the pane");
  EXPECT_EQ(screen.At(0, 0).back, Back(1));
  EXPECT_EQ(screen.At(0, 0).text, Fore(1));
  for (std::size_t i = 0; i < cases.size() && static_cast<int32_t>(i) < pane.rows; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const int32_t row = static_cast<int32_t>(i) + 1;
    const uint32_t markerElement = static_cast<int32_t>(i) == pane.row ? 10 : 8;
    EXPECT_EQ(screen.At(row, 0).ch, c.marker);
    EXPECT_EQ(screen.At(row, 0).back, Back(markerElement));
    EXPECT_EQ(screen.Row(row).substr(1), texts[i].substr(0, kColumns - 1));
    EXPECT_EQ(screen.At(row, 1).back, Back(c.lineBack));
    EXPECT_EQ(screen.At(row, 1).text, Fore(c.lineText));
    // The line's background reaches the right edge.
    EXPECT_EQ(screen.At(row, kColumns - 1).back, Back(c.lineBack));
  }
}

// A line move scrolls the pixels and draws only the line that came into view, in the
// view's columns; the screen is the one a full paint leaves.
TEST_F(TextPaneDrawingTest, OneLineScrollDrawsOneLine) {
  std::vector<std::string> texts;
  for (int i = 0; i < 100; ++i) texts.push_back("line " + std::to_string(i) + " of a long listing, scrolled across");
  Document document(texts);
  LineWindow& window = Open(0x0c);
  TextPane& pane = window.GetTextPane();
  document.Into(pane);
  pane.Revalidate();
  Paint(window);
  Update(window);
  screen.TakeTextCalls();
  struct Step {
    const char* name;
    int32_t key;
    int32_t top;
  };
  const Step steps[] = {
      {"Ctrl+Down", 372, 1}, {"Ctrl+Down again", 372, 2}, {"Ctrl+Up", 371, 1},
      {"three columns right", 322, 1}, {"Ctrl+Down in the scrolled view", 372, 2}, {"Ctrl+Up there", 371, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (step.key == 322) {
      for (int i = 0; i < 3; ++i) pane.HandleKey(step.key);
      Update(window);
      screen.TakeTextCalls();
      continue;
    }
    WindowEvent key;
    key.type = kEventKey;
    key.words[0] = step.key;
    DispatchWindowEvent(window.LayerWindowId(), key);
    const std::string log = system.TakeLog();
    EXPECT_EQ(log.find("Invalidate"), std::string::npos) << log;
    screen.Apply(log);
    EXPECT_EQ(pane.top, step.top);
    EXPECT_EQ(screen.TakeTextCalls(), 1) << log;
    LayerScreen painted("lines", kRows, kColumns);
    painted.Apply(log);
    Paint(window);
    painted.Apply(system.TakeLog());
    EXPECT_EQ(screen.Rows(), painted.Rows());
    EXPECT_TRUE(screen == painted);
  }
}

TEST_F(TextPaneDrawingTest, ClickDragAndPressBelowTheLastLine) {
  Document document({"alpha beta gamma", "delta epsilon", "zeta"});
  LineWindow& window = Open(kPaneTextSelection | 0x0c);
  TextPane& pane = window.GetTextPane();
  document.Into(pane);
  pane.Revalidate();
  Paint(window);
  Update(window);
  const std::string stretch = Back(11);

  // A move of 2 pixels after the press is still a click: the word under it.
  Mouse(window, kEventMouseDown, 8 * 7 + 1, 13 + 2);
  Mouse(window, kEventMouseMove, 8 * 7 + 3, 13 + 2);
  Mouse(window, kEventMouseUp, 8 * 7 + 3, 13 + 2);
  Update(window);
  EXPECT_EQ(pane.row, 1);
  EXPECT_EQ(pane.selStart, 6);
  EXPECT_EQ(pane.selLength, 7);
  EXPECT_EQ(screen.At(1, 6).back, Back(12)) << "the word shows selected";
  EXPECT_EQ(screen.At(1, 5).back, Back(4));

  // A third pixel makes it a drag: the stretch shows while it is dragged, and becomes
  // the selection (the old one drawn plain).
  Mouse(window, kEventMouseDown, 8 * 2 + 1, 2);
  Mouse(window, kEventMouseMove, 8 * 2 + 4, 2);
  Mouse(window, kEventMouseMove, 8 * 8 + 1, 2);
  Update(window);
  EXPECT_EQ(screen.At(0, 2).back, stretch);
  EXPECT_EQ(screen.At(0, 8).back, stretch);
  EXPECT_EQ(screen.At(0, 9).back, Back(4));
  EXPECT_EQ(screen.At(1, 6).back, Back(4));
  Mouse(window, kEventMouseMove, 8 * 4 + 1, 2);
  Update(window);
  EXPECT_EQ(screen.At(0, 4).back, stretch);
  EXPECT_EQ(screen.At(0, 5).back, Back(4)) << "a column that left the stretch is plain again";
  Mouse(window, kEventMouseUp, 8 * 4 + 1, 2);
  Update(window);
  EXPECT_EQ(pane.row, 0);
  EXPECT_EQ(pane.selStart, 2);
  EXPECT_EQ(pane.selLength, 3);
  EXPECT_EQ(screen.At(0, 3).back, Back(12));

  // A press below the last line changes nothing, and neither does its release.
  const LayerScreen before = screen;
  Mouse(window, kEventMouseDown, 8 * 3, 13 * 5 + 1);
  Mouse(window, kEventMouseMove, 8 * 9, 13 * 5 + 1);
  Mouse(window, kEventMouseUp, 8 * 9, 13 * 5 + 1);
  EXPECT_EQ(system.TakeLog(), "");
  EXPECT_EQ(pane.row, 0);
  EXPECT_EQ(pane.selStart, 2);
  EXPECT_EQ(pane.selLength, 3);
}

// A field pane: a click selects a field and places the caret; what is typed shows in
// the field's colours and the caret follows it.
TEST_F(TextPaneDrawingTest, FieldEditShowsInTheFieldWithItsCaret) {
  Document document({"eax 00000001 ebx 00000002"});
  FieldPosition positions[] = {{4, 8}, {17, 8}};
  FieldLayout fields;
  fields.count = 2;
  fields.fixed = 0;
  fields.list = positions;
  document.lines[0].fields = &fields;
  LineWindow& window = Open(kPaneFields | 0x0c);
  TextPane& pane = window.GetTextPane();
  pane.fieldPane = true;
  document.Into(pane);
  pane.Revalidate();
  system.focus = handle;
  Paint(window);
  Update(window);
  Mouse(window, kEventMouseDown, 8 * 19 + 3, 5);
  std::string log = system.TakeLog();
  EXPECT_NE(log.find("Caret lines 8x13 at 152,0"), std::string::npos) << log;
  screen.Apply(log);
  EXPECT_EQ(screen.At(0, 17).back, Back(10));
  EXPECT_EQ(screen.At(0, 16).back, Back(4));
  for (int32_t key : {'f', 'e'}) {
    WindowEvent typed;
    typed.type = kEventKey;
    typed.words[0] = key;
    DispatchWindowEvent(window.LayerWindowId(), typed);
  }
  log = system.TakeLog();
  screen.Apply(log);
  EXPECT_EQ(screen.Row(0), "eax 00000001 ebx 00fe0002");
  EXPECT_EQ(screen.At(0, 19).back, Back(10));
  EXPECT_NE(log.find("Caret lines 8x13 at 168,0"), std::string::npos) << log;
}

}  // namespace
}  // namespace zentor
