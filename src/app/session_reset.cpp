#include "app/session_reset.h"

#include "app/startup.h"

#include "command/command_loop.h"
#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "command/expression_codegen.h"
#include "command/expression_lexer.h"
#include "command/expression_parser.h"
#include "command/postfix_executor.h"
#include "command/value_output.h"
#include "console/console_services.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/number_base.h"
#include "core/startup_settings_words.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "gui/dialog_description_file.h"
#include "symbols/load_driver.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "target/agent_events.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/serial_transport.h"
#include "target/target_state.h"
#include "target/tmi_connect.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

// Each viewpoint record owns a symbol context, which the core cannot delete: the
// symbol tables delete them with the records.
void DropViewpoints() {
  ResetViewpointStack();
  RemoveViewpointsAndTheirContexts();
  TmiClearKnownViewpoints();
  SetBaseViewpoint(ViewpointHandle::None());
}

}  // namespace

void ResetDebugSession() {
  StopPollTimer();
  TheAgentLink().Reset();
  ResetAgentRequests();
  ResetAgentEvents();
  ResetSerialTransport();
  ResetTargetState();
  // The target's breakpoint slots are emptied at a connect, which an offline session
  // never makes: a breakpoint an input set would keep its address taken.
  TgtFreeAllSlots();
  ResetRegisterModel();
  ResetKnownModules();
  ResetTmiOptions();
  ResetEngineState();
  TheDialogDescriptionFile().Reset();

  ResetCommandLoopState();
  ResetPostfixExecutor();
  ValueStack::Create();
  ValueStack::Reset();
  CommandParserLL::ResetSaveStack();
  CommandScanner::ReleaseDefinitions();
  ResetDebugVariables();
  ResetExpressionLexer();
  ResetExpressionParserFlags();
  ExprDerefCount = 0;
  ResetValueOutput();

  DropViewpoints();
  ResetSymbolLoad();
  LoadableRegistry::Instance().ClearAll();
  TmiSetServerSymbolsLoaded(0);
  *GetGlobalSearchPath() = RWCString();
  GetDefaultSymbolContext()->SourcePathList() = RWCString();

  ResetConsoleRuntime();
  SetNumberBase(10);
  GetStartupSettingsWords().m_batch = 0;
  ResetStartupState();
  LastError() = DVError(0, 0, kDisplayByFocus);
}

}  // namespace zentor
