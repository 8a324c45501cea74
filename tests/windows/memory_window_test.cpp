// The Memory window and its two dialogs at a stop of VIEWS in Leaf: the requests the
// window sends (watched on their way to the real memory manager), a value typed over a
// byte reaching the emulator, the dialogs' bodies over the recording layer and a memory
// form restored by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/view_kind.h"
#include "core/window_layer.h"
#include "data_window_fixture.h"
#include "gui/dialog_description_file.h"
#include "gui/named_forms.h"
#include "gui/window_table.h"
#include "harness/agent_process.h"
#include "harness/session/console_session.h"
#include "target/agent_requests.h"
#include "windows/debugger_windows.h"
#include "windows/memory_dialogs.h"
#include "windows/memory_window.h"

namespace zentor {
namespace {

constexpr int32_t kFieldControls[] = {kMemoryStartEdit,  kMemoryEndEdit,     kMemoryNoRangeRadio,
                                      kMemoryLengthRadio, kMemoryEndAddressRadio, kMemoryTypeList,
                                      kMemoryBaseList,    kMemoryManageButton, kMemoryFileNameEdit,
                                      kMemoryAppendCheck, 1, 2, 10};

class MemoryWindowTest : public testing_support::DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    if (IsSkipped()) return;
    LoadViews();
    StopAt(":VIEWS#33");  // in Leaf
    MemoryDisplaySettings& settings = TheMemoryDisplaySettings();
    settings.m_startText = "g_small";
    settings.m_rangeChoice = kMemoryRangeLength;
    settings.m_endText = "0x20";
    settings.m_typeIndex = 1;  // ORD1
    settings.m_baseIndex = 0;
    ApplyMemoryDisplaySettings(settings, TheMemoryDisplayRequest());
    m_small = testing_support::SampleModuleSymbols("views").at("g_small");
  }

  // A dialog with every control the two templates have.
  NativeWindow MakeDialog(const std::string& label) {
    const NativeWindow dialog = system.AddWindow(label, frameHandle);
    for (int32_t control : kFieldControls) system.AddItem(dialog, control, label + "." + std::to_string(control));
    return dialog;
  }
  testing_support::RecordingLayerSystem::Window& Control(NativeWindow dialog, int32_t control) {
    return system.At(system.GetDialogItem(dialog, control));
  }
  void ChooseType(NativeWindow dialog, int32_t index, int32_t (*body)(NativeWindow, int32_t, NativeWindow)) {
    Control(dialog, kMemoryTypeList).selection = index;
    body(dialog, kMemoryTypeList, 0);
  }
  uint8_t TargetByte(uint32_t address) {
    uint8_t bytes[4] = {};
    uint16_t count = 0;
    EXPECT_EQ(AgentReadMemory(0, 1, address, &count, bytes), 0u);
    return bytes[0];
  }

  uint32_t m_small = 0;
};

// Opening sends 0x46 and then 0x4f with every change flag; a refresh with nothing
// changed sends nothing. "41" typed over the first byte writes 0x41 and, being the
// window's own write, causes no refresh; a write by a command does, and so does a
// changed row count (flag 0x04).
TEST_F(MemoryWindowTest, RequestsAndATypedByte) {
  Watch(kViewMemory);
  WinSuper* window = Open(kViewMemory, 4);
  std::vector<std::string> requests = TakeRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, 3), "70 ");
  EXPECT_EQ(requests[1], "79 127");
  const TextPane& pane = window->GetTextPane();
  ASSERT_EQ(pane.count, 2);
  EXPECT_EQ(pane.selStart, pane.lines[0]->fields->FieldSpan(0).start) << "the first field is selected";
  RefreshAllWindows(0);
  EXPECT_TRUE(TakeRequests().empty());

  // A click on the field's first column puts the caret there.
  Click(window, 0, pane.lines[0]->fields->FieldSpan(0).start);
  Key(window, '4');
  Key(window, '1');
  EXPECT_EQ(TargetByte(m_small), 0x41);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{"82 0"});
  RefreshAllWindows(0);
  EXPECT_TRUE(TakeRequests().empty()) << "the window's own write needs no refresh";

  ASSERT_EQ(Command("g_small[0] = 7"), 0u);
  RefreshAllWindows(0);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{"79 0"});
  EXPECT_EQ(std::string(pane.lines[0]->text + pane.lines[0]->fields->FieldSpan(0).start, 2), "07");

  Resize(window, 6);
  ASSERT_EQ(Command("g_small[0] = 8"), 0u);
  RefreshAllWindows(0);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{"79 4"});
  EXPECT_EQ(TheMemoryDisplayRequest().rows, 6u);
  Close(window);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{"71 0"});
  EXPECT_EQ(WindowTable::Get(1), nullptr);
}

// Memory Display without an owner answers 0 (its caller makes the window); from a
// Memory window it refreshes that window and answers 1250. A start that names nothing
// keeps the dialog open with 335 naming the text.
TEST_F(MemoryWindowTest, DisplayDialogRefreshesItsOwnerOrAsksForAWindow) {
  Watch(kViewMemory);
  WinSuper* window = Open(kViewMemory, 4);
  TakeRequests();
  struct Case {
    const char* name;
    NativeWindow owner;
    const char* start;
    int32_t answer;
    std::vector<std::string> requests;
  };
  const NativeWindow ownerHandle = layer.Handle(window->LayerWindowId());
  const std::vector<Case> cases = {
      {"from the frame", 0, "g_small + 4", 0, {}},
      {"from a Memory window", ownerHandle, "g_small + 8", kMemoryOwnerRefreshed, {"87 127", "87 127", "79 127"}},
      {"an unknown start", 0, "no_such_name", 335, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const NativeWindow dialog = MakeDialog("memwin");
    ASSERT_EQ(MemoryDisplayDialogEvent(dialog, kDialogInit, c.owner), 0);
    system.At(system.GetDialogItem(dialog, kMemoryStartEdit)).text = c.start;
    system.TakeLog();
    EXPECT_EQ(MemoryDisplayDialogEvent(dialog, kDialogOk, 0), c.answer);
    const std::string log = system.TakeLog();
    EXPECT_EQ(log.find("EndDialog memwin") != std::string::npos, c.answer != 335) << log;
    EXPECT_EQ(TakeRequests(), c.requests);
    if (c.answer == 335) {
      EXPECT_EQ(std::string(LastError().Argument(0).data()), c.start);
      MemoryDisplayDialogEvent(dialog, kDialogCancel, 0);
    }
  }
}

// The type list restricts the base list: a real type shows decimal only.
TEST_F(MemoryWindowTest, RealTypesTakeTheDecimalBase) {
  const NativeWindow dialog = MakeDialog("memwin");
  ASSERT_EQ(MemoryDisplayDialogEvent(dialog, kDialogInit, 0), 0);
  ASSERT_EQ(Control(dialog, kMemoryTypeList).entries.size(), 12u);
  ChooseType(dialog, 10, &MemoryDisplayDialogEvent);  // REAL8
  EXPECT_EQ(Control(dialog, kMemoryTypeList).entries[10], "REAL8");
  EXPECT_EQ(Control(dialog, kMemoryBaseList).selection, 1);
  EXPECT_FALSE(Control(dialog, kMemoryBaseList).enabled);
  ChooseType(dialog, 7, &MemoryDisplayDialogEvent);  // INT4
  EXPECT_TRUE(Control(dialog, kMemoryBaseList).enabled);
  EXPECT_EQ(Control(dialog, kMemoryBaseList).selection, 1) << "the base stays";
  MemoryDisplayDialogEvent(dialog, kDialogCancel, 0);
}

// Which change flags a settings change sets: switching only between a length and an end
// address sets 0x20 and nothing else, in the apply and in Save Memory.
TEST_F(MemoryWindowTest, OnlyTheRangeModeChanges) {
  WinSuper* window = Open(kViewMemory, 4);
  MemoryDisplayRequest& request = TheMemoryDisplayRequest();
  MemoryDisplaySettings settings = TheMemoryDisplaySettings();
  settings.m_rangeChoice = kMemoryRangeEndAddress;
  request.changeFlags = 0;
  ApplyMemoryDisplaySettings(settings, request);
  EXPECT_EQ(request.changeFlags, 0x20);
  settings.m_rangeChoice = kMemoryRangeNone;
  request.changeFlags = 0;
  ApplyMemoryDisplaySettings(settings, request);
  EXPECT_EQ(request.changeFlags, 0x40) << "an end address and no range share the length mode 0";

  ApplyMemoryDisplaySettings(TheMemoryDisplaySettings(), request);
  for (const int32_t choice : {kMemoryLengthRadio, kMemoryEndAddressRadio}) {
    SCOPED_TRACE(choice);
    const NativeWindow dialog = MakeDialog("memsav");
    ASSERT_EQ(MemorySaveDialogEvent(dialog, kDialogInit, layer.Handle(window->LayerWindowId())), 0);
    Control(dialog, kMemoryFileNameEdit).text = "bad name";
    request.changeFlags = 0;
    MemorySaveDialogEvent(dialog, choice, 0);
    EXPECT_NE(MemorySaveDialogEvent(dialog, kDialogOk, 0), 0);
    EXPECT_EQ(request.changeFlags, choice == kMemoryLengthRadio ? 0 : 0x20);
    EXPECT_FALSE(std::filesystem::exists("bad name")) << "a refused name is not written to";
    MemorySaveDialogEvent(dialog, kDialogCancel, 0);
  }
}

// "No Range" chosen in Memory Display leaves Save Memory without a choice; its OK gives
// 75 until one is made. An existing file is asked about once per OK: Cancel keeps the
// dialog and the file, OK writes over it.
TEST_F(MemoryWindowTest, SaveMemoryNeedsARangeAndAsksBeforeOverwriting) {
  testing_support::ScratchDirectory directory("memsave");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(directory.Path());
  WinSuper* window = Open(kViewMemory, 4);
  const NativeWindow owner = layer.Handle(window->LayerWindowId());

  const NativeWindow display = MakeDialog("memwin");
  ASSERT_EQ(MemoryDisplayDialogEvent(display, kDialogInit, owner), 0);
  MemoryDisplayDialogEvent(display, kMemoryNoRangeRadio, 0);
  ASSERT_EQ(MemoryDisplayDialogEvent(display, kDialogOk, 0), kMemoryOwnerRefreshed);

  directory.Write("memsave.dat", "old contents");
  const NativeWindow save = MakeDialog("memsav");
  ASSERT_EQ(MemorySaveDialogEvent(save, kDialogInit, owner), 0);
  EXPECT_EQ(Control(save, kMemoryLengthRadio).check, 0);
  EXPECT_EQ(Control(save, kMemoryEndAddressRadio).check, 0);
  EXPECT_EQ(MemorySaveDialogEvent(save, kDialogOk, 0), 75);
  EXPECT_EQ(GetLastErrorNumber(), 75u);

  MemorySaveDialogEvent(save, kMemoryLengthRadio, 0);
  Control(save, kMemoryEndEdit).text = "0x10";
  struct Case {
    MessageBoxReply reply;
    int32_t answer;
    bool written;
  };
  for (const Case& c : {Case{MessageBoxReply::Cancel, 116, false}, Case{MessageBoxReply::Ok, 0, true}}) {
    SCOPED_TRACE(c.answer);
    system.nextReply = c.reply;
    system.TakeLog();
    EXPECT_EQ(MemorySaveDialogEvent(save, kDialogOk, 0), c.answer);
    const std::string log = system.TakeLog();
    std::size_t boxes = 0;
    for (std::size_t at = log.find("MessageBox"); at != std::string::npos; at = log.find("MessageBox", at + 1)) ++boxes;
    EXPECT_EQ(boxes, 1u) << log;
    EXPECT_EQ(log.find("EndDialog memsav") != std::string::npos, c.written) << log;
    EXPECT_EQ(directory.Read("memsave.dat") != "old contents", c.written);
  }
  std::filesystem::current_path(before);
}

// "restore NAME" in console mode: the memory form saved under the name becomes the
// display settings and the request, which the next refresh of a Memory window carries.
TEST_F(MemoryWindowTest, RestoreOfAMemoryFormChangesTheNextRequest) {
  testing_support::ScratchDirectory directory("memforms");
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  ASSERT_EQ(store.Open(directory.File("forms.ddb").c_str()), 0);
  MemoryDisplaySettings saved = TheMemoryDisplaySettings();
  saved.m_startText = "g_large";
  saved.m_typeIndex = 7;  // INT4
  saved.m_baseIndex = 1;
  std::vector<uint8_t> image(MemoryDisplaySettings::kRecordSize);
  saved.CopyTo(image.data());
  ASSERT_EQ(store.AddRecord(kMemoryDisplayRecordId, "large", "", MemoryDisplaySettings::kRecordSize, image.data()), 0);

  Watch(kViewMemory);
  WinSuper* window = Open(kViewMemory, 4);
  TakeRequests();
  SetTokenText(CurrentToken(), "large");
  RestoreNamedForms();
  EXPECT_EQ(TheMemoryDisplaySettings().m_startText, "g_large");
  RefreshAllWindows(0);
  EXPECT_EQ(TakeRequests(), std::vector<std::string>{"79 11"});  // type, radix and start
  const TextPane& pane = window->GetTextPane();
  const uint32_t large = testing_support::SampleModuleSymbols("views").at("g_large");
  std::ostringstream address;
  address << std::hex << large;
  ASSERT_GT(pane.count, 0);
  EXPECT_NE(std::string(pane.lines[0]->text).find(address.str()), std::string::npos) << pane.lines[0]->text;
  store.Reset();
}

}  // namespace
}  // namespace zentor
