#include "windows/callstack_window.h"

#include <algorithm>

#include "core/view_kind.h"
#include "gui/gui_window_layer.h"
#include "windows/refresh_pending.h"

namespace zentor {

namespace {

constexpr uint32_t kCallstackPaneStyle = 0x0c;
constexpr int32_t kPopupBrowse = 0;
constexpr int32_t kPopupListing = 1;
constexpr int32_t kPopupPreviousFrame = 2;
const char* const kPopupItems[] = {"&Browse To", "&Expand"};
constexpr const char* kExpandText = "&Expand";
constexpr const char* kContractText = "&Contract";

constexpr int32_t kKeyEnter = 13;
constexpr int32_t kKeyUp = 301;
constexpr int32_t kKeyDown = 302;
constexpr int32_t kKeyPageUp = 305;
constexpr int32_t kKeyPageDown = 306;
constexpr int32_t kKeyCtrlHome = 319;
constexpr int32_t kKeyCtrlEnd = 320;
constexpr int32_t kKeyCtrlLeft = 321;
constexpr int32_t kKeyCtrlPageUp = 324;
constexpr int32_t kAltA = 1089;

}  // namespace

CallstackWindow::CallstackWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : DataWindow(window, viewpointValue, title, kViewCallstack, kCallstackPaneStyle,
                 {kRecordSymbolBrowsing, kRecordTargetMemory, kRecordExecutionState, kRecordOtherView}) {
  ListInWindowMenu("Callstack");
  LayerRef().CreatePopupMenu(LayerWindowId(), kPopupItems, 2);
  {
    WaitCursor wait(kPumpCursorMessages);
    Request(kGuiOpened, 0);
    Request(kGuiRefresh, 0);
    Request(kGuiCurrentFrame, reinterpret_cast<intptr_t>(&m_currentFrame));
  }
  RegisterChangeRecords();
  if (m_currentFrame >= 0) {
    const int32_t line = FindFrameLine(m_currentFrame);
    if (line >= 0) {
      m_currentLine = line;
      MarkCurrent(true);
      EnsureLineVisible(line);
    }
  }
  GetTextPane().Revalidate();
}

// The window goes whatever the manager answers to the close.
CallstackWindow::~CallstackWindow() {
  Request(kGuiClosing, 0);
  CloseLayerWindow(true);
}

void CallstackWindow::Request(int32_t code, intptr_t argument) {
  DVError status = FreshRequestStatus();
  m_busy = 1;
  Send(status, code, argument);
  m_busy = 0;
}

void CallstackWindow::Browse() {
  WaitCursor wait(kPumpCursorMessages);
  Request(kGuiBrowse, reinterpret_cast<intptr_t>(&m_currentFrame));
}

void CallstackWindow::OnPaint(const WindowEvent& event) {
  if (m_busy == 0) PaintPane(event);
}

void CallstackWindow::OnEngineNotify() {
  Request(kGuiEngineNotice, 0);
  GetTextPane().Revalidate();
}

void CallstackWindow::OnReserved(uint32_t word) {
  LayerRef().EnableMenuItem(LayerWindowId(), kPopupBrowse, word != 0 ? 1 : 0);
  LayerRef().EnableMenuItem(LayerWindowId(), kPopupListing, word != 0 ? 1 : 0);
}

int32_t CallstackWindow::FrameOfLine(int32_t line) const {
  const PaneLine* paneLine = GetTextPane().LineAt(line);
  return paneLine != nullptr && line < GetTextPane().count ? static_cast<int32_t>(paneLine->lineData) : -1;
}

int32_t CallstackWindow::FindFrameLine(int32_t frame) const {
  for (int32_t line = 0; line < GetTextPane().count; ++line) {
    if (FrameOfLine(line) == frame) return line;
  }
  return -1;
}

int32_t CallstackWindow::SelectFrameAtLine(int32_t line) {
  const int32_t frame = FrameOfLine(line);
  if (frame == 0) {
    m_currentLine = 0;
    m_currentFrame = 0;
    return m_currentFrame;
  }
  while (line > 0 && FrameOfLine(line - 1) == frame) --line;
  m_currentLine = line;
  m_currentFrame = frame;
  return m_currentFrame;
}

void CallstackWindow::PreviousFrame() {
  if (m_currentFrame <= 0) return;
  if (m_currentFrame == 1) {
    m_currentFrame = 0;
    m_currentLine = 0;
    return;
  }
  --m_currentFrame;
  int32_t line = m_currentLine - 1;
  while (line > 0 && FrameOfLine(line - 1) == m_currentFrame) --line;
  m_currentLine = std::max(line, 0);
}

void CallstackWindow::NextFrame() {
  const int32_t count = GetTextPane().count;
  if (count == 0 || FrameOfLine(count - 1) == m_currentFrame) return;
  ++m_currentFrame;
  for (int32_t line = std::max(m_currentLine, 0); line < count; ++line) {
    if (FrameOfLine(line) == m_currentFrame) {
      m_currentLine = line;
      return;
    }
  }
}

// The frame of the line the page move left current, or its neighbour in the move's
// direction when that is the current frame already; the first and the last frame stop
// the move.
void CallstackWindow::SelectFrameNear(int32_t key) {
  const int32_t count = GetTextPane().count;
  if (count == 0) return;
  const int32_t line = std::clamp(m_currentLine, 0, count - 1);
  int32_t frame = FrameOfLine(line);
  if (frame == m_currentFrame) frame += key == kKeyPageDown ? 1 : -1;
  const int32_t lastFrame = FrameOfLine(count - 1);
  if (frame < 1) {
    m_currentFrame = 0;
    m_currentLine = 0;
  } else if (frame < lastFrame) {
    m_currentFrame = frame;
    m_currentLine = std::max(FindFrameLine(frame), 0);
  } else {
    SelectFrameAtLine(count - 1);
  }
}

// A line at top + rows lies below the view: the last visible row is top + rows - 1.
void CallstackWindow::EnsureLineVisible(int32_t line) {
  TextPane& pane = GetTextPane();
  if (line < 0) return;
  if (line < pane.top) {
    pane.top = line;
  } else if (pane.rows > 0 && line >= pane.top + pane.rows) {
    pane.top = line - (pane.rows - 1);
  } else {
    return;
  }
  pane.UpdateVScrollPos();
  PaneWindow().Get().InvalidateWindow(LayerWindowId());
}

void CallstackWindow::PageKey(int32_t key) {
  TextPane& pane = GetTextPane();
  if (pane.rows >= pane.count) return;
  MarkCurrent(false);
  const int32_t offset = m_currentLine - pane.top;
  const int32_t before = m_currentLine;
  if (key == kKeyPageUp) {
    pane.PageUp();
  } else {
    pane.PageDown();
  }
  m_currentLine = std::clamp(pane.top + offset, 0, pane.count - 1);
  if (key == kKeyPageDown && m_currentLine == before) {
    m_currentLine = pane.count - 1;
    pane.ScrollToLine(m_currentLine);
  }
  SelectFrameNear(key);
  if (key == kKeyPageUp) pane.ScrollToLine(m_currentLine);
  MarkCurrent(true);
  EnsureLineVisible(m_currentLine);
}

void CallstackWindow::ControlHomeEnd(int32_t key) {
  TextPane& pane = GetTextPane();
  pane.HandleKey(key);
  if (key == kKeyCtrlHome) {
    if (m_currentLine == 0) {
      Beep();
      return;
    }
    MarkCurrent(false);
    m_currentFrame = 0;
    m_currentLine = 0;
    MarkCurrent(true);
    EnsureLineVisible(m_currentLine);
    return;
  }
  if (m_currentLine == pane.count - 1) {
    Beep();
    return;
  }
  MarkCurrent(false);
  if (SelectFrameAtLine(pane.count - 1) != 0) {
    MarkCurrent(true);
    EnsureLineVisible(m_currentLine);
  }
}

void CallstackWindow::OnKey(const WindowEvent& event) {
  const int32_t key = event.KeyCode();
  TextPane& pane = GetTextPane();
  if (m_currentLine < 0 && key != kAltA) {
    Beep();
    return;
  }
  const bool haveFrame = m_currentFrame >= 0;
  switch (key) {
    case kKeyEnter:
      if (!haveFrame) {
        Beep();
      } else {
        Browse();
      }
      break;
    case kKeyUp:
      if (!haveFrame) break;
      if (m_currentLine == 0) {
        Beep();
        break;
      }
      MarkCurrent(false);
      PreviousFrame();
      if (m_currentLine < pane.top) pane.ScrollToLine(m_currentLine);
      MarkCurrent(true);
      EnsureLineVisible(m_currentLine);
      break;
    case kKeyDown:
      if (!haveFrame) break;
      if (m_currentLine >= pane.count - 1) {
        Beep();
        break;
      }
      MarkCurrent(false);
      NextFrame();
      if (m_currentLine >= pane.top + pane.rows) {
        pane.ScrollToLine(pane.count < pane.rows + m_currentLine ? pane.count - pane.rows : m_currentLine);
      }
      MarkCurrent(true);
      EnsureLineVisible(m_currentLine);
      break;
    case kKeyPageUp:
    case kKeyPageDown:
      PageKey(key);
      break;
    case kKeyCtrlHome:
    case kKeyCtrlEnd:
      if (haveFrame) ControlHomeEnd(key);
      break;
    case kAltA:
      ShowPopup();
      break;
    default:
      if (key >= kKeyCtrlLeft && key <= kKeyCtrlPageUp) {
        if (haveFrame) pane.HandleKey(key);
      } else {
        Beep();
      }
      break;
  }
}

int32_t CallstackWindow::RowWithLine(const WindowEvent& event) const {
  if (GetLineHeight() <= 0) return -1;
  const TextPane& pane = GetTextPane();
  const int32_t row = event.words[0] / GetLineHeight();
  return row >= 0 && row < pane.rows && pane.top + row < pane.count ? row : -1;
}

void CallstackWindow::OnMouse(const WindowEvent& event) {
  const bool button0 = event.words[4] == 0;
  if (event.type == kEventMouseDown && !button0) {
    ShowPopup();
    return;
  }
  if (event.type != kEventMouseDown && event.type != kEventDoubleClick) return;
  const int32_t row = RowWithLine(event);
  if (row < 0) return;
  MarkCurrent(false);
  SelectFrameAtLine(GetTextPane().top + row);
  MarkCurrent(true);
  if (event.type == kEventDoubleClick) Browse();
}

void CallstackWindow::OnCommand(int32_t command) {
  if (m_currentFrame < 0) {
    Beep();
    return;
  }
  switch (command) {
    case kPopupBrowse:
      Browse();
      break;
    case kPopupListing: {
      m_expanded = m_expanded == 0 ? 1 : 0;
      LayerRef().SetMenuItemText(LayerWindowId(), kPopupListing, m_expanded != 0 ? kContractText : kExpandText);
      WaitCursor wait(kPumpCursorMessages);
      Request(kGuiToggleListing, static_cast<intptr_t>(m_expanded));
      OnRefresh(1);
      break;
    }
    case kPopupPreviousFrame:
      Request(kGuiPreviousFrame, 0);
      break;
    default:
      break;
  }
}

// The mark goes to the first line of the frame the manager reports as current; a frame
// without a line leaves no current line, so the keys cannot walk lines that are gone.
void CallstackWindow::OnRefresh(int32_t force) {
  UpdateTitle();
  if (!TakeChanges() && force == 0) return;
  WaitCursor wait(kPumpCursorMessages);
  Request(kGuiRefresh, 0);
  RefreshPendingWord() &= static_cast<uint16_t>(~kRefreshPendingCallstack);
  Request(kGuiCurrentFrame, reinterpret_cast<intptr_t>(&m_currentFrame));
  m_currentLine = m_currentFrame >= 0 ? FindFrameLine(m_currentFrame) : -1;
  if (m_currentLine >= 0) {
    MarkCurrent(true);
    EnsureLineVisible(m_currentLine);
  }
  GetTextPane().Revalidate();
}

std::unique_ptr<WinSuper> CreateCallstackWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<CallstackWindow>(window, viewpointValue, title);
}

}  // namespace zentor
