#include "command/action_table.h"

#include <cstring>
#include <string>
#include <vector>

#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "command/number_base_actions.h"
#include "command/postfix_emit.h"
#include "command/postfix_executor.h"
#include "command/procedure_call.h"
#include "command/debug_objects.h"
#include "command/eval_display.h"
#include "command/printf_command.h"
#include "command/put_commands.h"
#include "command/show_listings.h"
#include "command/symbol_forwarding.h"
#include "command/typed_memory.h"
#include "command/value_output.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/number_base.h"
#include "core/operator_executor.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

// What each slot is known by: the routine's name (code dumps print it) and what it
// serves (the not-available message names it).
struct SlotRow {
  const char* routineName;
  const char* servedBy;
};

constexpr SlotRow kSlotRows[ActionTable::kSlotCount] = {
    /*   0 */ {"PushLineLocation", "Symbol lookup"},
    /*   1 */ {"FindModuleByName", "Symbol lookup"},
    /*   2 */ {"HandOverScopeDesignator", "The C expression parser"},
    /*   3 */ {"HandOverSymbolPath", "The C expression parser"},
    /*   4 */ {"EndSymbolLookup", "Symbol lookup"},
    /*   5 */ {"HandOverDereferencedPath", "The C expression parser"},
    /*   6 */ {"PushModuleLocation", "Symbol lookup"},
    /*   7 */ {"BeginSymbolLookup", "Symbol lookup"},
    /*   8 */ {"PushMarker", "The value stack"},
    /*   9 */ {"DecimalDefaultOn", "The command scanner"},
    /*  10 */ {"RangeFromLength", "Address ranges"},
    /*  11 */ {"RequireNumericValue", "Address ranges"},
    /*  12 */ {"RangeFromEnd", "Address ranges"},
    /*  13 */ {"MakeDisplayLocation", "Typed memory display"},
    /*  14 */ {"DereferenceSymbol", "Symbol lookup"},
    /*  15 */ {"FindSymbolByName", "Symbol lookup"},
    /*  16 */ {"SubscriptSymbol", "Symbol lookup"},
    /*  17 */ {"WriteMemoryFill", "Typed memory fill"},
    /*  18 */ {"AppendFillValue", "Typed memory fill"},
    /*  19 */ {"HandOverExpression", "The C expression parser"},
    /*  20 */ {"ShowNumberBase", "The base command"},
    /*  21 */ {"SetNumberBaseFromStack", "The base command"},
    /*  22 */ {"DisassembleCommand", "The asm command"},
    /*  23 */ {"ExecuteUnaryOperator", "Unary operators"},
    /*  24 */ {"DecrementReference", "Assignment"},
    /*  25 */ {"IncrementReference", "Assignment"},
    /*  26 */ {"PrepareOrAssignment", "Assignment"},
    /*  27 */ {"PrepareXorAssignment", "Assignment"},
    /*  28 */ {"PrepareAndAssignment", "Assignment"},
    /*  29 */ {"PrepareRemainderAssignment", "Assignment"},
    /*  30 */ {"PrepareDivideAssignment", "Assignment"},
    /*  31 */ {"PrepareMultiplyAssignment", "Assignment"},
    /*  32 */ {"PrepareSubtractAssignment", "Assignment"},
    /*  33 */ {"OperatorExecutor", "Binary operators"},
    /*  34 */ {"PrepareAddAssignment", "Assignment"},
    /*  35 */ {"AssignValue", "Assignment"},
    /*  36 */ {"ProcPassArgument", "Procedure calls"},
    /*  37 */ {"AppendTokenToTopString", "String literals"},
    /*  38 */ {"ProcArgumentCount", "Procedure calls"},
    /*  39 */ {"ProcArgument", "Procedure calls"},
    /*  40 */ {"ProcCall", "Procedure calls"},
    /*  41 */ {"ProcBeginCall", "Procedure calls"},
    /*  42 */ {"ConvertTopToBoolean", "Boolean literals"},
    /*  43 */ {"PushCharacterLiteral", "Character literals"},
    /*  44 */ {"PushRegisterRoutine", "Register references"},
    /*  45 */ {"PushCurrentLocationRoutine", "The scope variable"},
    /*  46 */ {"PushExecutionAddressRoutine", "The $ variable"},
    /*  47 */ {"PushNumberBase", "The base variable"},
    /*  48 */ {"PushNameItem", "Debug variables"},
    /*  49 */ {"ShowSearchPathAction", "The spath and globalpath commands"},
    /*  50 */ {"SelectCommandDefineScope", "The define command"},
    /*  51 */ {"RemoveFromSearchPathAction", "The spath and globalpath commands"},
    /*  52 */ {"EnterBlockLocalName", "The command scanner"},
    /*  53 */ {"BeginCapture", "Block capture"},
    /*  54 */ {"DefineProcedure", "The define proc command"},
    /*  55 */ {"AddToSearchPathAction", "The spath and globalpath commands"},
    /*  56 */ {"PushNullValue", "The value stack"},
    /*  57 */ {"EndCapture", "Block capture"},
    /*  58 */ {"SelectDefineScope", "The define command"},
    /*  59 */ {"ConvertTypeWordToken", "The define command"},
    /*  60 */ {"DefineDebugVariable", "The define command"},
    /*  61 */ {"SetSearchPathAction", "The spath and globalpath commands"},
    /*  62 */ {"AddWatchCommand", "The wa command"},
    /*  63 */ {"ShowWatchValuesCommand", "The wa command"},
    /*  64 */ {"BeginKeepLocations", "Breakpoint commands"},
    /*  65 */ {"EndKeepLocations", "Breakpoint commands"},
    /*  66 */ {"SetBreakpointCommand", "Breakpoint commands"},
    /*  67 */ {"MarkBlockStart", "Block marks"},
    /*  68 */ {"RawWordOn", "The command scanner"},
    /*  69 */ {"BreakpointTypeOption", "Breakpoint commands"},
    /*  70 */ {"MarkBlockEnd", "Block marks"},
    /*  71 */ {"ListBreakpointsCommand", "Breakpoint commands"},
    /*  72 */ {"EnableWatchCommand", "The enable and disable commands"},
    /*  73 */ {"EnableBreakpointCommand", "The enable and disable commands"},
    /*  74 */ {"OpenIfCondition", "The if statement"},
    /*  75 */ {"RemoveByTypeWord", "The remove command"},
    /*  76 */ {"EnterBlockLocalName", "The command scanner"},
    /*  77 */ {"RemoveNamed", "The remove command"},
    /*  78 */ {"DeleteWatchesForViewpoint", "The remove command"},
    /*  79 */ {"RestoreCommand", "The restore command"},
    /*  80 */ {"ClearBreakpointCommand", "The remove command"},
    /*  81 */ {"RemoveAll", "The remove command"},
    /*  82 */ {"PutNamed", "The put and append commands"},
    /*  83 */ {"GoWithoutBreaksCommand", "The go command"},
    /*  84 */ {"GoCommand", "The go command"},
    /*  85 */ {"PutByTag", "The put and append commands"},
    /*  86 */ {"ResetTemporaryBreaksCommand", "The go command"},
    /*  87 */ {"AddTemporaryBreakCommand", "The go command"},
    /*  88 */ {"PutByTypeWord", "The put and append commands"},
    /*  89 */ {"GoUntilCommand", "The go command"},
    /*  90 */ {"PutAll", "The put and append commands"},
    /*  91 */ {"DecimalDefaultOff", "The command scanner"},
    /*  92 */ {"NameAlwaysOn", "The command scanner"},
    /*  93 */ {"HandOverAddressOfPath", "The C expression parser"},
    /*  94 */ {"OpenElseJump", "The if statement"},
    /*  95 */ {"CommandParserLL::FixIf", "The if statement"},
    /*  96 */ {"OpenConditionJump", "Loops"},
    /*  97 */ {"PushRealLiteral", "Real literals"},
    /*  98 */ {"CommandParserLL::FixWhile", "Loops"},
    /*  99 */ {"OpenDoWhileCondition", "Loops"},
    /* 100 */ {"PushIntegerLiteral", "Integer literals"},
    /* 101 */ {"DereferenceTopValue", "Value fetch"},
    /* 102 */ {"OpenForCondition", "Loops"},
    /* 103 */ {"OpenForJumpBack", "Loops"},
    /* 104 */ {"CommandParserLL::FixFor", "Loops"},
    /* 105 */ {"PushTrue", "Boolean values"},
    /* 106 */ {"PrintfArgument", "The printf command"},
    /* 107 */ {"PrintfEnd", "The printf command"},
    /* 108 */ {"PrintfBegin", "The printf command"},
    /* 109 */ {"PushStringLiteral", "String literals"},
    /* 110 */ {"NameStickyOff", "The command scanner"},
    /* 111 */ {"NameStickyOn", "The command scanner"},
    /* 112 */ {"OpenBreakJump", "Loops"},
    /* 113 */ {"ClearAddressContext", "Address contexts"},
    /* 114 */ {"OpenContinueJump", "Loops"},
    /* 115 */ {"SetAddressContext", "Address contexts"},
    /* 116 */ {"SetStickyLookupFlag", "Symbol lookup"},
    /* 117 */ {"OpenLocalBlock", "The command scanner"},
    /* 118 */ {"EnterCompound", "Compound commands"},
    /* 119 */ {"CountNestingIn", "Compound commands"},
    /* 120 */ {"LeaveCompound", "Compound commands"},
    /* 121 */ {"CountNestingOut", "Compound commands"},
    /* 122 */ {"CloseLocalBlock", "The command scanner"},
    /* 123 */ {"StepCommand", "The step commands"},
    /* 124 */ {"PushStepDefault", "The step commands"},
    /* 125 */ {"PutClose", "The put and append commands"},
    /* 126 */ {"PutOpen", "The put and append commands"},
    /* 127 */ {"TypedMemoryCommand", "Typed memory access"},
    /* 128 */ {"MakeDestinationRange", "Typed memory access"},
    /* 129 */ {"RetypeLocation", "Typed memory access"},
    /* 130 */ {"ResetMemoryFill", "Typed memory access"},
    /* 131 */ {"SelectEnableOrDisable", "The enable and disable commands"},
    /* 132 */ {"DefineAlias", "The #define command"},
    /* 133 */ {"TakeAliasName", "The #define command"},
    /* 134 */ {"ReadRestOfLine", "The command scanner"},
    /* 135 */ {"PushUnresolvedName", "The command scanner"},
    /* 136 */ {"SaveLocalNameToken", "The command scanner"},
    /* 137 */ {"ShowViewpointAliases", "The vpalias command"},
    /* 138 */ {"SetViewpointAlias", "The vpalias command"},
    /* 139 */ {"ShowViewpoint", "The viewpoint command"},
    /* 140 */ {"SelectViewpointCommand", "The viewpoint command"},
    /* 141 */ {"PushSubcode", "Keyword subcodes"},
    /* 142 */ {"Pager::EndPaging", "Paged output"},
    /* 143 */ {"ShowRun", "The show command"},
    /* 144 */ {"ShowBegin", "The show command"},
    /* 145 */ {"Pager::BeginPaging", "Paged output"},
    /* 146 */ {"SearchPathNoOp", "The setmod command"},
    /* 147 */ {"ClearStickyLookupFlag", "Symbol lookup"},
    /* 148 */ {"SetEchoOffRequest", "The include command"},
    /* 149 */ {"ShowDebugVariables", "The show command"},
    /* 150 */ {"ShowSymbolsOfScope", "The show command"},
    /* 151 */ {"ProcReturn", "The return command"},
    /* 152 */ {"ShowPublics", "The show command"},
    /* 153 */ {"ShowSymbols", "The show command"},
    /* 154 */ {"SelectShowKind", "The show command"},
    /* 155 */ {"SelectShowProcedures", "The show command"},
    /* 156 */ {"DefinedAsNameOn", "The command scanner"},
    /* 157 */ {"SelectShowKindWide", "The show command"},
    /* 158 */ {"PrintProcedure", "The proc command"},
    /* 159 */ {"LogFile::Close", "The nolog command"},
    /* 160 */ {"LogFile::LogCommand", "The log command"},
    /* 161 */ {"ReadRawWord", "The command scanner"},
    /* 162 */ {"ListCurrentProcedure", "The locals command"},
    /* 163 */ {"SymLoadModuleOnServer", "The load command"},
    /* 164 */ {"TakeRawLineArgument", "The load command"},
    /* 165 */ {"SetModuleNoOp", "The setmod command"},
    /* 166 */ {"SelectShowAll", "The show command"},
    /* 167 */ {"TakeFileNameArgument", "The load command"},
    /* 168 */ {"CallStackCommand", "The calls command"},
    /* 169 */ {"PushFalse", "Boolean values"},
    /* 170 */ {"LoadOptionNoOp", "The load command"},
    /* 171 */ {"ShowLineName", "The eval command"},
    /* 172 */ {"PushNullValue", "The value stack"},
    /* 173 */ {"ShowProcedureName", "The eval command"},
    /* 174 */ {"LoadPrepareNoOp", "The load command"},
    /* 175 */ {"ShowSymbolName", "The eval command"},
    /* 176 */ {"EvalDisplay", "The eval command"},
    /* 177 */ {"OpenIncludeDevice", "The include command"},
    /* 178 */ {"StopRun", "The include command"},
    /* 179 */ {"SymUnloadModuleOnServer", "The unload command"},
    /* 180 */ {"ReadRawWordAcrossLines", "The command scanner"},
    /* 181 */ {"ListRegistersAction", "The regs and fregs commands"},
    /* 182 */ {"RefuseInCompound", "Compound commands"},
    /* 183 */ {"HelpCommand", "The help command"},
    /* 184 */ {"DumpStackAction", "The stack command"},
    /* 185 */ {"WaitCommand", "The wait command"},
    /* 186 */ {"SymLoadNamedModule", "The loadsym command"},
    /* 187 */ {"QueryTargetCommand", "The halt command"},
    /* 188 */ {"ListModules", "The nlms command"},
    /* 189 */ {"ExitDebugger", "The exit command"},
    /* 190 */ {"ListWaitingThreads", "The waitingthreads command"},
    /* 191 */ {"DisplayTopValue", "Value display"},
    /* 192 */ {"ListScreens", "The screens command"},
    /* 193 */ {"NameOnceOn", "The command scanner"},
    /* 194 */ {"ListRunQueue", "The runqueue command"},
    /* 195 */ {"OpenLoopStart", "Loops"},
    /* 196 */ {"ListAllProcesses", "The threads command"},
    /* 197 */ {"DisassemblyRange", "The asm command"},
    /* 198 */ {"SymClearChangedFlag", "The clearsym command"},
    /* 199 */ {"DisassemblyStart", "The asm command"},
    /* 200 */ {"PushCurrentViewpoint", "Viewpoint prefixes"},
    /* 201 */ {"SelectViewpointByName", "Viewpoint prefixes"},
    /* 202 */ {"EmitString", "Token strings"},
    /* 203 */ {"BuildAddressFromParts", "Address operands"},
    /* 204 */ {"ReadToClosingBracket", "The command scanner"},
    /* 205 */ {"PopViewpointAction", "Viewpoint prefixes"},
    /* 206 */ {"PrintPrompt", "The prompt"},
    /* 207 */ {"EndPagingAction", "Paged output"},
    /* 208 */ {"CommandParserLL::Stop", "The command parser"},
    /* 209 */ {"RemoveAllLocalNames", "The command scanner"},
    /* 210 */ {"RunNextAtOnce", "The command parser"},
    /* 211 */ {"NestingOut", "Nesting"},
    /* 212 */ {"NestingIn", "Nesting"},
};

struct BuiltInBinding {
  uint16_t slot;
  ActionRoutine routine;
  const char* name;
};

// Slot 57 hands the captured block text to the code being built.
void EndCaptureIntoCode() { EndCapture(&EmitEmbeddedBlockFromCapture); }

// Slot 177 opens the INCLUDE file whose name the raw-word reader took at parse time.
void OpenIncludeFromFileName() { OpenIncludeDevice(CommandScanner::FileNameBuffer()); }

// The routines of the command language that exist, bound when the table starts.
// Slots of the scanner, the executor and the other subsystems are bound by their
// owners.
const BuiltInBinding kBuiltInBindings[] = {
    {0, &PushLineLocationAction, "PushLineLocation"},
    {1, &FindModuleByNameAction, "FindModuleByName"},
    {2, &HandOverScopeDesignator, "HandOverScopeDesignator"},
    {3, &HandOverSymbolPath, "HandOverSymbolPath"},
    {5, &HandOverDereferencedPath, "HandOverDereferencedPath"},
    {6, &PushModuleLocationAction, "PushModuleLocation"},
    {8, &PushMarker, "PushMarker"},
    {9, &CommandScanner::DecimalDefaultOn, "DecimalDefaultOn"},
    {11, &RequireNumericValue, "RequireNumericValue"},
    {13, &MakeDisplayLocation, "MakeDisplayLocation"},
    {14, &DereferenceSymbolAction, "DereferenceSymbol"},
    {15, &FindSymbolByNameAction, "FindSymbolByName"},
    {16, &SubscriptSymbolAction, "SubscriptSymbol"},
    {17, &WriteMemoryFill, "WriteMemoryFill"},
    {18, &AppendFillValue, "AppendFillValue"},
    {19, &HandOverExpression, "HandOverExpression"},
    {20, &ShowNumberBase, "ShowNumberBase"},
    {21, &SetNumberBaseFromStack, "SetNumberBaseFromStack"},
    {23, &ExecuteUnaryOperator, "ExecuteUnaryOperator"},
    {24, &DecrementReference, "DecrementReference"},
    {25, &IncrementReference, "IncrementReference"},
    {26, &PrepareOrAssignment, "PrepareOrAssignment"},
    {27, &PrepareXorAssignment, "PrepareXorAssignment"},
    {28, &PrepareAndAssignment, "PrepareAndAssignment"},
    {29, &PrepareRemainderAssignment, "PrepareRemainderAssignment"},
    {30, &PrepareDivideAssignment, "PrepareDivideAssignment"},
    {31, &PrepareMultiplyAssignment, "PrepareMultiplyAssignment"},
    {32, &PrepareSubtractAssignment, "PrepareSubtractAssignment"},
    {33, &OperatorExecutor, "OperatorExecutor"},
    {34, &PrepareAddAssignment, "PrepareAddAssignment"},
    {35, &AssignValue, "AssignValue"},
    {36, &ProcPassArgument, "ProcPassArgument"},
    {37, &AppendTokenToTopString, "AppendTokenToTopString"},
    {38, &ProcArgumentCount, "ProcArgumentCount"},
    {39, &ProcArgument, "ProcArgument"},
    {40, &ProcCall, "ProcCall"},
    {41, &ProcBeginCall, "ProcBeginCall"},
    {42, &ConvertTopToBoolean, "ConvertTopToBoolean"},
    {43, &CommandScanner::PushCharacter, "PushCharacterLiteral"},
    {44, &PushRegisterRoutine, "PushRegisterRoutine"},
    {45, &PushCurrentLocationRoutine, "PushCurrentLocationRoutine"},
    {46, &PushExecutionAddressRoutine, "PushExecutionAddressRoutine"},
    {47, &PushNumberBase, "PushNumberBase"},
    {48, &CommandScanner::PushName, "PushNameItem"},
    {50, &SelectCommandDefineScope, "SelectCommandDefineScope"},
    {52, &CommandScanner::EnterLocalName, "EnterBlockLocalName"},
    {53, &BeginCapture, "BeginCapture"},
    {54, &DefineProcedure, "DefineProcedure"},
    {56, &PushNullValue, "PushNullValue"},
    {57, &EndCaptureIntoCode, "EndCapture"},
    {58, &SelectDefineScopeAction, "SelectDefineScope"},
    {59, &ConvertTypeWordToken, "ConvertTypeWordToken"},
    {60, &DefineDebugVariable, "DefineDebugVariable"},
    {64, &BeginKeepLocations, "BeginKeepLocations"},
    {65, &EndKeepLocations, "EndKeepLocations"},
    {67, &ParserMarkerRoutine, "MarkBlockStart"},
    {68, &CommandScanner::RawWordOn, "RawWordOn"},
    {70, &ParserMarkerRoutine, "MarkBlockEnd"},
    {74, &CommandParserLL::OpenIfCondition, "OpenIfCondition"},
    {75, &RemoveByTypeWord, "RemoveByTypeWord"},
    {76, &CommandScanner::EnterLocalName, "EnterBlockLocalName"},
    {77, &RemoveNamed, "RemoveNamed"},
    {81, &RemoveAll, "RemoveAll"},
    {82, &PutNamed, "PutNamed"},
    {85, &PutByTag, "PutByTag"},
    {88, &PutByTypeWord, "PutByTypeWord"},
    {90, &PutAll, "PutAll"},
    {91, &CommandScanner::DecimalDefaultOff, "DecimalDefaultOff"},
    {92, &CommandScanner::NameAlwaysOn, "NameAlwaysOn"},
    {93, &HandOverAddressOfPath, "HandOverAddressOfPath"},
    {94, &CommandParserLL::OpenElseJump, "OpenElseJump"},
    {95, &CommandParserLL::FixIf, "CommandParserLL::FixIf"},
    {96, &CommandParserLL::OpenConditionJump, "OpenConditionJump"},
    {97, &CommandScanner::PushReal, "PushRealLiteral"},
    {98, &CommandParserLL::FixWhile, "CommandParserLL::FixWhile"},
    {99, &CommandParserLL::OpenDoWhileCondition, "OpenDoWhileCondition"},
    {100, &CommandScanner::PushInteger, "PushIntegerLiteral"},
    {101, &DereferenceTopValue, "DereferenceTopValue"},
    {102, &CommandParserLL::OpenForCondition, "OpenForCondition"},
    {103, &CommandParserLL::OpenForJumpBack, "OpenForJumpBack"},
    {104, &CommandParserLL::FixFor, "CommandParserLL::FixFor"},
    {105, &PushTrue, "PushTrue"},
    {106, &PrintfArgument, "PrintfArgument"},
    {107, &PrintfEnd, "PrintfEnd"},
    {108, &PrintfBegin, "PrintfBegin"},
    {109, &CommandScanner::PushString, "PushStringLiteral"},
    {110, &CommandScanner::NameStickyOff, "NameStickyOff"},
    {111, &CommandScanner::NameStickyOn, "NameStickyOn"},
    {112, &CommandParserLL::OpenBreakJump, "OpenBreakJump"},
    {113, &ClearAddressContext, "ClearAddressContext"},
    {114, &CommandParserLL::OpenContinueJump, "OpenContinueJump"},
    {115, &SetAddressContext, "SetAddressContext"},
    {117, &CommandScanner::OpenBlock, "OpenLocalBlock"},
    {118, &EnterCompound, "EnterCompound"},
    {119, &NestingCountRoutine, "CountNestingIn"},
    {120, &LeaveCompound, "LeaveCompound"},
    {121, &NestingCountRoutine, "CountNestingOut"},
    {122, &CommandScanner::CloseBlock, "CloseLocalBlock"},
    {124, &DoNothingAction, "PushStepDefault"},
    {125, &PutClose, "PutClose"},
    {126, &PutOpen, "PutOpen"},
    {127, &DoNothingAction, "TypedMemoryCommand"},
    {128, &MakeDestinationRange, "MakeDestinationRange"},
    {129, &RetypeLocation, "RetypeLocation"},
    {130, &ResetMemoryFill, "ResetMemoryFill"},
    {132, &DefineAlias, "DefineAlias"},
    {133, &DoNothingAction, "TakeAliasName"},
    {134, &CommandScanner::ReadRestOfLine, "ReadRestOfLine"},
    {135, &CommandScanner::PushName, "PushUnresolvedName"},
    {136, &CommandScanner::SaveLocalTokenCode, "SaveLocalNameToken"},
    {141, &ParserMarkerRoutine, "PushSubcode"},
    {142, &Pager::EndPaging, "Pager::EndPaging"},
    {143, &ShowRun, "ShowRun"},
    {144, &ShowBegin, "ShowBegin"},
    {145, &Pager::BeginPaging, "Pager::BeginPaging"},
    {148, &SetEchoOffRequest, "SetEchoOffRequest"},
    {149, &ShowDebugVariables, "ShowDebugVariables"},
    {150, &ShowSymbols, "ShowSymbolsOfScope"},
    {151, &ProcReturn, "ProcReturn"},
    {152, &ShowPublics, "ShowPublics"},
    {153, &ShowSymbols, "ShowSymbols"},
    {154, &SelectShowKind, "SelectShowKind"},
    {155, &SelectShowProcedures, "SelectShowProcedures"},
    {156, &CommandScanner::DefinedAsNameOn, "DefinedAsNameOn"},
    {157, &SelectShowKindWide, "SelectShowKindWide"},
    {158, &PrintProcedure, "PrintProcedure"},
    {159, &LogFile::Close, "LogFile::Close"},
    {160, &LogFile::LogCommandFromToken, "LogFile::LogCommand"},
    {161, &CommandScanner::ReadRawWordOnLine, "ReadRawWord"},
    {162, &ListCurrentProcedureAction, "ListCurrentProcedure"},
    {166, &SelectShowAll, "SelectShowAll"},
    {169, &PushFalse, "PushFalse"},
    {171, &ShowLineName, "ShowLineName"},
    {172, &PushNullValue, "PushNullValue"},
    {173, &ShowProcedureName, "ShowProcedureName"},
    {175, &ShowSymbolName, "ShowSymbolName"},
    {176, &EvalDisplay, "EvalDisplay"},
    {177, &OpenIncludeFromFileName, "OpenIncludeDevice"},
    {178, &StopRunningCode, "StopRun"},
    {180, &CommandScanner::ReadRawWordAcrossLines, "ReadRawWordAcrossLines"},
    {182, &RefuseInCompound, "RefuseInCompound"},
    {189, &ExitDebugger, "ExitDebugger"},
    {191, &DisplayTopValue, "DisplayTopValue"},
    {193, &CommandScanner::NameOnceOn, "NameOnceOn"},
    {195, &CommandParserLL::OpenLoopStart, "OpenLoopStart"},
    {200, &PushCurrentViewpoint, "PushCurrentViewpoint"},
    {201, &SelectViewpointByName, "SelectViewpointByName"},
    {202, &ParserMarkerRoutine, "EmitString"},
    {203, &BuildAddressFromParts, "BuildAddressFromParts"},
    {204, &CommandScanner::ReadBracketedName, "ReadToClosingBracket"},
    {205, &PopViewpointAction, "PopViewpointAction"},
    {206, &PrintPrompt, "PrintPrompt"},
    {207, &EndPagingRoutine, "EndPagingAction"},
    {208, &CommandParserLL::Stop, "CommandParserLL::Stop"},
    {209, &CommandScanner::RemoveAllLocalNames, "RemoveAllLocalNames"},
    {210, &ParserMarkerRoutine, "RunNextAtOnce"},
    {211, &ParserMarkerRoutine, "NestingOut"},
    {212, &ParserMarkerRoutine, "NestingIn"},
};

bool g_addressContext = false;

struct SlotState {
  RoutineId bound[ActionTable::kSlotCount];
  RoutineId unbound[ActionTable::kSlotCount];
};

void CheckSlot(uint16_t slot) {
  if (slot >= ActionTable::kSlotCount) ZENTOR_INTERNAL_ERROR();
}

void ApplyDefaults(SlotState& state) {
  for (uint16_t slot = 0; slot < ActionTable::kSlotCount; ++slot) state.bound[slot] = state.unbound[slot];
  for (const BuiltInBinding& binding : kBuiltInBindings) {
    state.bound[binding.slot] = RoutineRegistry::Register(binding.routine, binding.name);
  }
}

SlotState& Slots() {
  static SlotState state = [] {
    SlotState built{};
    for (uint16_t slot = 0; slot < ActionTable::kSlotCount; ++slot) {
      const std::string name = std::string(kSlotRows[slot].routineName) + " [not available]";
      built.unbound[slot] = RoutineRegistry::Register(&RaiseUnboundAction, name.c_str());
    }
    ApplyDefaults(built);
    return built;
  }();
  return state;
}

}  // namespace


RoutineId ActionTable::RoutineIdOf(uint16_t slot) {
  CheckSlot(slot);
  return Slots().bound[slot];
}

const char* ActionTable::RoutineNameOf(uint16_t slot) { return RoutineRegistry::Name(RoutineIdOf(slot)); }

void ActionTable::Run(uint16_t slot) { RoutineRegistry::Invoke(RoutineIdOf(slot)); }

// Every start-up binds the slots as the one before it did: a slot already bound to the
// routine under that name keeps its id without a look-up in the registry (which
// registers each routine under each name once, so the id is the one it would give).
void ActionTable::Bind(uint16_t slot, ActionRoutine routine, const char* name) {
  CheckSlot(slot);
  RoutineId& bound = Slots().bound[slot];
  if (routine != nullptr && name != nullptr && RoutineRegistry::Routine(bound) == routine &&
      std::strcmp(RoutineRegistry::Name(bound), name) == 0) {
    return;
  }
  bound = RoutineRegistry::Register(routine, name);
}

void ActionTable::Unbind(uint16_t slot) {
  CheckSlot(slot);
  Slots().bound[slot] = Slots().unbound[slot];
}

bool ActionTable::IsAvailable(uint16_t slot) {
  CheckSlot(slot);
  return RoutineRegistry::Routine(Slots().bound[slot]) != &RaiseUnboundAction;
}

const char* ActionTable::ServedBy(uint16_t slot) {
  CheckSlot(slot);
  return kSlotRows[slot].servedBy;
}

const char* ActionTable::DefaultRoutineName(uint16_t slot) {
  CheckSlot(slot);
  return kSlotRows[slot].routineName;
}

void ActionTable::ResetToDefaults() { ApplyDefaults(Slots()); }

// Start-up binds every slot, so only a part of the program run without its owner
// (a test) reaches this.
void RaiseUnboundAction() { ZENTOR_INTERNAL_ERROR(); }

void ParserMarkerRoutine() {}

void DoNothingAction() {}

void SetAddressContext() { g_addressContext = true; }
void ClearAddressContext() { g_addressContext = false; }
bool IsAddressContext() { return g_addressContext; }

}  // namespace zentor
