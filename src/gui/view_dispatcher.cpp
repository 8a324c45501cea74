#include "gui/view_dispatcher.h"

#include "gui/win_super.h"

#include "command/grammar_object.h"
#include "console/char_channel.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "core/hi_service.h"
#include "core/program_names.h"
#include "core/typed_location.h"
#include "core/view_kind.h"
#include "engine/breakpoint_sets.h"
#include "engine/execution_control.h"
#include "engine/view_managers.h"
#include "symbols/symbol_context.h"

namespace zentor {

namespace {

// "Browsing to a data value not allowed."
constexpr uint32_t kBrowseToDataValue = 240;

bool HasManager(int32_t kind) {
  switch (kind) {
    case kViewWatch:
    case kViewRegisters:
    case kViewMemory:
    case kViewInspect:
    case kViewModules:
    case kViewCallstack:
      return true;
    default:
      return false;
  }
}

int32_t CallManager(DVError& status, const TextPane* pane, int32_t code, intptr_t argument) {
  BaseManager* manager = ViewManagerAt(pane->layerId);
  return manager != nullptr ? manager->HandleRequest(status, code, argument) : 0;
}

// Requests of a window whose manager lives from its 0x46 to its 0x47. The manager is
// destroyed after 0x47 even when its handling raised: the window is gone either way,
// and a slot left taken would refuse the next window of that slot.
int32_t RouteToManager(DVError& status, int32_t kind, TextPane* pane, int32_t code, intptr_t argument) {
  if (pane == nullptr) {
    ViewCreatorHandler handler = ViewCreatorTable::Find(kind);
    return handler != nullptr ? handler(status, code, argument) : 0;
  }
  if (code == kGuiOpened) {
    CreateViewManager(pane, kind);
    return CallManager(status, pane, code, argument);
  }
  if (code == kGuiClosing) {
    int32_t result = 0;
    try {
      result = CallManager(status, pane, code, argument);
    } catch (...) {
      DestroyViewManager(pane->layerId);
      throw;
    }
    DestroyViewManager(pane->layerId);
    return result;
  }
  return CallManager(status, pane, code, argument);
}

// The Source manager counts the pane's held lines from 1: its first and last words are
// one higher for the length of each call.
int32_t CallSourceManager(DVError& status, TextPane* pane, int32_t code, intptr_t argument) {
  BaseManager* manager = ViewManagerAt(pane->layerId);
  if (manager == nullptr) return 0;
  ++pane->first;
  ++pane->last;
  int32_t result = 0;
  try {
    result = manager->HandleRequest(status, code, argument);
  } catch (...) {
    --pane->first;
    --pane->last;
    throw;
  }
  --pane->first;
  --pane->last;
  return result;
}

// 0x71: the manager runs again after each round of the message loop while a Source
// window of the viewpoint is open and nobody cleared the repeat flag (a key or a
// click sends 0x87).
int32_t RepeatSourceRequest(DVError& status, TextPane* pane, int32_t code, int32_t viewpointValue,
                            intptr_t argument) {
  BoolFlag& repeat = ViewDispatcher::RepeatFlag();
  repeat.Set();
  int32_t result = 0;
  do {
    result = CallSourceManager(status, pane, code, argument);
    PaneWindow().Get().RunMessageLoopRound();
  } while (PaneWindow().Get().WindowExists(kViewSource, viewpointValue) && repeat.IsSet() &&
           ViewManagerAt(pane->layerId) != nullptr);
  return result;
}

int32_t RouteToSource(DVError& status, TextPane* pane, int32_t code, int32_t viewpointValue, intptr_t argument) {
  if (pane == nullptr) {
    ViewCreatorHandler handler = ViewCreatorTable::Find(kViewSource);
    return handler != nullptr ? handler(status, code, argument) : 0;
  }
  if (code == kGuiOpened) {
    CreateViewManager(pane, kViewSource);
    return 0;
  }
  if (code == kGuiClosing) {
    DestroyViewManager(pane->layerId);
    return 0;
  }
  if (code == kGuiRepeat) return RepeatSourceRequest(status, pane, code, viewpointValue, argument);
  return CallSourceManager(status, pane, code, argument);
}

}  // namespace

BoolFlag& ViewDispatcher::RepeatFlag() { return StepControl::RepeatFlagWord(); }

int32_t ViewDispatcher::Dispatch(DVError& status, int32_t kind, TextPane* pane, int32_t code,
                                 int32_t viewpointValue, intptr_t argument) {
  if (pane != nullptr && pane->layerId < 0) pane = nullptr;
  int32_t result = 0;
  try {
    if (HasManager(kind)) {
      result = RouteToManager(status, kind, pane, code, argument);
    } else if (kind == kViewSource) {
      result = RouteToSource(status, pane, code, viewpointValue, argument);
    } else if (kind == kViewBreakpointDialogs) {
      HandleBreakpointRequest(&status, pane != nullptr ? static_cast<uint32_t>(pane->layerId) : 0,
                              static_cast<uint32_t>(code), reinterpret_cast<void*>(argument));
      result = static_cast<int32_t>(status.Number());
    } else if (kind == kViewCommand) {
      result = HandleCommandWindowRequest(0, 0, static_cast<uint32_t>(code), reinterpret_cast<const void*>(argument));
    } else if (kind == kViewGuiState) {
      result = HandleGuiStateRequest(status, pane, code, argument);
    }
  } catch (const DVError& error) {
    result = static_cast<int32_t>(error.Number());
    status = error;
    OutputWriter::RemoveHook();
  }
  return result;
}

int32_t ViewDispatcher::RunGuiCommand(DVError& status, WinSuper& window, int32_t code, intptr_t argument) {
  return Dispatch(status, window.Kind(), &window.GetTextPane(), code, static_cast<int32_t>(window.GetViewpoint().Value()),
                  argument);
}

int32_t ViewDispatcher::RunGuiCommandForKind(DVError& status, int32_t kind, TextPane* pane, int32_t code,
                                             intptr_t argument) {
  return Dispatch(status, kind, pane, code, 0, argument);
}

int32_t ViewDispatcher::RunGuiCommandQuiet(int32_t kind, TextPane* pane, int32_t code, intptr_t argument) {
  DVError status(0, 0, kDisplayByFocus);
  return RunGuiCommandForKind(status, kind, pane, code, argument);
}

int32_t HandleGuiStateRequest(DVError& status, TextPane* /*pane*/, int32_t code, intptr_t argument) {
  uint32_t number = 0;
  uint32_t severity = 0;
  switch (code) {
    case kGuiRestoreStatus:
      RestoreStatusText();
      break;
    case kGuiExitDebugger:
      ExitDebugger();
      break;
    case kGuiProgramBaseName:
      GetProgramBaseName(reinterpret_cast<char*>(argument));
      break;
    case kGuiProgramDirectory:
      GetProgramDirectory(reinterpret_cast<char*>(argument));
      break;
    case kGuiBrowse:
    case kGuiBrowseFromList: {
      uint32_t locationKind = 0;
      TypedLocation location;
      DVError error;
      const char* text = reinterpret_cast<const char*>(argument);
      const DVErrorCode evaluated =
          EvaluateTextToLocationInto(text != nullptr ? text : "", kProductionLocation, &locationKind, &location, &error);
      if (evaluated.IsOkay() && locationKind == kLocationOffsetType) {
        // A browse that fails on the way is not reported as done.
        const DVErrorCode browsed = BrowseHistory::Push(location.Address());
        number = browsed.Number();
        severity = browsed.Severity();
      } else {
        number = kBrowseToDataValue;
        severity = kSeverityError;
      }
      break;
    }
    case kGuiIsRepeating:
      if (ViewDispatcher::RepeatFlag().IsSet()) {
        number = 1;
        severity = kSeverityWarning;
      }
      break;
    case kGuiStopRepeat:
      ViewDispatcher::RepeatFlag().Clear();
      break;
    default:
      break;
  }
  if (number == 0) {
    status.Reset();
  } else {
    status.Set(number, severity, kDisplayByFocus, nullptr);
  }
  return static_cast<int32_t>(status.Number());
}

}  // namespace zentor
