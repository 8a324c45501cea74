#pragma once
// The debugger's windows over the recording window layer, against the stand-in agent
// running DEMO over UDP loopback: DEMO's symbols loaded at the connection along the
// search path (its sources too), the command language bound as start-up binds it,
// the windows made by the window factory from their classes, requests through the
// real dispatcher to the real view managers.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "core/window_layer.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_backend.h"
#include "gui/win_super.h"
#include "harness/dialog_driver.h"
#include "harness/fake_message_queue.h"
#include "harness/recording_layer_system.h"
#include "harness/recording_shell_system.h"
#include "harness/stand_in_session.h"

namespace zentor::testing_support {

// The recording system's fixed font: cells of 8 by 13 pixels.
inline constexpr int32_t kCellWidth = 8;
inline constexpr int32_t kCellHeight = 13;

class DebuggerWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Connects to the agent running DEMO, stopped at main's entry, with further
  // arguments for the agent; skips the test when the agent is not built here.
  void ConnectToDemo(const std::vector<std::string>& agentArguments = {});
  // Connects to the agent running a sample module ("spin") with nothing on the search
  // path: the module's symbols are not loaded.
  void ConnectWithoutSymbols(const std::string& module);
  // A window of the kind for the current viewpoint, `rows` rows and `columns` text
  // columns (the Source window's marker column comes on top).
  WinSuper* Open(int32_t kind, int32_t rows = 12, int32_t columns = 80);
  // Closes a window as its close event does.
  void Close(WinSuper* window);

  // Events as the message loop makes them.
  void Key(WinSuper* window, int32_t code, bool ctrl = false);
  void Mouse(WinSuper* window, int32_t type, int32_t row, int32_t column, int32_t button = 0);
  void Command(WinSuper* window, int32_t command);
  // Polls the agent's events until the thread stopped, then the refresh before the
  // next input wait.
  void WaitForStopAndRefresh();

  // For the tests that act through the program's window procedures
  // (harness/window_procedures.h): a message queue that holds the modifier keys and a
  // shell system that makes the windows a command opens, installed until the test ends.
  void UseWindowProcedures();
  FakeMessageQueue& Queue() { return *m_queue; }
  // The window gets the focus as a click or an activation gives it, so that the
  // characters typed reach it.
  void Focus(const WinSuper* window);
  NativeWindow HandleOf(const WinSuper* window) { return m_layer.Handle(window->LayerWindowId()); }
  // The window's client pixel at the middle of a text cell.
  static int32_t CellY(int32_t row) { return row * kCellHeight + kCellHeight / 2; }
  static int32_t CellX(int32_t column) { return column * kCellWidth + kCellWidth / 2; }

  // The number of the last error reported since the last call (0: none).
  static uint32_t TakeReportedError();
  // Index of the first held line of the pane whose text contains `text`; -1 when none.
  static int32_t IndexOf(const TextPane& pane, const std::string& text);

  RecordingLayerSystem m_system;
  GuiWindowLayer m_layer{m_system};
  NativeWindow m_frame = 0;
  StandInSession m_session;
  uint32_t m_viewpoint = 0;
  int m_next = 0;
  std::unique_ptr<FakeMessageQueue> m_queue;
  std::unique_ptr<RecordingShellSystem> m_shell;
};

// The same with dialogs: the core's window layer goes to the GUI's, and the scripted
// driver plays the dialogs over their real templates.
class DebuggerDialogsTest : public DebuggerWindowsTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  LayerBackend m_backend{m_layer};
  WindowLayerBackend* m_previousBackend = nullptr;
  DialogDriver m_driver{m_system};
};

// Undoes start-up's InstallDebuggerWindows: the data windows' kinds get placeholder
// windows again and their dialogs' hooks go.
void RemoveDebuggerWindows();

}  // namespace zentor::testing_support
