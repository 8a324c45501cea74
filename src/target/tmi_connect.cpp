#include "target/tmi_connect.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/target_gui.h"
#include "target/target_state.h"
#include "target/tmi_session.h"
#include "console/file_channel.h"
#include "core/window_layer.h"
#include "symbols/loader_library.h"
#include "symbols/type_translation.h"

namespace zentor {
namespace {

// Menu commands and items of the frame window that follow the connection.
constexpr uint32_t kMenuLoadSymbols = 1020;
constexpr uint32_t kMenuFirstProcessorCommand = 1361;
constexpr uint32_t kMenuSecondProcessorCommand = 1362;
constexpr uint32_t kFrameItemFirst = 107;
constexpr uint32_t kFrameItemSecond = 108;
constexpr uint32_t kDefaultBaud = 57600;
constexpr uint32_t kReducedDefaultBaud = 38400;
constexpr const char* kFirstProcessorAlias = "Processor 0";

bool IsSerialLinkName(const std::string& name) { return name.compare(0, 3, "COM") == 0; }

}  // namespace

bool TmiOfflineSession() {
  const char* value = std::getenv("ZENTOR_OFFLINE");
  return value != nullptr && value[0] != '\0' && std::string(value) != "0";
}

// 1. The frame's menu command 1020 reads "Load Symbols...".
// 2. The link name is upper-cased in place, so "com2" is the port COM2.
// 3. A name beginning with "COM" opens that serial port at the "baud" option's rate,
//    or by default at 57600 (38400 when the GUI asks for less); any other name is the
//    agent's host for UDP.
// 4. A link that does not open: an error box, and the program ends with exit code 0.
// 5. The greeting is sent again for as long as the line fails and the user answers
//    Yes to the question; any other answer ends the program with exit code 0. A
//    greeting the agent answers with an error of its own does not stop the connect.
// 6. The register record is cleared; the target state starts afresh with its poll
//    timer; a processor word of 0 becomes 1 and goes to the agent.
// 7. The first processor with the agent's current thread.
void TmiConnect() {
  if (TmiOfflineSession()) return;
  TargetGui& gui = InstalledTargetGui();
  gui.SetMenuItemText(kMenuLoadSymbols, "Load Symbols...");
  std::string& name = TmiLinkName();
  for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  LinkHandle handle = kNoLinkHandle;
  if (IsSerialLinkName(name)) {
    uint32_t baud = TmiOptions().m_baudRate;
    if (baud == 0) baud = gui.UseReducedDefaultBaud() != 0 ? kReducedDefaultBaud : kDefaultBaud;
    handle = OpenLink(kLinkKindSerial, name.c_str(), baud);
  } else {
    handle = OpenLink(kLinkKindUdp, name.c_str(), 0);
  }
  if (handle == kNoLinkHandle) {
    const std::string text = "Unable to connect to `" + name + "'.\nPlease check the connection and try again.";
    WindowLayer::ShowMessageBox(WindowLayer::GetFocusWindow(), kMessageBoxError, text.c_str());
    ExitProgram();
  }
  while (AgentHello() == kLinkFailureStatus) {
    const int32_t answer = WindowLayer::ShowMessageBox(
        WindowLayer::GetFocusWindow(), kMessageBoxYesNo,
        "Failed to connect to the NetWare Server.\nDo you want to try again?");
    if (answer != kMessageBoxAnswerYes) {
      CloseLink();
      ExitProgram();
    }
  }
  ClearRegisterRecord();
  InvalidateRegisterCache();
  TmiStartTarget();
  uint32_t& processorWord = TmiProcessorWord();
  if (processorWord == 0) processorWord = 1;
  AgentSelectProcessor(processorWord);
  TmiStartFirstProcessor();
}

void TmiStartTarget() {
  TgtFreeAllSlots();
  TgtSetCurrentProcessor(-1);
  StartPollTimer();
}

// 1. The frame's processor commands are greyed and its two items disabled.
// 2. A processor entry is created and becomes current.
// 3. The agent's current thread becomes its context (flag 0, not running) and the
//    current thread.
// 4. The thread's viewpoint "Processor 0" is created and made current, with an empty
//    program of the server's loader format that counts as loaded: the modules' symbol
//    files then load into that one program in that format (a symbol file's load
//    begins no program of its own while the server-symbols flag is set).
// 5. The views browse to where the thread stands.
// 6. The symbols of every module the server has loaded are loaded.
void TmiStartFirstProcessor() {
  TargetGui& gui = InstalledTargetGui();
  gui.EnableMenuItem(kMenuFirstProcessorCommand, false);
  gui.EnableMenuItem(kMenuSecondProcessorCommand, false);
  gui.EnableItem(kFrameItemFirst, false);
  gui.EnableItem(kFrameItemSecond, false);
  const int32_t processor = TgtAddProcessor(0);
  const uint32_t thread = TgtCurrentThreadFromAgent();
  TgtAddContext(processor, thread, 0);
  TgtSetRunning(thread, 0);
  TgtSelectContext(thread);
  gui.AddViewpoint(thread, kFirstProcessorAlias);
  gui.SelectViewpoint(thread);
  LoaderLibraryNoOp();
  BeginProgram(kLoaderFormat20);
  SetSymbolTableLoaded(1);
  EndProgram();
  gui.BrowseToStopLocation(thread);
  SymLoadAllModules();
}

}  // namespace zentor
