#pragma once
// The Command window: the window object of kind 10, on the frame's client area, in
// which commands are typed and their output read. Its static operations are the
// Command window pane's (command_pane.cpp): one pane for the run, whatever the number
// of window objects. The object forwards its events to the pane and follows the
// current viewpoint: it always belongs to it, and when the current viewpoint or its
// alias changes it prints the prompt again on a fresh line and brings the frame's
// run-control commands, the status line and the General window up to date. The window
// factory builds it (InstallCommandWindow); dialogs run their command texts through
// RunCommandTextFromDialog.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/collectable_record.h"
#include "core/dv_error_code.h"
#include "core/text_pane.h"
#include "gui/layer_types.h"
#include "gui/win_super.h"

namespace zentor {

class CommandWindow final : public WinSuper {
 public:
  // The window object on a Win32 window: the first one takes the pane's window id.
  CommandWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  // Forgets the pane's window (ClosePane); the pane's text stays for the next one.
  ~CommandWindow() override;

  void OnFocusGained() override;
  void OnFocusLost() override;
  void OnKey(const WindowEvent& event) override;
  // Clicks and menu commands do nothing in the Command window.
  void OnMouse(const WindowEvent&) override {}
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  // The refresh before each input wait (Refresh).
  void OnRefresh(int32_t code) override;
  void OnEngineNotify() override {}
  // Nothing is asked of a producer: the pane is written by the console output.
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  // The window follows the current viewpoint.
  void SetViewpoint(ViewpointHandle viewpoint) override;
  void OnPaint(const WindowEvent& event) override;
  // The pane's layout, then the command language learns the rows (request 502).
  void OnResize(const WindowEvent& event) override;
  void OnVScroll(const WindowEvent& event) override;
  void OnHScroll(const WindowEvent& event) override;
  // Reprints the prompt when the current viewpoint or its alias changed (not with the
  // start-up option "test"); a new current viewpoint also sets the run-control
  // commands by its run state, its status text and the General window.
  void Refresh();

  // ---- the pane (one for the run) ----
  // The first Command window's layer id: recorded, 80 columns until the first layout.
  static void InitPane(int32_t layerId);
  // Forgets the window (its layer window closed and destroyed); the text stays.
  static void ClosePane();
  static int32_t WindowId();

  // Output into the line in progress; a text ending in CR or LF completes the line.
  static void WriteText(const char* text, std::size_t length);
  static void WriteChar(char ch);
  static int32_t InputColumn();
  // Sets the input column (kept within 0..511); a column other than 0 moves the caret.
  static void RestoreCaret(int32_t column);
  // The caret at the input column on the input row.
  static void PlaceCaret();
  // Output leaves the caret for the wait before the next key: shown there (at the
  // input column, when the view shows the line in progress).
  static void ShowPendingCaret();
  // Asks for the paint that output moving the view left owed: now, or only when the
  // last one was asked for at least 20 ms ago (a burst of lines is painted at most
  // fifty times a second, not once per line).
  static void SettlePicture(bool now);
  // Redraws the part of the pane within the rectangle (null: the whole client area).
  static void Repaint(const LayerRect* area);
  // Rows, columns and the bars after a size or font change.
  static void Relayout(int32_t layerId);

  // The window's key and focus events (a focus event's first word: 1 gained, 0 lost,
  // others nothing); other events are not the pane's.
  static void HandleEvent(int32_t layerId, const WindowEvent& event, int32_t type);
  // Keys (internal codes) and focus.
  static void HandleKey(int32_t code);
  static void HandleFocus(bool gained);
  static void HandleVerticalScroll(int32_t layerId, int32_t code, int32_t position);
  static void HandleHorizontalScroll(int32_t layerId, int32_t code, int32_t position);
  // The notice of kind 10: 0x1f5 shifts the view for the line editor (0), any other
  // code answers -1.
  static int32_t OnEngineNotice(uint32_t argument, uint32_t code, const void* words);
  static void ShiftHorizontally(int32_t direction, int32_t count, int32_t caretColumn);

  static void ScrollToTop();
  static void ScrollToBottom();
  static void PageUp();
  static void PageDown();
  static void LineUp();
  static void LineDown();
  static void ScrollToLine(int32_t position);

  // What the pane holds, for the layout code and the tests: completed line `index`
  // (0 = oldest; empty when none), the line in progress, the numbers of the view.
  static const char* StoredLine(int32_t index);
  static const char* LineInProgress();
  static int32_t CurrentLineIndex();
  static bool IsFull();
  static int32_t TopLine();
  static int32_t BottomLine();
  static int32_t Rows();
  static int32_t Columns();
  // The window's view of the pane: visible rows and columns, left column, 127 columns.
  static TextPane& View();

  // Back to the start of a run: no window, no text.
  static void Reset();

 private:
  static void LayOut(bool measureFont);
  void WatchCurrentViewpointName();

  // Marked when the current viewpoint's alias changes.
  std::unique_ptr<CollectableRecord> m_nameRecord;
};

// The window factory builds Command windows (kind 10) from now on, and the engine's
// notices of kind 10 reach CommandWindow::OnEngineNotice.
void InstallCommandWindow();

// Runs a command text a dialog built: cut to 510 characters, leading blanks and tabs
// skipped, a carriage return appended, run through the command runner with the
// capture (first line only or all; `buffer` of 511 bytes, or null when the output is
// not wanted). A text of blanks beeps and answers 210. The result is the command's
// message number (0 when it succeeded), in *result and returned.
DVErrorCode* RunCommandTextFromDialog(DVErrorCode* result, int32_t firstLineOnly, const char* text, char* buffer);

}  // namespace zentor
