#pragma once
// The window kinds and the numbered window requests that travel between the windows,
// the view dispatcher and the view managers. A window names itself by its kind; a
// request names what the window wants. Both cross the layers as plain 32-bit words,
// so any value can arrive and the receivers decide what to ignore.

#include <cstdint>

namespace zentor {

// The window kind shared by windows, view managers and request routing.
enum ViewKind : int32_t {
  kViewSource = 1,
  kViewWatch = 3,
  kViewRegisters = 4,
  kViewMemory = 5,
  kViewStatus = 6,
  kViewBreakpointDialogs = 8,
  kViewCommand = 10,
  kViewInspect = 11,
  kViewInvocation = 13,
  kViewLocals = 15,
  kViewModules = 16,
  kViewGuiState = 17,
  kViewCallstack = 19,
};

// The numbers of the window requests (what the window asks of its manager).
enum GuiCommand : int32_t {
  kGuiReread = 0x2a,
  kGuiOpened = 0x46,
  kGuiClosing = 0x47,
  kGuiLineUp = 0x48,
  kGuiLineDown = 0x49,
  kGuiPageUp = 0x4a,
  kGuiPageDown = 0x4b,
  kGuiDocumentStart = 0x4c,
  kGuiDocumentEnd = 0x4d,
  kGuiFillAround = 0x4e,
  kGuiRefresh = 0x4f,
  kGuiCommitField = 0x52,
  kGuiRestoreStatus = 0x53,
  kGuiMenuBracketBegin = 0x54,
  kGuiMenuBracketEnd = 0x55,
  kGuiSaveMemory = 0x56,
  kGuiCheckMemoryField = 0x57,
  kGuiEngineNotice = 0x5a,
  kGuiExitDebugger = 0x68,
  kGuiRepeat = 0x71,
  kGuiProgramBaseName = 0x80,
  kGuiProgramDirectory = 0x81,
  kGuiBrowse = 0x83,
  kGuiPreviousFrame = 0x84,
  kGuiIsRepeating = 0x86,
  kGuiStopRepeat = 0x87,
  kGuiBrowseFromList = 0x8c,
  kGuiToggleListing = 0xc8,
  kGuiSelectFrame = 0xc9,
  kGuiCurrentFrame = 0xca,
  kGuiInspectAdd = 0x1f4,
  kGuiInspectDelete = 0x1f5,
  kGuiInspectExpand = 0x1f6,
  kGuiInspectContract = 0x1f7,
  kGuiInspectValueText = 0x1f8,
  kGuiInspectLocals = 0x1f9,
  kGuiLocalsNeedRebuild = 0x1fa,
};

}  // namespace zentor
