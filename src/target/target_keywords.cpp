#include "target/target_keywords.h"

#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/server_listings.h"
#include "command/action_table.h"
#include "command/command_scanner.h"

namespace zentor {
namespace {

struct TargetKeyword {
  const char* text;
  uint8_t token;
  uint16_t subcode;
};

// In the order they are entered.
constexpr TargetKeyword TargetKeywords[] = {
    {"unload", 62, 0},  {"loadsym", 53, 0}, {"nlms", 49, 0},    {"waitingthreads", 47, 0},
    {"screens", 45, 0}, {"runqueue", 39, 0}, {"stack", 59, 0},  {"threads", 30, 0},
    {"clearsym", 28, 0}, {"regs", 61, 1},   {"fregs", 61, 2},   {"pointer", 133, 43},
    {"sw", 10, 1},      {"hw", 8, 2},       {"acc", 7, 3},      {"wr", 6, 4},
};

// Slots 170 and 174 belong to the load command's options and do nothing.
void LoadOptionNoOp() {}

struct TargetAction {
  uint16_t slot;
  ActionRoutine routine;
  const char* name;
};

const TargetAction kTargetActions[] = {
    {163, &SymLoadModuleOnServer, "SymLoadModuleOnServer"},
    {170, &LoadOptionNoOp, "LoadOptionNoOp"},
    {174, &LoadOptionNoOp, "LoadPrepareNoOp"},
    {179, &SymUnloadModuleOnServer, "SymUnloadModuleOnServer"},
    {181, &ListRegistersAction, "ListRegistersAction"},
    {184, &DumpStackAction, "DumpStackAction"},
    {186, &SymLoadNamedModule, "SymLoadNamedModule"},
    {188, &ListServerModules, "ListModules"},
    {190, &ListWaitingProcesses, "ListWaitingThreads"},
    {192, &ListScreens, "ListScreens"},
    {194, &ListRunningProcesses, "ListRunQueue"},
    {196, &ListAllProcesses, "ListAllProcesses"},
    {198, &SymClearChangedFlag, "SymClearChangedFlag"},
};

}  // namespace

void AddTargetKeywords() {
  AddRegisterKeywords(kRegisterToken);
  for (const TargetKeyword& keyword : TargetKeywords) {
    CommandScanner::AddKeyword(keyword.token, keyword.subcode, keyword.text);
  }
}

void BindTargetActions() {
  for (const TargetAction& action : kTargetActions) ActionTable::Bind(action.slot, action.routine, action.name);
}

}  // namespace zentor
