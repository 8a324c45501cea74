#include "windows/debugger_windows.h"

#include "core/view_kind.h"
#include "gui/frame_commands.h"
#include "gui/memory_display_settings.h"
#include "gui/named_forms.h"
#include "gui/window_factory.h"
#include "windows/breakpoint_dialogs.h"
#include "windows/callstack_window.h"
#include "windows/inspector_windows.h"
#include "windows/memory_dialogs.h"
#include "windows/memory_window.h"
#include "windows/registers_window.h"

namespace zentor {

void InstallDebuggerWindows() {
  SetWindowObjectCreator(kViewMemory, &CreateMemoryWindow);
  SetWindowObjectCreator(kViewRegisters, &CreateRegistersWindow);
  SetWindowObjectCreator(kViewLocals, &CreateLocalsWindow);
  SetWindowObjectCreator(kViewInspect, &CreateInspectWindow);
  SetWindowObjectCreator(kViewCallstack, &CreateCallstackWindow);
  DialogFormLoadHandlerTable::SetHandler(kMemoryDisplayRecordId, &MemorySettingsLoadHandler);
  SetMemoryDisplayOpener(&ShowMemoryDisplayDialog);
  InstallBreakpointAndWatchDialogs();
}

}  // namespace zentor
