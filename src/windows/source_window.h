#pragma once
// The Source window: the source text (or the assembly display) at the current
// location of one viewpoint, with the breakpoint marks in the marker column and the
// execution bar on the line where the target stopped, written into its pane by the
// Source view manager. From it the user sets breakpoints and passpoints on a line,
// runs to a line, browses, searches, inspects, watches and modifies variables. The
// window factory builds it for kind 1 once InstallSourceWindow has run.

#include <cstdint>
#include <string>

#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "gui/win_super.h"

namespace zentor {

inline constexpr const char kSourceInitFailureText[] = "SRC Window:  Fatal internal initialization error.";

class SourceWindow final : public WinSuper {
 public:
  // The popup menu's items (the separators take no number).
  enum PopupItem : int32_t {
    kInspect = 0,
    kWatch = 1,
    kModifyValue = 2,
    kBrowseTo = 3,
    kGoTilSourceMark = 4,
    kAsmDisplay = 5,
    kSoftwareBreakpoint = 6,
    kHardwareBreakpoint = 7,
    kPasspoint = 8,
    kClearAtMark = 9,
    kFind = 10,
    kRepeatFind = 11,
  };

  SourceWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~SourceWindow() override;

  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  // Enables (1) or greys (0) the popup's items that act on the text or the line.
  void OnReserved(uint32_t enable) override;
  void OnCommand(int32_t command) override;
  void OnRefresh(int32_t flags) override;
  void OnEngineNotify() override;
  int32_t SendViewRequest(int32_t code, intptr_t argument) override;

  // Tells the manager the current line, whose address becomes the scope.
  void SendCurrentLine() override;
  // Inspects the variable the text names, in this viewpoint's Inspect window (made
  // when there is none).
  void InspectText(const std::string& text);
  // Opens the Modify Value dialog for a text that evaluates.
  void ModifyValue(const std::string& text);
  // Opens the Source Find dialog with the selected text.
  void OpenFind();
  // Searches again for the find text, once Find has been opened from this window.
  void RepeatFind();

  // False when the window's manager could not be made: it shows nothing then.
  bool IsOpen() const { return m_open; }
  NativeWindow CreationHandle() const { return m_creationHandle; }

 private:
  static constexpr int kRecordCount = 7;

  void ShowPopup();
  int32_t SendSelectedText(int32_t code, DVError& status);
  void BrowseToSelection();
  void WatchSelection();
  void OnDoubleClick(const WindowEvent& event);
  void DropAbsentLastLine();

  NativeWindow m_creationHandle;
  CollectableRecord m_changeRecords[kRecordCount];
  int32_t m_findEnabled = 0;
  bool m_open = false;
};

// Makes the window factory build SourceWindow objects for kind 1 and the Source
// window's commands the frame's.
void InstallSourceWindow();

}  // namespace zentor
