// The windowed program's start-up over the recording layer, connected to the stand-in
// agent running DEMO: the program's own set-up of its frame, then the command loop
// with the options given, its windows painted as Windows paints them (a window shown
// or invalidated gets one WM_PAINT, when nothing posted waits, the newest first). The
// colour options decide what the General, Command and Source windows draw in, from
// the first paint each gets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/program_entry.h"
#include "app/session_reset.h"
#include "app/windowed_program.h"
#include "console/file_channel.h"
#include "gui/dialog_description_file.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_messages.h"
#include "gui/layout_state.h"
#include "gui/message_loop.h"
#include "harness/shell_test_support.h"
#include "harness/agent_process.h"
#include "harness/fake_message_queue.h"
#include "harness/recording_layer_system.h"
#include "harness/recording_shell_system.h"
#include "harness/session/console_session.h"
#include "harness/window_procedures.h"

namespace zentor {
namespace {

using testing_support::AgentProcess;
using testing_support::FakeMessageQueue;
using testing_support::RecordingLayerSystem;
using testing_support::RecordingShellSystem;
using testing_support::ScratchDirectory;

constexpr uint32_t kViewSourceCommand = 1070;

// The windows that need painting, newest first, as the paint messages Windows makes
// of them; a message the test wants sent once the program would wait with nothing to
// do. With neither left, the wait gets the quit message and the session ends.
class PaintingQueue final : public FakeMessageQueue {
 public:
  explicit PaintingQueue(RecordingLayerSystem& system) : FakeMessageQueue(system) {}

  void NeedsPaint(NativeWindow window) {
    m_invalid.erase(std::remove(m_invalid.begin(), m_invalid.end(), window), m_invalid.end());
    m_invalid.push_back(window);
  }
  bool TakePaint(NativeWindow window) {
    const auto at = std::find(m_invalid.begin(), m_invalid.end(), window);
    if (at == m_invalid.end()) return false;
    m_invalid.erase(at);
    return true;
  }
  void Forget(NativeWindow window) { TakePaint(window); }
  void WhenIdle(NativeWindow window, uint32_t message, uintptr_t wParam) {
    m_idle.push_back(LayerMessage{window, message, wParam, 0});
  }

  bool TakePending(uint32_t first, uint32_t last, LayerMessage* message) override {
    if (FakeMessageQueue::TakePending(first, last, message)) return true;
    const bool paints = (first == 0 && last == 0) || (first <= msg::kPaint && msg::kPaint <= last);
    if (!paints || m_invalid.empty()) return false;
    *message = LayerMessage{m_invalid.back(), msg::kPaint, 0, 0};
    m_invalid.pop_back();
    return true;
  }
  LayerMessage WaitForNext() override {
    LayerMessage message;
    if (TakePending(0, 0, &message)) return message;
    if (!m_idle.empty()) {
      message = m_idle.front();
      m_idle.pop_front();
      return message;
    }
    return FakeMessageQueue::WaitForNext();
  }

 private:
  std::vector<NativeWindow> m_invalid;
  std::deque<LayerMessage> m_idle;
};

// The layer's calls that make a window need painting; UpdateWindow paints it at once.
class PaintingSystem final : public RecordingLayerSystem {
 public:
  PaintingQueue* queue = nullptr;

  void Invalidate(NativeWindow window, const LayerRect* area, bool erase) override {
    RecordingLayerSystem::Invalidate(window, area, erase);
    queue->NeedsPaint(window);
  }
  void ShowWindow(NativeWindow window, LayerShowMode mode) override {
    RecordingLayerSystem::ShowWindow(window, mode);
    queue->NeedsPaint(window);
  }
  void UpdateWindow(NativeWindow window) override {
    RecordingLayerSystem::UpdateWindow(window);
    if (queue->TakePaint(window)) testing_support::SendToProcedure(window, msg::kPaint);
  }
  void DestroyWindow(NativeWindow window) override {
    RecordingLayerSystem::DestroyWindow(window);
    queue->Forget(window);
  }
};

// A window made visible needs painting.
class PaintingShell final : public RecordingShellSystem {
 public:
  PaintingShell(RecordingLayerSystem& system, PaintingQueue& queue) : RecordingShellSystem(system), m_queue(queue) {}
  NativeWindow CreateShellWindow(const char* className, const char* title, ShellWindowStyle style, NativeWindow parent,
                                 int32_t x, int32_t y, int32_t width, int32_t height, int32_t controlId) override {
    const NativeWindow window =
        RecordingShellSystem::CreateShellWindow(className, title, style, parent, x, y, width, height, controlId);
    if (window != 0 && style != ShellWindowStyle::TopLevel) m_queue.NeedsPaint(window);
    return window;
  }

 private:
  PaintingQueue& m_queue;
};

std::string WordAfter(const std::string& line, const std::string& key) {
  const size_t at = line.find(" " + key + " ");
  if (at == std::string::npos) return "";
  std::istringstream rest(line.substr(at + key.size() + 2));
  std::string word;
  rest >> word;
  return word;
}

// What the window labelled so drew, in order, from its first paint on: each fill's
// colour and each text's "TEXT on BACK" (as the system takes colours: blue, green,
// red).
struct Drawn {
  std::vector<std::string> fills;
  std::vector<std::string> texts;
};

Drawn DrawnIn(const std::string& log, const std::string& label) {
  Drawn drawn;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("FillRect " + label + " ", 0) == 0) {
      std::istringstream fill(line.substr(line.find(" fill ") + 6));
      std::string style, colour;
      fill >> style >> colour;
      drawn.fills.push_back(colour);
    } else if (line.rfind("Text " + label + " ", 0) == 0) {
      const std::string colours = line.substr(line.rfind('"'));
      drawn.texts.push_back(WordAfter(colours, "text") + " on " + WordAfter(colours, "back"));
    }
  }
  return drawn;
}

// One start of the windowed program in a scratch directory: the agent running DEMO,
// the frame, the command loop with the options; once start-up is done and every
// window painted, View > Source through the frame's procedure, then the end of the
// session. The layer's log comes back.
std::string RunWindowedStartUp(const std::vector<std::string>& options, std::string* skipped) {
  AgentProcess agent;
  const std::string samples = testing_support::SampleModulesDirectory();
  if (testing_support::AgentProgramPath().empty() || samples.empty()) {
    *skipped = "the stand-in agent is not built here";
    return "";
  }
  std::string reason;
  if (!agent.Start({"--module", samples + "demo.mod", "--module", testing_support::SampleModuleManifest()}, &reason)) {
    *skipped = reason;
    return "";
  }
  ScratchDirectory directory("windowed-startup");
  const std::filesystem::path previousDirectory = std::filesystem::current_path();
  std::filesystem::current_path(directory.Path());

  ResetDebugSession();
  testing_support::ResetConsoleModules(false);
  testing_support::SetOfflineSession(false);
  PaintingSystem system;
  GuiWindowLayer layer{system};
  PaintingQueue queue{system};
  system.queue = &queue;
  PaintingShell shell{system, queue};
  const NativeWindow frame = system.AddWindow("frame", 0, LayerRect{50, 50, 245, 770});
  system.At(frame).client = LayerRect{0, 0, 150, 712};
  system.AddMenuBar(frame, {"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"});
  InstallGuiWindowLayer(&layer);
  InstallMessageQueue(&queue);
  ResetMessageLoop();
  testing_support::RouteDispatchToProcedures(queue);
  InstallDialogDescriptionFile();
  const std::string programPath = directory.File("zentor.exe");
  uint32_t length = 0;
  LayoutState::OpenStore(programPath.c_str(), &length);
  SetUpFrameWindow(frame);
  queue.WhenIdle(frame, msg::kCommand, kViewSourceCommand);

  std::vector<std::string> arguments{programPath, "-ip", agent.UdpLinkName()};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> vector;
  for (std::string& argument : arguments) vector.push_back(argument.data());
  vector.push_back(nullptr);
  SetProgramExitHandler(&testing_support::ThrowProgramExited);
  try {
    CommandLoop(static_cast<int32_t>(arguments.size()), vector.data());
  } catch (const testing_support::ProgramExited&) {
  }
  SetProgramExitHandler(nullptr);
  const std::string log = system.TakeLog();

  testing_support::ResetShellAfterTest();
  LayoutState::Reset();
  SetNoticeHandler(NoticeTarget::kLayout, nullptr);
  ResetDebugSession();
  testing_support::ResetConsoleModules(true);
  testing_support::SetOfflineSession(true);
  std::filesystem::current_path(previousDirectory);
  agent.Stop();
  return log;
}

// "bw" and "nobw" act only alone: given both, in either order, the scheme stays colour.
// In black and white every window draws black and white only, from its first paint
// (the General window paints while the GUI starts up); in colour the windows draw the
// defaults of the viewpoint's colour set (the General window its status line's red).
TEST(WindowedStartupTest, TheColourOptionsChooseWhatTheWindowsDrawFromTheirFirstPaint) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    bool blackAndWhite;
  };
  const Case cases[] = {
      {"no colour option", {}, false},
      {"bw", {"-bw"}, true},
      {"nobw", {"-nobw"}, false},
      {"nobw after bw", {"-bw", "-nobw"}, false},
      {"bw after nobw", {"-nobw", "-bw"}, false},
  };
  struct Window {
    const char* label;
    const char* blackAndWhiteText;
    const char* colourText;
  };
  const Window windows[] = {
      {"GENERAL", "000000 on FFFFFF", "0000FF on FFFFFF"},
      {"ClipRect", "FFFFFF on 000000", "FFFFFF on 404000"},
      {"SOURCE", "FFFFFF on 000000", "FFFFFF on 404000"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::string skipped;
    const std::string log = RunWindowedStartUp(test.options, &skipped);
    if (!skipped.empty()) GTEST_SKIP() << skipped;
    for (const Window& window : windows) {
      SCOPED_TRACE(window.label);
      const Drawn drawn = DrawnIn(log, window.label);
      ASSERT_FALSE(drawn.texts.empty()) << "the window drew no text";
      const char* text = test.blackAndWhite ? window.blackAndWhiteText : window.colourText;
      EXPECT_THAT(drawn.texts, testing::Contains(text));
      if (!test.blackAndWhite) continue;
      EXPECT_THAT(drawn.fills, testing::Each(testing::AnyOf("000000", "FFFFFF")));
      EXPECT_THAT(drawn.texts, testing::Each(testing::AnyOf("000000 on FFFFFF", "FFFFFF on 000000")));
    }
  }
}

}  // namespace
}  // namespace zentor
