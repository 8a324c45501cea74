#include "windows/command_window.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "console/command_reader.h"
#include "console/output_writer.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/status_line.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "gui/command_runner.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/notice_router.h"
#include "gui/target_to_gui.h"
#include "gui/view_dispatcher.h"
#include "gui/window_factory.h"
#include "windows/command_pane.h"

namespace zentor {

namespace {

// The command language's page length: the pane's visible rows.
constexpr int32_t kRequestPageLength = 502;
// The General window's refresh after the current viewpoint changed.
constexpr int32_t kGeneralRefreshViewpoint = 2;
constexpr uint32_t kMsgEmptyString = 210;
// A dialog's command text, a carriage return and the NUL.
constexpr std::size_t kCommandBufferSize = 512;
constexpr std::size_t kLongestDialogCommand = kCommandBufferSize - 2;

// Marked by the viewpoint manager whenever the current viewpoint changes; shared by
// the Command window objects.
CollectableRecord& CurrentViewpointRecord() {
  static CollectableRecord record(kRecordCurrentViewpoint);
  return record;
}

std::unique_ptr<WinSuper> MakeCommandWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<CommandWindow>(window, viewpointValue, title);
}

void BeepAtUser() {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->Beep();
}

}  // namespace

CommandWindow::CommandWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : WinSuper(window, viewpointValue, title) {
  if (WindowId() == kNoLayerId) InitPane(LayerWindowId());
  SetKind(kViewCommand);
  CurrentViewpointRecord().Register();
  WatchCurrentViewpointName();
}

CommandWindow::~CommandWindow() {
  CurrentViewpointRecord().Unregister();
  m_nameRecord.reset();
  if (WindowId() == LayerWindowId()) ClosePane();
}

void CommandWindow::WatchCurrentViewpointName() {
  m_nameRecord = std::make_unique<CollectableRecord>(kRecordWindows, CurrentViewpoint());
  m_nameRecord->Register();
}

void CommandWindow::OnFocusGained() {
  WindowEvent focus;
  focus.type = kEventFocus;
  focus.words[0] = 1;
  HandleEvent(LayerWindowId(), focus, kEventFocus);
}

void CommandWindow::OnFocusLost() {
  if (Layer() != nullptr) Layer()->HideCaret(0);
  WindowEvent focus;
  focus.type = kEventFocus;
  focus.words[0] = 0;
  HandleEvent(LayerWindowId(), focus, kEventFocus);
}

void CommandWindow::OnKey(const WindowEvent& event) { HandleEvent(LayerWindowId(), event, kEventKey); }

void CommandWindow::HandleEvent(int32_t, const WindowEvent& event, int32_t type) {
  if (type == kEventKey) {
    HandleKey(event.KeyCode());
  } else if (type == kEventFocus && (event.words[0] == 0 || event.words[0] == 1)) {
    HandleFocus(event.words[0] == 1);
  }
}

void CommandWindow::OnRefresh(int32_t) { Refresh(); }

void CommandWindow::SetViewpoint(ViewpointHandle viewpoint) { SetWindowViewpoint(viewpoint); }

void CommandWindow::OnPaint(const WindowEvent& event) {
  const LayerRect area = event.PaintArea();
  Repaint(&area);
}

void CommandWindow::OnResize(const WindowEvent&) {
  Relayout(LayerWindowId());
  DVError status(0, 0, kDisplayNone);
  ViewDispatcher::RunGuiCommandForKind(status, kViewCommand, &View(), kRequestPageLength,
                                       reinterpret_cast<intptr_t>(&View().rows));
}

void CommandWindow::OnVScroll(const WindowEvent& event) {
  HandleVerticalScroll(LayerWindowId(), event.ScrollCode(), event.ScrollPosition());
}

void CommandWindow::OnHScroll(const WindowEvent& event) {
  HandleHorizontalScroll(LayerWindowId(), event.ScrollCode(), event.ScrollPosition());
}

// 1. Both records are asked (and cleared): the current viewpoint's, then its alias's.
// 2. A change prints the prompt again on a fresh line, unless the prompt already
//    names the viewpoint as it is now or the "test" option leaves names out.
// 3. A new current viewpoint: the frame's run-control commands follow its run state,
//    the status line its text, the General window refreshes, and its alias is the one
//    watched from now on.
void CommandWindow::Refresh() {
  const bool viewpointChanged = CurrentViewpointRecord().TestAndClearChanged() != 0;
  const bool nameChanged = m_nameRecord != nullptr && m_nameRecord->TestAndClearChanged() != 0;
  if ((viewpointChanged || nameChanged) && !PromptTestOption()) {
    char name[ViewpointManager::kMaxDisplayNameLength + 3] = {};
    FormatViewpointName(GetCurrentViewpointValue(), name, sizeof name, true);
    if (std::strcmp(name, LastPromptViewpointText()) != 0) {
      OutputWriter::FreshLine();
      PrintPrompt();
    }
  }
  if (!viewpointChanged) return;
  const bool running = ViewpointManager::RunStateOf(CurrentViewpoint()) == ViewpointManager::kRunStateRunning;
  TheFrameControls().EnableRunControlCommands(!running);
  ResetStatusTextForViewpoint();
  RefreshGeneralWindow(kGeneralRefreshViewpoint);
  WatchCurrentViewpointName();
}

void InstallCommandWindow() {
  SetWindowObjectCreator(kViewCommand, &MakeCommandWindow);
  SetNoticeHandler(NoticeTarget::kCommandWindow, [](uint32_t, uint32_t argument, uint32_t code, const void* value) {
    CommandWindow::OnEngineNotice(argument, code, value);
  });
}

// 1. At most 510 characters of the text; leading blanks and tabs are skipped.
// 2. Nothing left: a beep and message 210.
// 3. Otherwise the text and a carriage return run as one command line, the output
//    captured (into a scratch buffer when the caller wants none of it).
DVErrorCode* RunCommandTextFromDialog(DVErrorCode* result, int32_t firstLineOnly, const char* text, char* buffer) {
  std::string_view command = text != nullptr ? std::string_view(text) : std::string_view();
  command = command.substr(0, kLongestDialogCommand);
  const std::size_t start = command.find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    BeepAtUser();
    *result = DVErrorCode(kMsgEmptyString, 0);
    return result;
  }
  command.remove_prefix(start);
  static char commandBuffer[kCommandBufferSize];
  std::memcpy(commandBuffer, command.data(), command.size());
  commandBuffer[command.size()] = '\r';
  commandBuffer[command.size() + 1] = '\0';
  char scratch[CommandRunner::kCaptureLimit + 1];
  DVErrorCode status;
  CommandRunner::Run(&status, firstLineOnly, commandBuffer, buffer != nullptr ? buffer : scratch);
  *result = DVErrorCode(status.Number(), 0);
  return result;
}

}  // namespace zentor
