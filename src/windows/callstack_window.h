#pragma once
// The Callstack window: the call frames of its viewpoint's stopped program, one or more
// lines per frame, each line carrying its frame's number as its line data. One frame is
// current and its first line carries the mark; the keys and the mouse move it, Enter
// or a double click browses to it (the call-stack view manager, kind 19, makes it the
// viewpoint's current frame), and the popup switches between the compact and the
// expanded listing. The window reports nothing: a failed request is silent, a move
// that cannot be made beeps.

#include <cstdint>
#include <memory>

#include "windows/data_window.h"

namespace zentor {

class CallstackWindow final : public DataWindow {
 public:
  CallstackWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~CallstackWindow() override;

  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  // 1 enables both popup items, 0 greys them.
  void OnReserved(uint32_t word) override;
  void OnCommand(int32_t command) override;
  void OnRefresh(int32_t force) override;
  void OnEngineNotify() override;
  // The window fills its pane itself: the pane's requests are not passed on.
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  // No painting while a request to the manager runs.
  void OnPaint(const WindowEvent& event) override;

  int32_t CurrentLine() const { return m_currentLine; }
  int32_t CurrentFrame() const { return m_currentFrame; }
  bool Expanded() const { return m_expanded != 0; }

 private:
  // A request with the busy word set while it runs; its status is dropped.
  void Request(int32_t code, intptr_t argument);
  void Browse();
  int32_t FrameOfLine(int32_t line) const;
  int32_t FindFrameLine(int32_t frame) const;
  // The first line of `line`'s frame becomes the current line; the current frame.
  int32_t SelectFrameAtLine(int32_t line);
  void PreviousFrame();
  void NextFrame();
  void SelectFrameNear(int32_t key);
  void EnsureLineVisible(int32_t line);
  void MarkCurrent(bool marked) { SetLineMark(m_currentLine, marked); }
  void PageKey(int32_t key);
  void ControlHomeEnd(int32_t key);
  // The row of a mouse event that holds a line; -1 when none does.
  int32_t RowWithLine(const WindowEvent& event) const;

  uint32_t m_expanded = 0;
  int32_t m_currentLine = -1;
  int32_t m_currentFrame = -1;
  uint32_t m_busy = 0;
};

std::unique_ptr<WinSuper> CreateCallstackWindow(NativeWindow window, uint32_t viewpointValue, const char* title);

}  // namespace zentor
