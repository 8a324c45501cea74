// The Source window's dialogs and Load Program at DEMO's entry on the stand-in agent,
// through the dialog driver on recording windows made from their real templates: the
// find text and direction the dialog hands the search, a new value that is refused or
// given by the assignment command, Browse To's scope, the search paths edited whole
// however long, and the path Load Program runs "loadsym" with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/action_table.h"
#include "core/hi_service.h"
#include "core/token_record.h"
#include "core/view_kind.h"
#include "debugger_windows_fixture.h"
#include "gui/frame_commands.h"
#include "harness/dialog_driver.h"
#include "platform/file_system.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "windows/command_window.h"
#include "windows/load_symbols_dialog.h"
#include "windows/source_dialogs.h"
#include "windows/source_pane_commands.h"
#include "windows/source_window.h"

namespace zentor {
namespace {

using testing_support::DebuggerWindowsTest;
using testing_support::DialogDriver;
using D = DialogDriver;

constexpr int32_t kKeyDown = 302;
constexpr int32_t kKeyCtrlF = 6;
constexpr int32_t kKeyCtrlM = 13;
constexpr uint16_t kLoadSymbolsSlot = 186;

class SourceDialogsTest : public DebuggerWindowsTest {
 protected:
  void SetUp() override {
    DebuggerWindowsTest::SetUp();
    InstallSourceDialogs();
    InstallLoadSymbolsDialog();
  }
  void TearDown() override {
    SourceFind() = SourceFindState();
    DebuggerWindowsTest::TearDown();
  }
  void ConnectAndOpenSource() {
    ConnectToDemo();
    if (HasFatalFailure() || IsSkipped()) return;
    SignalGuiReady();
    m_source = Open(kViewSource, 40);
  }
  // The cursor on the held line that shows `line`, `word` in it selected.
  void Select(const std::string& line, const std::string& word) {
    TextPane& pane = m_source->GetTextPane();
    const int32_t target = IndexOf(pane, line);
    ASSERT_GE(target, pane.top + pane.row) << line;
    while (pane.top + pane.row < target) Key(m_source, kKeyDown);
    const PaneLine* held = pane.LineAt(target);
    const size_t at = std::string(held->text, held->length).find(word);
    pane.selStart = static_cast<int32_t>(at);
    pane.selLength = static_cast<int32_t>(word.size());
    ASSERT_EQ(pane.SelectedFieldText(), word);
  }
  bool Shown(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }

  DialogDriver m_driver{m_system};
  WinSuper* m_source = nullptr;
};

// Ctrl+F opens the dialog with the selected text and the direction down; Up then Find
// Next searches upward from the selection for the typed text and leaves the dialog
// open for the next press.
TEST_F(SourceDialogsTest, SourceFindHandsTheSearchItsTextAndDirection) {
  OR_RETURN(ConnectAndOpenSource());
  OR_RETURN(Select("total += f(i, square);", "square"));
  const TextPane& pane = m_source->GetTextPane();
  m_driver.Script({D::Do([&](DialogDriver& d) {
                     EXPECT_EQ(d.Caption(), "Source Find");
                     EXPECT_EQ(d.Text(kFindTextEdit), "square");
                     EXPECT_TRUE(Shown(m_system.TakeLog(), "ButtonSetCheck SFIND.2103 1"));
                   }),
                   D::Press(kFindUpRadio), D::Type(kFindTextEdit, "total"), D::Press(1),
                   D::Do([&](DialogDriver& d) {
                     ASSERT_NE(d.Current(), nullptr) << "Find Next keeps the dialog open";
                     EXPECT_EQ(pane.SelectedFieldText(), "total");
                     EXPECT_EQ(IndexOf(pane, "total += f(i, square);"), pane.top + pane.row) << "the same line first";
                   }),
                   D::Press(1), D::Do([&](DialogDriver&) {
                     EXPECT_EQ(pane.SelectedFieldText(), "total");
                     EXPECT_EQ(IndexOf(pane, "int total = 0;"), pane.top + pane.row);
                   }),
                   D::Press(2)});
  Key(m_source, kKeyCtrlF);
  EXPECT_TRUE(m_driver.ScriptDone());
  EXPECT_EQ(SourceFind().direction, 0);
  EXPECT_EQ(SourceFind().text, "total");
}

// Ctrl+M on g_color: the old value shown; an empty new value is refused with 37 in a
// box, the dialog stays; 7 is assigned by the command and the dialog closes.
TEST_F(SourceDialogsTest, ModifyValueAssignsOrRefusesAndStaysOpen) {
  OR_RETURN(ConnectAndOpenSource());
  OR_RETURN(Select("g_color = g_current->shade;", "g_color"));
  const std::string before = testing_support::PrintedByCommandLine("? g_color");
  m_driver.Script({D::Do([&](DialogDriver& d) {
                     EXPECT_EQ(d.Text(kModifyVariableText), "g_color");
                     EXPECT_EQ(d.Text(kModifyOldValueText) + "\n", before);
                     EXPECT_EQ(d.Text(kModifyNewValueEdit), d.Text(kModifyOldValueText));
                     m_system.TakeLog();
                   }),
                   D::Type(kModifyNewValueEdit, ""), D::Press(1),
                   D::Do([&](DialogDriver& d) {
                     ASSERT_NE(d.Current(), nullptr) << "the dialog stays for retyping";
                     EXPECT_EQ(TakeReportedError(), 37u);
                     const std::string log = m_system.TakeLog();
                     EXPECT_TRUE(Shown(log, "EditSetSelection SRCMOD.104 0 32767")) << log;
                   }),
                   D::Type(kModifyNewValueEdit, "7"), D::Press(1)});
  Key(m_source, kKeyCtrlM, true);
  EXPECT_TRUE(m_driver.ScriptDone());
  EXPECT_EQ(TakeReportedError(), 0u);
  EXPECT_EQ(testing_support::PrintedByCommandLine("? g_color"), "7\n");
}

// Opened over a pane with nothing selected, the dialog closes at once with 204 on the
// status line; a function, which has no value to set, closes it with 235.
TEST_F(SourceDialogsTest, ModifyValueWithoutAVariableClosesAtOnce) {
  OR_RETURN(ConnectAndOpenSource());
  struct Case {
    const char* name;
    const char* word;  // null: nothing selected
    uint32_t number;
  };
  for (const Case& c : {Case{"nothing selected", nullptr, 204}, Case{"a function", "main", 235}}) {
    SCOPED_TRACE(c.name);
    if (c.word != nullptr) {
      OR_RETURN(Select("int main(void)", c.word));
    } else {
      m_source->GetTextPane().selLength = 0;
    }
    TakeReportedError();
    ShowModifyValueDialog(m_source->LayerWindowId());
    EXPECT_EQ(TakeReportedError(), c.number);
    EXPECT_EQ(m_layer.ModalStackTop(), kNoLayerId);
  }
  EXPECT_EQ(m_driver.Opened(), (std::vector<std::string>{"SRCMOD", "SRCMOD"}));
}

// Browse To opens on the current scope. An unchanged "location 0x..." closes without
// running anything; empty and unknown entries give 241 and stay; "f" becomes the scope.
TEST_F(SourceDialogsTest, BrowseToRunsTheScopeCommand) {
  OR_RETURN(ConnectAndOpenSource());
  const std::string scope = testing_support::PrintedByCommandLine("eval scope line");
  auto refused = [&](DialogDriver& d) {
    ASSERT_NE(d.Current(), nullptr);
    EXPECT_EQ(TakeReportedError(), 241u);
    EXPECT_TRUE(Shown(m_system.TakeLog(), "EditSetSelection SCOPE.283 0 32767"));
  };
  m_driver.Script({D::Do([&](DialogDriver& d) { EXPECT_EQ(d.Text(kScopeEdit) + "\n", scope); }),
                   D::Type(kScopeEdit, ""), D::Press(1), D::Do(refused),
                   D::Type(kScopeEdit, "no_such_symbol"), D::Press(1), D::Do(refused),
                   D::Type(kScopeEdit, "f"), D::Press(1)});
  HandleFrameCommand(0, 1220, 0);
  EXPECT_TRUE(m_driver.ScriptDone());
  const std::string moved = testing_support::PrintedByCommandLine("eval scope line");
  EXPECT_NE(moved, scope);
  EXPECT_NE(moved.find("DEMO_CALC#"), std::string::npos) << moved;

  m_driver.Script({D::Type(kScopeEdit, "location 0x00001234"), D::Press(1)});
  ShowScopeDialog(kNoLayerId);
  EXPECT_TRUE(m_driver.ScriptDone());
  EXPECT_EQ(TakeReportedError(), 0u);
  EXPECT_EQ(testing_support::PrintedByCommandLine("eval scope line"), moved);
}

// The edits show the paths whole: a global path longer than the last capacity grows
// it to its length and 256. OK sets both paths; a directory too long for a path is
// refused with the dialog open and the paths as they were.
TEST_F(SourceDialogsTest, SourcePathEditsBothPathsWhole) {
  OR_RETURN(ConnectAndOpenSource());
  SourcePathDialog dialog;
  const std::string original = GetGlobalSearchPath()->AsText().data();
  m_driver.Script({D::Do([&](DialogDriver& d) { EXPECT_EQ(d.Text(kGlobalPathEdit), original); }), D::Press(2)});
  RunModalDialog(dialog, kNoLayerId);
  const size_t first = dialog.Capacity();
  EXPECT_EQ(first, original.size() + 256);

  std::string longPath = original;
  while (longPath.size() < first + 100) longPath += " /d" + std::to_string(longPath.size());
  SetSearchPath(longPath.c_str(), 1);
  const std::string tooLong = "/" + std::string(300, 'x');
  m_driver.Script({D::Do([&](DialogDriver& d) { EXPECT_EQ(d.Text(kGlobalPathEdit), longPath); }),
                   D::Type(kSourcePathEdit, "/spath/a /spath/b"), D::Type(kGlobalPathEdit, tooLong), D::Press(1),
                   D::Do([&](DialogDriver& d) {
                     ASSERT_NE(d.Current(), nullptr);
                     EXPECT_EQ(TakeReportedError(), kMsgInvalidSourcePathEntry);
                     EXPECT_EQ(d.Text(kGlobalPathEdit), tooLong);
                   }),
                   D::Type(kGlobalPathEdit, original), D::Press(1)});
  RunModalDialog(dialog, kNoLayerId);
  EXPECT_TRUE(m_driver.ScriptDone());
  EXPECT_EQ(dialog.Capacity(), longPath.size() + 256);
  EXPECT_EQ(std::string(GetCurrentSymbolContext()->SourcePathList().AsText().data()), "/spath/a /spath/b");
  EXPECT_EQ(std::string(GetGlobalSearchPath()->AsText().data()), original);
}

// The open-file dialog's answer, as the user picks it.
class ScriptedChooser final : public SymbolFileChooser {
 public:
  bool Choose(int32_t, std::string* name) override {
    ++opened;
    if (answer == nullptr) return false;
    *name = answer;
    return true;
  }
  const char* answer = nullptr;
  int opened = 0;
};

std::vector<std::string> g_loadedPaths;
void RecordLoadSymbols() { g_loadedPaths.push_back(CurrentToken().text); }

// What "loadsym" is given for each name picked: a path as it is, lower-cased; a name
// without a directory part in the current directory, where a separator after a blank
// does not count; nothing after a cancel; nothing and 121 for a path the command
// cannot hold.
TEST_F(SourceDialogsTest, LoadProgramRunsLoadsymWithTheFullPath) {
  OR_RETURN(ConnectAndOpenSource());
  ScriptedChooser chooser;
  SymbolFileChooser* before = InstallSymbolFileChooser(&chooser);
  ActionTable::Bind(kLoadSymbolsSlot, &RecordLoadSymbols, "RecordLoadSymbols");
  std::string here = platform::CurrentDirectory();
  for (char& ch : here) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  if (here.empty() || here.back() != '\\') here += '\\';
  const std::string overlong = "C:\\" + std::string(510 - 8 - 3, 'A');
  struct Case {
    const char* name;
    const char* chosen;
    std::vector<std::string> loaded;
    uint32_t number;
  };
  const Case cases[] = {
      {"full path", "C:\\SYMS\\MYMOD.SYM", {"c:\\syms\\mymod.sym"}, 0},
      {"forward slashes", "D:/Syms/Other.Sym", {"d:/syms/other.sym"}, 0},
      {"no separator", "MYMOD.SYM", {here + "mymod.sym"}, 0},
      {"separator first", "\\MOD.SYM", {here + "\\mod.sym"}, 0},
      {"cancelled", nullptr, {}, 0},
      {"one character too long", overlong.c_str(), {}, 121},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_loadedPaths.clear();
    chooser.answer = c.chosen;
    TakeReportedError();
    HandleFrameCommand(0, 1020, 0);
    EXPECT_EQ(g_loadedPaths, c.loaded);
    EXPECT_EQ(TakeReportedError(), c.number);
  }
  EXPECT_EQ(chooser.opened, 6);
  EXPECT_EQ(LoadSymbolsPath("MY \\MOD.SYM", "C:\\WORK"), "c:\\work\\my \\mod.sym");
  EXPECT_EQ(LoadSymbolsPath("A\\MY \\MOD.SYM", "C:\\WORK\\"), "a\\my \\mod.sym");
  InstallSymbolFileChooser(before);
}

// Through the real command: the sample's symbol file picked by its full path in upper
// case loads; a file that is not there shows 121 in a box.
TEST_F(SourceDialogsTest, LoadProgramLoadsTheSampleSymbols) {
  OR_RETURN(ConnectAndOpenSource());
  ScriptedChooser chooser;
  SymbolFileChooser* before = InstallSymbolFileChooser(&chooser);
  std::string samples = testing_support::HostPathOfUnixPath(testing_support::SampleModulesDirectory());
  for (char& ch : samples) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
  const std::string present = samples + "DEMO.SYM";
  const std::string missing = samples + "MISSING" + samples.back() + "DEMO.SYM";
  chooser.answer = present.c_str();
  EXPECT_EQ(ShowLoadSymbolsDialog(kNoLayerId), 0);
  EXPECT_EQ(TakeReportedError(), 0u);
  chooser.answer = missing.c_str();
  EXPECT_NE(ShowLoadSymbolsDialog(kNoLayerId), 0);
  EXPECT_EQ(TakeReportedError(), 121u);
  InstallSymbolFileChooser(before);
}

}  // namespace
}  // namespace zentor
