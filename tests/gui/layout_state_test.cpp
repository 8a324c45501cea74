// The saved window layout over the recording layer and a real store file: the block
// written at exit, a restart from it (frame, placements, search paths), what "Save on
// Exit" off and "Clear Saved Values" leave, and damaged or unwritable stores.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/busy_pump.h"
#include "core/dv_error.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/program_names.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/settings_store.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_children.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layout_block.h"
#include "gui/layer_messages.h"
#include "gui/layout_state.h"
#include "gui/message_loop.h"
#include "gui/notice_router.h"
#include "gui/pane_services.h"
#include "gui/run_control_state.h"
#include "gui/shell_services.h"
#include "gui/target_to_gui.h"
#include "gui/win_super.h"
#include "gui/window_factory.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "harness/fake_message_queue.h"
#include "harness/recording_layer_system.h"
#include "harness/recording_shell_system.h"
#include "harness/session/console_session.h"
#include "harness/shell_test_support.h"
#include "store_test_support.h"
#include "support/little_endian.h"
#include "symbols/search_path.h"

namespace zentor {
namespace {

using testing_support::FakeMessageQueue;
using testing_support::RecordingLayerSystem;
using testing_support::RecordingShellSystem;
using testing_support::ScratchDirectory;

constexpr uint32_t kServer = 7;

bool Contains(const std::string& log, const std::string& line) { return log.find(line + "\n") != std::string::npos; }

// One run of the windowed program over the recording layer, its store in a scratch
// directory that outlives the run.
class GuiRun {
 public:
  explicit GuiRun(const ScratchDirectory& directory) {
    LayoutState::Reset();
    system.At(frameHandle).client = LayerRect{0, 0, 150, 712};
    system.AddMenuBar(frameHandle, {"&File", "&View", "&Configure"});
    InstallGuiWindowLayer(&layer);
    InstallMessageQueue(&queue);
    ResetMessageLoop();
    InstallLayerPaneWindowPort();
    InstallGuiViewpointWindows();
    ViewpointManager::AddViewpoint(ViewpointHandle(kServer), "SERVER");
    SetBaseViewpoint(ViewpointHandle(kServer));
    SetConsoleMode(false);
    SetProgramNames(directory.Path().string() + "/", "zentor");
    InstallDialogDescriptionFile();
    InstallLayoutState();
    programPath = directory.File("zentor.exe");
  }
  ~GuiRun() {
    testing_support::ResetShellAfterTest();
    TheDialogDescriptionFile().Reset();
    TheDialogDescriptionFile().SetWriteChannel(nullptr);
    InstallSettingsStore(nullptr);
    LayoutState::Reset();
    SetNoticeHandler(NoticeTarget::kLayout, nullptr);
    SetProgramNames("", "");
  }

  // What the program entry and the service entry do up to the first command: the
  // frame at its geometry, start-up, the first wait.
  void Start() {
    bool maximized = false;
    frameGeometry = GetFrameGeometry(programPath.c_str(), &maximized);
    frameMaximized = maximized;
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    FrameWindow::SetFrame(frame);
    ASSERT_TRUE(CreateFrameControls(frame));
    InstallShellServices();
    // Each request runs one round of the loop: a message for it to take.
    queue.Post(frameHandle, msg::kPaint);
    ASSERT_EQ(HandleShellRequest(kGuiStartUp), 0);
    queue.Post(frameHandle, msg::kPaint);
    ASSERT_EQ(HandleShellRequest(kGuiWaitForCommand), 0);
  }
  int32_t CommandWindows() {
    int32_t count = 0;
    int32_t cursor = 0;
    WindowTable::ResetIterator(cursor);
    while (WinSuper* window = WindowTable::Next(cursor)) count += window->Kind() == kViewCommand ? 1 : 0;
    return count;
  }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  RecordingShellSystem shell{system};
  FakeMessageQueue queue{system};
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{50, 50, 245, 770});
  int32_t frame = kNoLayerId;
  std::string programPath;
  LayerRect frameGeometry{};
  bool frameMaximized = false;
};

// The store's records but the colour tables start-up writes.
std::map<std::pair<uint32_t, std::string>, std::string> Records() {
  std::map<std::pair<uint32_t, std::string>, std::string> records;
  for (const auto& [id, name, record] : testing_support::ContentsOf(TheDialogDescriptionFile())) {
    if (id != 8) records[{id, name}] = record.data;
  }
  return records;
}

std::vector<WindowLayoutRecord> SavedLayout() {
  const std::string block = Records()[{kWindowLayoutRecordId, "STATE"}];
  std::vector<WindowLayoutRecord> records;
  DecodeLayoutBlock(reinterpret_cast<const uint8_t*>(block.data()), static_cast<uint32_t>(block.size()), &records);
  return records;
}

std::string U32(uint32_t value) {
  std::string bytes(4, '\0');
  value_bytes::StoreU32(reinterpret_cast<uint8_t*>(bytes.data()), value);
  return bytes;
}

// A Command window that counts how often it was asked to take its saved settings.
class CountingCommandWindow final : public WinSuper {
 public:
  CountingCommandWindow(NativeWindow window, int* restored) : WinSuper(window, kServer, "Command"), m_restored(restored) {
    SetKind(kViewCommand);
  }
  void OnKey(const WindowEvent&) override {}
  void OnMouse(const WindowEvent&) override {}
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t) override {}
  void OnEngineNotify() override {}
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  void RestoreSettings() override { ++*m_restored; }

 private:
  int* m_restored;
};

TEST(LayoutStateTest, TheBlockHoldsTheFrameEachCommandWindowAndEightPlacements) {
  struct Case {
    const char* name;
    int32_t extraCommandWindows;
    std::size_t length;
  };
  for (const Case& c : {Case{"one Command window", 0, 1764}, Case{"two Command windows", 1, 1940}}) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("layout");
    GuiRun run(directory);
    run.Start();
    for (int32_t i = 0; i < c.extraCommandWindows; ++i) {
      CreateWindowObject(run.system.AddWindow("cmd2", 0, LayerRect{10, 10, 110, 210}), kViewCommand, kServer);
    }
    ToggleSaveOnExit();
    EXPECT_NE(run.system.TakeLog().find(" 1480 checked\n"), std::string::npos);
    SaveSessionLayout();
    const std::string block = Records()[{kWindowLayoutRecordId, "STATE"}];
    ASSERT_EQ(block.size(), c.length);
    EXPECT_EQ(block.substr(0, 4), U32(static_cast<uint32_t>((c.length - 4) / 176))) << "the count says what it holds";
    std::vector<uint32_t> kinds;
    for (const WindowLayoutRecord& record : SavedLayout()) kinds.push_back(record.m_kind);
    std::vector<uint32_t> expected{999};
    expected.insert(expected.end(), 1 + c.extraCommandWindows, kViewCommand);
    expected.insert(expected.end(), {1, 4, 19, 3, 5, 15, 16, 11});
    EXPECT_EQ(kinds, expected);
    const WindowLayoutRecord frame = SavedLayout()[0];
    EXPECT_EQ(frame.m_layerId, run.frame);
    EXPECT_EQ(frame.m_bounds.m_top, 50);
    EXPECT_EQ(frame.m_bounds.m_height, 195);
    EXPECT_EQ(frame.m_bounds.m_width, 720);
    EXPECT_EQ(SavedLayout()[1].m_layerId, FrameWindow::ClientAreaId());
    EXPECT_EQ((Records()[{kSaveOnExitRecordId, "STATE"}]), U32(1));
  }
}

// Saved in one run, restored in the next: the frame's geometry (a maximised frame at
// its restore bounds), the kinds' placements, the item checked and a search path
// longer than the store's usual room.
TEST(LayoutStateTest, ARestartRestoresTheFramePlacementsAndSearchPaths) {
  struct Case {
    const char* name;
    bool maximized;
    LayerRect geometry;  // what the next program entry creates the frame at
  };
  std::string longPath;
  for (char c = 'a'; c < 'a' + 12; ++c) longPath += (longPath.empty() ? "C:\\" : " C:\\") + std::string(60, c);
  for (const Case& c : {Case{"normal frame", false, LayerRect{50, 50, 195, 720}},
                        Case{"maximised frame", true, LayerRect{60, 70, 300, 640}}}) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("restart");
    const LayerRect sources{400, 30, 700, 900};
    {
      GuiRun first(directory);
      first.Start();
      SetKindPlacement(kViewSource, sources);
      SetSearchPath(RWCString(longPath.c_str()), 1);
      if (c.maximized) {
        first.layer.SetSavedBounds(first.frame, LayerRect{60, 70, 300, 640});
        first.system.At(first.frameHandle).zoomed = true;
      }
      ToggleSaveOnExit();
      SaveSessionLayout();
      TheDialogDescriptionFile().Close();
      SetSearchPath(RWCString(""), 1);
    }
    GuiRun second(directory);
    try {
      second.Start();
    } catch (const DVError& e) {
      FAIL() << e.Number();
    } catch (const testing_support::ProgramExited&) {
      FAIL() << "exited";
    }
    EXPECT_EQ(second.frameMaximized, c.maximized);
    EXPECT_EQ(second.frameGeometry.top, c.geometry.top);
    EXPECT_EQ(second.frameGeometry.left, c.geometry.left);
    EXPECT_EQ(second.frameGeometry.bottom, c.geometry.bottom);
    EXPECT_EQ(second.frameGeometry.right, c.geometry.right);
    const std::string log = second.system.TakeLog();
    EXPECT_TRUE(Contains(log, std::string("ShowWindow frame ") + (c.maximized ? "maximized" : "normal"))) << log;
    EXPECT_NE(log.find(" 1480 checked\n"), std::string::npos) << log;
    const LayerRect placed = GetKindPlacement(kViewSource);
    EXPECT_EQ(placed.top, sources.top);
    EXPECT_EQ(placed.right, sources.right);
    EXPECT_EQ(GetGlobalSearchPath()->AsText().data(), longPath);
    EXPECT_EQ(second.CommandWindows(), 1);
    EXPECT_EQ(LayoutState::SaveOnExitWord(), 1u);
    SetSearchPath(RWCString(""), 1);
  }
}

// The engine's notice has each window of the saved layout take its settings, once.
TEST(LayoutStateTest, TheApplyNoticeRestoresTheSavedWindowsSettingsOnce) {
  ScratchDirectory directory("apply");
  int restored = 0;
  int32_t savedId = kNoLayerId;
  {
    GuiRun first(directory);
    first.Start();
    savedId = (new CountingCommandWindow(first.system.AddWindow("cmd2"), &restored))->LayerWindowId();
    ToggleSaveOnExit();
    SaveSessionLayout();
    TheDialogDescriptionFile().Close();
  }
  GuiRun second(directory);
  second.Start();
  auto* again = new CountingCommandWindow(second.system.AddWindow("cmd2"), &restored);
  ASSERT_EQ(again->LayerWindowId(), savedId) << "the same id as in the run that saved it";
  EXPECT_EQ(restored, 0);
  RouteGuiNotice(kViewGuiState, 0, kNoticeApplyLayout, nullptr);
  EXPECT_EQ(restored, 1);
  RouteGuiNotice(kViewGuiState, 0, kNoticeApplyLayout, nullptr);
  EXPECT_EQ(restored, 1);
}

TEST(LayoutStateTest, WithSaveOnExitOffOnlyItsOwnRecordChanges) {
  ScratchDirectory directory("off");
  GuiRun run(directory);
  run.Start();
  ToggleSaveOnExit();
  SaveSessionLayout();
  auto before = Records();
  ASSERT_EQ(before.count({kWindowLayoutRecordId, "STATE"}), 1u);
  ToggleSaveOnExit();
  SetKindPlacement(kViewSource, LayerRect{1, 2, 300, 400});
  SetSearchPath(RWCString("C:\\elsewhere"), 1);
  SaveSessionLayout();
  auto after = Records();
  EXPECT_EQ((after[{kSaveOnExitRecordId, "STATE"}]), U32(0));
  before.erase({kSaveOnExitRecordId, "STATE"});
  after.erase({kSaveOnExitRecordId, "STATE"});
  EXPECT_EQ(after, before);
  SetSearchPath(RWCString(""), 1);
}

TEST(LayoutStateTest, ClearSavedValuesKeepsRecord20AndTheCurrentBreakpoints) {
  ScratchDirectory directory("clear");
  {
    GuiRun run(directory);
    run.Start();
    ToggleSaveOnExit();
    SaveSessionLayout();
    DialogDescriptionFile& store = TheDialogDescriptionFile();
    const uint8_t buttons[8] = {};
    ASSERT_EQ(store.AddRecord(32, "CURRENT", "", sizeof buttons, buttons), 0);
    ASSERT_EQ(store.AddRecord(32, "MINE", "", sizeof buttons, buttons), 0);
    ASSERT_EQ(Records().count({kBreakpointSetRecord, "CURRENT"}), 1u) << "the exit saved the breakpoints";
    run.system.TakeLog();
    ASSERT_TRUE(HandleFrameCommand(run.frame, kCommandClearSavedValues, 0));
    EXPECT_NE(run.system.TakeLog().find(" 1480 unchecked\n"), std::string::npos);
    std::vector<std::pair<uint32_t, std::string>> kept;
    for (const auto& [key, data] : Records()) kept.push_back(key);
    const std::vector<std::pair<uint32_t, std::string>> expected{
        {kBreakpointSetRecord, "CURRENT"}, {kSaveOnExitRecordId, "STATE"}, {32, "MINE"}};
    EXPECT_EQ(kept, expected);
    TheDialogDescriptionFile().Close();
  }
  // The next start restores nothing: one Command window, the item unchecked.
  GuiRun next(directory);
  next.Start();
  EXPECT_EQ(next.CommandWindows(), 1);
  EXPECT_EQ(LayoutState::SaveOnExitWord(), 0u);
  EXPECT_EQ(next.system.TakeLog().find(" 1480 checked\n"), std::string::npos);
}

// A layout record that is cut short or whose values no window could have starts the
// program with the default placements, and its Command window.
TEST(LayoutStateTest, ADamagedLayoutStartsWithDefaultPlacements) {
  std::string hostile = U32(10);
  const auto record = [](uint32_t kind, std::vector<int32_t> words) {
    std::string bytes = U32(kind);
    for (int32_t w : words) bytes += U32(static_cast<uint32_t>(w));
    bytes.resize(176, '\0');
    bytes.replace(48, 128, std::string(128, 'v'));  // no NUL in the viewpoint text
    return bytes;
  };
  hostile += record(999, {63, -2000000000, 0x7FFFFFFF, -5, 0x7FFFFFFF, 0, 0, 90000, 90000, 1, 2});
  hostile += record(1, {0, 5, 9, 8, -1, -1, 0, 0, 0, 0, 0});
  hostile += record(0xFFFFFFFF, {40, 1, 1, 100, 100, 1, 1, 100, 100, 1, 2});
  struct Case {
    const char* name;
    std::string block;
  };
  for (const Case& c : {Case{"cut short", std::string("\x0a\x00", 2)}, Case{"hostile values", hostile},
                        Case{"no Command window", U32(0)}}) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("damaged");
    {
      DialogDescriptionFile& store = TheDialogDescriptionFile();
      ASSERT_EQ(store.Open(directory.File("zentor.ddb").c_str()), 0);
      ASSERT_EQ(store.AddRecord(kWindowLayoutRecordId, "STATE", "", static_cast<uint32_t>(c.block.size()),
                                reinterpret_cast<const uint8_t*>(c.block.data())),
                0);
      store.Reset();
    }
    GuiRun run(directory);
    run.Start();
    EXPECT_FALSE(run.frameMaximized);
    const LayerRect byDefault = DefaultFrameBounds(run.system.screen.screenHeight);
    EXPECT_EQ(run.frameGeometry.top, byDefault.top);
    EXPECT_EQ(run.frameGeometry.bottom, byDefault.bottom);
    EXPECT_EQ(run.frameGeometry.right, byDefault.right);
    EXPECT_EQ(run.CommandWindows(), 1);
    const LayerRect source = GetKindPlacement(kViewSource);
    EXPECT_EQ(source.top, 245) << "below the frame";
    EXPECT_EQ(source.left, 50);
  }
}

TEST(LayoutStateTest, AStoreThatCannotBeWrittenGives114AndSavesNothingFurther) {
  ScratchDirectory directory("full");
  GuiRun run(directory);
  run.Start();
  ToggleSaveOnExit();
  testing_support::CutChannel full(0, testing_support::CutKind::kDiskFull);
  TheDialogDescriptionFile().SetWriteChannel(&full);
  testing::internal::CaptureStderr();
  SaveSessionLayout();
  const std::string shown = testing::internal::GetCapturedStderr();
  const std::string warning = "WARNING #114: I/O error on the Configuration Management file.";
  ASSERT_NE(shown.find(warning), std::string::npos) << shown;
  EXPECT_EQ(shown.find(warning, shown.find(warning) + 1), std::string::npos) << "one warning: " << shown;
  TheDialogDescriptionFile().SetWriteChannel(nullptr);
  EXPECT_TRUE(Records().empty());
}

}  // namespace
}  // namespace zentor
