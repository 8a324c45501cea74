// Run control and the agent's events against the stand-in agent running the DEMO
// sample: go to a breakpoint, instruction steps, step over each call form and over a
// recursion, step out, line steps, the divide by zero, hardware write watches in both
// event forms, module loads with their symbols, texts, and Ctrl+C while the target runs.
// The stop records are what the GUI hears; the agent's trace says which breakpoints
// it holds, and none may stay set once a stop has been handled.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness/agent_process.h"
#include "harness/stand_in_session.h"
#include "scripted_line.h"
#include "target/agent_event_handlers.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/disasm_decoder.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/run_control.h"
#include "target/target_gui.h"
#include "target/target_services.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "command/command_arguments.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/viewpoint_manager.h"
#include "platform/clock.h"
#include "platform/user_break.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

using testing_support::AgentProcess;
using testing_support::CapturedOutput;

constexpr uint32_t kThread = 0;
constexpr uint32_t kScratch = 0x00500000;
// Long enough for a loaded machine; a stop normally comes within milliseconds.
constexpr auto kStopDeadline = std::chrono::seconds(60);

// What the GUI heard of one stop.
struct HeardStop {
  uint32_t reason = 0;
  uint32_t number = 0;
  uint32_t location = 0;
  bool located = false;
  std::string text;
  std::string title;
  std::string message;
};

class RecordingGui : public TargetGui {
 public:
  uint32_t NotifyTargetEvent(uint32_t, uint32_t kind, const char* stateText, const StopRecord* record) override {
    if (kind == 1) {
      runningTexts.push_back(stateText);
      return 0;
    }
    HeardStop stop;
    stop.reason = record->m_reason;
    stop.number = record->m_breakpointNumber;
    stop.located = record->m_location.m_nullMark == 0;
    stop.location = record->m_location.m_offset;
    stop.text = record->m_text != nullptr ? record->m_text : "";
    stop.title = record->m_title != nullptr ? record->m_title : "";
    stop.message = record->m_message != nullptr ? record->m_message : "";
    stops.push_back(stop);
    return 0;
  }
  std::vector<HeardStop> stops;
  std::vector<std::string> runningTexts;
};

RegisterBlock Registers() {
  RegisterBlock block;
  block.SetMask(0x03);
  EXPECT_EQ(AgentReadRegisters(kThread, &block), 0u);
  return block;
}

uint32_t Word(const RegisterBlock& block, uint32_t group, uint32_t index) {
  return value_bytes::LoadU32(block.Group(group) + 4 * index);
}

// Group 0: ebp, esp, eflags, eip; group 1: eax, ebx, ecx, edx, esi, edi.
void SetRegisters(const std::map<std::pair<uint32_t, uint32_t>, uint32_t>& words) {
  RegisterBlock block = Registers();
  for (const auto& [at, value] : words) value_bytes::StoreU32(block.Group(at.first) + 4 * at.second, value);
  ASSERT_EQ(AgentWriteRegisters(kThread, &block), 0u);
  InvalidateRegisterCache();
}

uint32_t ProgramCounter() { return Word(Registers(), 0, 3); }
uint32_t StackPointer() { return Word(Registers(), 0, 1); }

uint32_t ReadWord(uint32_t address) {
  uint8_t bytes[4] = {};
  uint16_t got = 0;
  EXPECT_EQ(AgentReadMemory(kThread, 4, address, &got, bytes), 0u);
  return value_bytes::LoadU32(bytes);
}

void WriteBytes(uint32_t address, const std::vector<uint8_t>& bytes) {
  ASSERT_EQ(AgentWriteMemory(kThread, static_cast<uint16_t>(bytes.size()), address, bytes.data()), 0u);
}

std::vector<uint8_t> Le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

class RunControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetLinkState();
    testing_support::SetOfflineSession(false);
    InstallTargetServices();
    m_gui.stops.clear();
    m_gui.runningTexts.clear();
    m_previousGui = InstallTargetGui(&m_gui);
    platform::TakeUserBreak();
  }

  void TearDown() override {
    TargetStatus status;
    TmiDisconnect(&status, 0);
    testing_support::ResetLinkState();
    InstallTargetGui(m_previousGui);
    ResetTargetState();
    ResetRegisterModel();
    ResetTmiOptions();
    ResetKnownModules();
    ResetCommandArguments();
    ResetSymbolLoad();
    testing_support::ForgetProgramAndViewpoints();
    SetSearchPath("", 1);
    testing_support::SetOfflineSession(true);
    platform::TakeUserBreak();
    m_agent.Stop();
  }

  // The agent with DEMO (and HELLO's manifest within reach of a load request), then
  // the connect of start-up.
  void Connect(std::vector<std::string> agentArguments = {}) {
    if (testing_support::AgentProgramPath().empty()) {
      GTEST_SKIP() << "the stand-in agent is not built here: scripts/test sets ZENTOR_AGENT";
    }
    m_symbols = testing_support::SampleModuleSymbols("demo");
    ASSERT_NE(m_symbols.count("main"), 0u) << "no map of DEMO in " << testing_support::SampleModulesDirectory();
    agentArguments.insert(agentArguments.end(),
                          {"--module", testing_support::SampleModulesDirectory() + "demo.mod", "--module-dir", testing_support::SampleModulesDirectory()});
    std::string error;
    ASSERT_TRUE(m_agent.Start(agentArguments, &error)) << error;
    TargetStatus status;
    const std::string link = m_agent.UdpLinkName();
    const char* slot[] = {"-ip", link.c_str(), nullptr};
    uint32_t result = 0;
    ASSERT_EQ(TmiHandleOption(&status, 0, 0, slot, &result), 0u);
    TmiNotify(&status, 0, 3, nullptr);
    ASSERT_TRUE(TheAgentLink().IsOpen());
  }

  uint32_t Symbol(const std::string& name) {
    EXPECT_NE(m_symbols.count(name), 0u) << name;
    return m_symbols[name];
  }

  // The engine's poll timer: events are pumped until the thread stops.
  void RunUntilStopped() {
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    while (TgtIsBusy(kThread)) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the target did not stop";
      TmiPollEvents(kThread);
    }
  }

  uint32_t Go(uint32_t mode = kExecuteGo, const TargetAddressRecord* temporaries = nullptr) {
    TargetStatus status;
    return TmiExecute(&status, kThread, mode, temporaries);
  }

  uint32_t Step(uint32_t kind, uint32_t count = 1, uint32_t* done = nullptr) {
    TargetStatus status;
    uint32_t stepsDone = 0;
    const uint32_t result = TmiStep(&status, kThread, kind, count, &stepsDone, &m_record);
    if (done != nullptr) *done = stepsDone;
    return result;
  }

  // The slot of a new enabled breakpoint of the engine.
  uint32_t AddBreakpoint(uint32_t address, uint32_t type = kEngineTypeSoftware, uint32_t access = 0,
                         uint16_t size = 0) {
    BreakpointRequest request;
    request.m_operation = kBreakpointAdd;
    request.m_address.m_addressClass = kAddressClassMemory;
    request.m_address.m_addressKind = kAddressKindMemoryOffset;
    request.m_address.m_offset = address;
    request.m_hardware = type;
    request.m_lengthCode = access;
    request.m_accessKind = size;
    request.m_enabled = 1;
    TargetStatus status;
    EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &request), 0u);
    return request.m_number;
  }

  void DeleteBreakpoint(uint32_t number) {
    BreakpointRequest request;
    request.m_operation = kBreakpointDelete;
    request.m_number = number;
    TargetStatus status;
    EXPECT_EQ(TmiBreakpointOperation(&status, kThread, &request), 0u);
  }

  // The breakpoints and debug registers the agent holds now, replayed from its trace.
  std::set<std::string> HeldByAgent() const {
    std::set<std::string> held;
    for (const std::string& line : m_agent.TraceLines("exec ")) {
      const size_t note = line.find("status=0x0 ");
      if (note == std::string::npos) continue;
      std::istringstream words(line.substr(note + 11));
      std::string kind;
      std::string index;
      std::string address;
      words >> kind >> index >> address;
      if (kind != "bp" && kind != "dr") continue;
      if (address.empty()) {
        held.erase(kind + index);
      } else {
        held.insert(kind + index);
      }
    }
    return held;
  }

  // Breakpoints the agent was asked to set at the address, counted over the session.
  size_t BreakpointsSetAt(uint32_t address) const {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", address);
    size_t count = 0;
    for (const std::string& line : m_agent.TraceLines("exec ")) {
      if (line.find("command=0x0d") != std::string::npos && line.find(text) != std::string::npos) ++count;
    }
    return count;
  }

  size_t Requests(const char* command) const {
    size_t count = 0;
    for (const std::string& line : m_agent.TraceLines("exec ")) {
      if (line.find(std::string("command=") + command) != std::string::npos) ++count;
    }
    return count;
  }

  // A line step of [start, start + length) of the kind; the stop goes to m_record.
  uint32_t StepLine(uint32_t kind, uint32_t start, uint32_t length, TargetStatus* status) {
    TargetAddressRecord record;
    record.m_addressClass = kAddressClassMemory;
    record.m_addressKind = kAddressKindMemoryOffset;
    record.m_offset = start;
    return TmiStepLine(status, kThread, kind, &record, length, &m_record);
  }

  // A go with one temporary breakpoint, at `address`, until the thread stops; what the
  // module prints on the way is thrown away.
  void RunTo(uint32_t address) {
    TargetAddressRecord target[2];
    target[0].m_addressClass = kAddressClassMemory;
    target[0].m_addressKind = kAddressKindMemoryOffset;
    target[0].m_offset = address;
    target[1].m_nullMark = 1;
    CapturedOutput([&] {
      Go(kExecuteGoWithTemporaries, target);
      RunUntilStopped();
    });
  }

  // Ctrl+C once the thread runs (the agent has had a go since this call), so the break
  // reaches the wait and not the step loop before it.
  std::thread BreakOnceRunning() {
    const size_t goes = Requests("0x04");
    return std::thread([this, goes] {
      const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
      while (Requests("0x04") == goes && std::chrono::steady_clock::now() < deadline) platform::SleepMilliseconds(20);
      platform::SleepMilliseconds(50);
      platform::RaiseUserBreak();
    });
  }

  const HeardStop& LastStop() {
    static const HeardStop kNone;
    EXPECT_FALSE(m_gui.stops.empty()) << "no stop reached the GUI";
    return m_gui.stops.empty() ? kNone : m_gui.stops.back();
  }

  AgentProcess m_agent;
  RecordingGui m_gui;
  TargetGui* m_previousGui = nullptr;
  std::map<std::string, uint32_t> m_symbols;
  StopRecord m_record;
};

// The first go stops at f with the slot's number; the second starts on that very
// breakpoint, so it steps off it first and stops there again in the next turn.
TEST_F(RunControlTest, GoStopsAtABreakpointWithItsSlot) {
  OR_RETURN(Connect());
  const uint32_t slot = AddBreakpoint(Symbol("f"));
  std::string printed = CapturedOutput([&] {
    EXPECT_EQ(Go(), 0u);
    RunUntilStopped();
  });
  EXPECT_EQ(printed, "DEMO starts\n");
  ASSERT_EQ(m_gui.runningTexts, std::vector<std::string>{"RUNNING"});
  EXPECT_EQ(LastStop().reason, kBreakReasonBreakpoint);
  EXPECT_EQ(LastStop().number, slot);
  EXPECT_EQ(LastStop().location, Symbol("f"));
  EXPECT_EQ(ReadWord(StackPointer() + 4), 0u) << "f(0, 0)";
  EXPECT_TRUE(HeldByAgent().empty());

  const size_t stepsBefore = Requests("0x08");
  EXPECT_EQ(Go(), 0u);
  RunUntilStopped();
  EXPECT_EQ(Requests("0x08"), stepsBefore + 1) << "off its own breakpoint with one step";
  EXPECT_EQ(LastStop().reason, kBreakReasonBreakpoint);
  EXPECT_EQ(LastStop().location, Symbol("f"));
  EXPECT_EQ(ReadWord(StackPointer() + 4), 1u) << "f(1, 1)";
  EXPECT_TRUE(HeldByAgent().empty());

  TargetStatus status;
  EXPECT_EQ(TmiExecute(&status, kThread, 7, nullptr), kMsgExecutionNotPermitted) << "no such go";
  EXPECT_EQ(TmiExecute(&status, kNoParticularThread, kExecuteGo, nullptr), 0u);
  EXPECT_EQ(TmiExecute(&status, 0xFFFFFFFFu, kExecuteGo, nullptr), 2006u);
}

// Instruction steps stop at the next instruction with reason 0; main's first one is
// one byte long (push ebp).
TEST_F(RunControlTest, InstructionStepsEndAtTheNextInstruction) {
  OR_RETURN(Connect());
  const uint32_t entry = Symbol("main");
  ASSERT_EQ(ProgramCounter(), entry);
  EXPECT_EQ(Step(kStepInto), 0u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
  EXPECT_EQ(m_record.m_location.m_offset, entry + 1);
  uint32_t done = 0;
  EXPECT_EQ(Step(kStepInto, 3, &done), 0u);
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(m_record.m_location.m_offset, ProgramCounter());
  EXPECT_EQ(Step(9, 1, &done), kMsgExecutionNotPermitted);
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(m_gui.stops.empty()) << "steps report through their own record";
}

// Each call form a step over runs as a whole: the temporary breakpoint goes right
// behind the call, and the thread stops there. A string instruction repeated with F3
// counts as a call; F3 AD does not and is single-stepped.
TEST_F(RunControlTest, StepOverRunsEachCallFormAsAWhole) {
  OR_RETURN(Connect());
  const uint32_t callee = kScratch + 0x100;
  const uint32_t pointer = kScratch + 0x200;
  WriteBytes(callee, {0xC3});
  WriteBytes(pointer, Le32(callee));
  const uint32_t stack = kScratch + 0x1000;
  WriteBytes(stack, Le32(callee));
  const uint32_t rel = callee - (kScratch + 5);
  struct Case {
    const char* name;
    std::vector<uint8_t> code;
    uint32_t length;
    bool call;
  };
  std::vector<uint8_t> absolute = {0xFF, 0x15};
  for (uint8_t byte : Le32(pointer)) absolute.push_back(byte);
  std::vector<uint8_t> indexed = {0xFF, 0x14, 0x25};
  for (uint8_t byte : Le32(pointer)) indexed.push_back(byte);
  std::vector<uint8_t> near = {0xE8};
  for (uint8_t byte : Le32(rel)) near.push_back(byte);
  const Case cases[] = {
      {"near call", near, 5, true},
      {"call through an absolute address", absolute, 6, true},
      {"call through a register", {0xFF, 0xD0}, 2, true},
      {"call through ebp + 8", {0xFF, 0x55, 0x08}, 3, true},
      {"call through [esp]", {0xFF, 0x14, 0x24}, 3, true},
      {"call through an index byte with no base", indexed, 7, true},
      {"rep movsd", {0xF3, 0xA5}, 2, true},
      {"rep lodsd", {0xF3, 0xAD}, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(kScratch, c.code);
    WriteBytes(kScratch + c.code.size(), {0x90, 0x90});
    SetRegisters({{{0, 0}, pointer - 8},
                  {{0, 1}, stack},
                  {{0, 3}, kScratch},
                  {{1, 0}, callee},
                  {{1, 2}, 3},
                  {{1, 4}, kScratch + 0x400},
                  {{1, 5}, kScratch + 0x800}});
    const size_t setBefore = BreakpointsSetAt(kScratch + c.length);
    EXPECT_EQ(Step(kStepOver), 0u);
    EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
    EXPECT_EQ(BreakpointsSetAt(kScratch + c.length) - setBefore, c.call ? 1u : 0u);
    if (c.call) {
      EXPECT_EQ(ProgramCounter(), kScratch + c.length);
    }
    EXPECT_EQ(StackPointer(), stack);
    EXPECT_TRUE(HeldByAgent().empty());
  }
}

// Factorial calls itself: the breakpoint behind the recursive call is reached first by
// the deeper activations, whose stack pointer differs; the step over goes on until
// the activation it started in returns.
TEST_F(RunControlTest, StepOverARecursiveCallEndsInTheSameActivation) {
  OR_RETURN(Connect());
  const uint32_t factorial = Symbol("Factorial");
  const uint32_t slot = AddBreakpoint(factorial);
  Go();
  RunUntilStopped();
  ASSERT_EQ(LastStop().location, factorial);
  ASSERT_EQ(ReadWord(StackPointer() + 4), 5u);
  DeleteBreakpoint(slot);
  // Step over up to the recursive call.
  uint32_t pc = ProgramCounter();
  for (int i = 0; i < 40; ++i) {
    uint8_t code[5] = {};
    uint16_t got = 0;
    ASSERT_EQ(AgentReadMemory(kThread, 5, pc, &got, code), 0u);
    if (code[0] == 0xE8 && pc + 5 + value_bytes::LoadU32(code + 1) == factorial) break;
    ASSERT_EQ(Step(kStepOver), 0u);
    pc = ProgramCounter();
  }
  const uint32_t stack = StackPointer();
  const size_t setBefore = BreakpointsSetAt(pc + 5);
  EXPECT_EQ(Step(kStepOver), 0u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
  EXPECT_EQ(ProgramCounter(), pc + 5);
  EXPECT_EQ(StackPointer(), stack);
  EXPECT_EQ(Word(Registers(), 1, 0), 24u) << "Factorial(4) came back";
  EXPECT_EQ(BreakpointsSetAt(pc + 5) - setBefore, 4u) << "set again after each of the three deeper returns";
  EXPECT_TRUE(HeldByAgent().empty());
}

// Out of g: the thread stops right behind the call in f.
TEST_F(RunControlTest, StepOutEndsBehindTheCall) {
  OR_RETURN(Connect());
  AddBreakpoint(Symbol("g"));
  Go();
  RunUntilStopped();
  ASSERT_EQ(LastStop().location, Symbol("g"));
  const uint32_t returnAddress = ReadWord(StackPointer());
  EXPECT_EQ(Step(kStepOut), 0u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
  EXPECT_EQ(m_record.m_location.m_offset, returnAddress);
  EXPECT_EQ(TgtGetRunState(kThread), uint32_t{kRunStateStepOutEnded});
  EXPECT_TRUE(HeldByAgent().empty());
}

// DEMO runs to its end: every text it prints comes as an event that prints and lets
// it run on, and its last statement divides by zero.
TEST_F(RunControlTest, TextsPrintAndTheDivideByZeroStops) {
  OR_RETURN(Connect());
  const std::string printed = CapturedOutput([&] {
    Go();
    RunUntilStopped();
  });
  EXPECT_EQ(printed, "DEMO starts\nthree\ntotal 240\nfactorial 120\n");
  ASSERT_EQ(m_gui.stops.size(), 1u);
  EXPECT_EQ(LastStop().reason, kBreakReasonEvent);
  EXPECT_EQ(LastStop().text, "Exception: Divide by zero");
  EXPECT_GE(LastStop().location, Symbol("Divide"));
  EXPECT_LT(LastStop().location, Symbol("FormatNumber"));
  EXPECT_EQ(TgtGetException(kThread), 11u);
  EXPECT_TRUE(HeldByAgent().empty());
}

// A write watch on g_squares[3] fires in the fourth turn of the loop, after the
// store; the agent reports it as 0x12D (DR6 to be read) or as 0x12F (the registers in
// the event).
TEST_F(RunControlTest, HardwareWriteWatchStopsAfterTheWrite) {
  for (const bool registersInEvent : {false, true}) {
    SCOPED_TRACE(registersInEvent ? "0x12F" : "0x12D");
    if (registersInEvent) {
      TearDown();
      SetUp();
    }
    OR_RETURN(Connect(registersInEvent ? std::vector<std::string>{"--debug-register-events"}
                                       : std::vector<std::string>{}));
    const uint32_t element = Symbol("g_squares") + 12;
    const uint32_t slot = AddBreakpoint(element, kEngineTypeDebugRegister, kEngineAccessWrite, 4);
    EXPECT_EQ(slot, kFirstHardwareSlot);
    Go();
    RunUntilStopped();
    EXPECT_EQ(LastStop().reason, kBreakReasonBreakpoint);
    EXPECT_EQ(LastStop().number, slot);
    EXPECT_EQ(ReadWord(element), 9u);
    EXPECT_GT(LastStop().location, Symbol("main"));
    EXPECT_LT(LastStop().location, Symbol("g")) << "in main, right after the store";
    EXPECT_TRUE(HeldByAgent().empty());
  }
}

// Events the agent reports at a go instead of running the thread (--go-event), with a
// breakpoint at f and a write watch set by that go. A thread's end deletes its slots,
// here and in the agent, and the thread is forgotten; a thread's start is a stop, then
// the thread runs to the start address with only a temporary breakpoint; a load or a
// server error prints its status and leaves the thread stopped, unreported, with its
// slots. The views of the threads hear of an ended thread and of a breakpoint's stop.
TEST_F(RunControlTest, ThreadAndErrorEventsAsTheAgentReportsThem) {
  struct Case {
    const char* name;
    std::string event;
    std::vector<std::string> titles;  // of the stops the GUI heard
    const char* printed;
    bool threadKnown;
    uint32_t slotsInUse;     // here
    size_t heldByAgent;      // there
    uint32_t threadsChanged;  // the kind-14 record's mark
  };
  char createdAtG[48];
  std::snprintf(createdAtG, sizeof createdAtG, "thread-created:0x%08x", testing_support::SampleModuleSymbols("demo")["g"]);
  const Case cases[] = {
      {"thread exited", "thread-exited", {"Thread exited"}, "", false, 0, 0, 1},
      {"thread created", createdAtG, {"Thread created", ""}, "DEMO starts\n", true, 2, 0, 1},
      {"load error", "load-error:13", {}, "NetWare Server Error: Unresolved external\n", true, 2, 2, 0},
      {"server error", "server-error:0x4004", {}, "NetWare Server Error: Invalid thread ID\n", true, 2, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (&c != cases) {
      TearDown();
      SetUp();
    }
    OR_RETURN(Connect({"--go-event", c.event}));
    AddBreakpoint(Symbol("f"));
    AddBreakpoint(Symbol("g_squares") + 12, kEngineTypeDebugRegister, kEngineAccessWrite, 4);
    CollectableRecord threads(kRecordThreadList);
    threads.Register();
    const std::string printed = CapturedOutput([&] {
      EXPECT_EQ(Go(), 0u);
      RunUntilStopped();
    });
    EXPECT_EQ(printed, c.printed);
    std::vector<std::string> titles;
    for (const HeardStop& stop : m_gui.stops) titles.push_back(stop.title);
    EXPECT_EQ(titles, c.titles);
    EXPECT_EQ(TgtIsKnown(kThread), c.threadKnown);
    uint32_t inUse = 0;
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) inUse += TgtSlotAt(slot).m_id != 0xFFFFFFFFu ? 1 : 0;
    EXPECT_EQ(inUse, c.slotsInUse);
    EXPECT_EQ(BreakpointsSetAt(Symbol("f")), 1u) << "the go set it in the agent";
    EXPECT_EQ(HeldByAgent().size(), c.heldByAgent);
    EXPECT_EQ(threads.TestAndClearChanged(), c.threadsChanged);
    if (c.threadKnown) { EXPECT_EQ(TgtGetRunState(kThread), uint32_t{kRunStateStoppedByEvent}); }
    if (c.titles.size() == 2) {
      EXPECT_EQ(LastStop().reason, kBreakReasonTemporaryBreak);
      EXPECT_EQ(LastStop().location, Symbol("g"));
    }
  }
}

// "load HELLO": the agent loads it and its load event loads HELLO.SYM with the bases
// the event gives, then the thread runs on. With stops on loads the stop is reported
// ("Loaded") and the thread goes towards the module's start address.
TEST_F(RunControlTest, ModuleLoadEventsLoadTheSymbolFile) {
  for (const bool stopOnLoad : {false, true}) {
    SCOPED_TRACE(stopOnLoad ? "stop on load" : "no stop");
    if (stopOnLoad) {
      TearDown();
      SetUp();
    }
    OR_RETURN(Connect());
    SetSearchPath(testing_support::HostPathOfUnixPath(testing_support::SampleModulesDirectory()).c_str(), 1);
    TargetStatus status;
    TmiSelectProcessor(&status, stopOnLoad ? 1 : 0);
    const uint32_t divide = AddBreakpoint(Symbol("Divide"));
    SetTokenText(CurrentToken(), "hello");
    TakeFileNameArgument();
    const std::string printed = CapturedOutput([&] {
      SymLoadModuleOnServer();
      RunUntilStopped();
    });
    const int32_t index = SymFindModule("HELLO");
    ASSERT_GE(index, 0);
    EXPECT_EQ(KnownModuleAt(static_cast<uint32_t>(index)).m_codeBase, 0x00200000u);
    EXPECT_EQ(KnownModuleAt(static_cast<uint32_t>(index)).m_dataBase, 0x00210000u);
    EXPECT_EQ(TmiServerSymbolsLoaded(), 1u);
    const uint32_t helloMain = testing_support::SampleModuleSymbols("hello")["main"];
    if (!stopOnLoad) {
      EXPECT_NE(printed.find("A new NLM 'HELLO' is loaded\n"), std::string::npos) << printed;
      EXPECT_EQ(LastStop().number, divide) << "ran on to the breakpoint";
      EXPECT_EQ(BreakpointsSetAt(helloMain), 0u);
      // "unload hello": the module is forgotten and its unload event is a stop.
      SymUnloadModuleOnServer();
      RunUntilStopped();
      EXPECT_EQ(LastStop().message, "The NLM is unloaded");
      EXPECT_LT(SymFindModule("HELLO"), 0);
    } else {
      ASSERT_GE(m_gui.stops.size(), 1u);
      EXPECT_EQ(m_gui.stops[0].title, "Loaded");
      EXPECT_EQ(m_gui.stops[0].message, "A new NLM 'HELLO' is loaded");
      EXPECT_EQ(m_gui.stops[0].reason, kBreakReasonEvent);
      EXPECT_EQ(BreakpointsSetAt(helloMain), 1u) << "a go towards the start address";
    }
    EXPECT_TRUE(HeldByAgent().empty());
  }
}

// A step over a call that never returns waits until Ctrl+C: the wait ends, the thread
// counts as halted, its slots are lifted, and the next step works.
TEST_F(RunControlTest, CtrlCWhileRunningReturnsControl) {
  OR_RETURN(Connect());
  const uint32_t loop = kScratch + 0x300;
  WriteBytes(loop, {0xEB, 0xFE});
  std::vector<uint8_t> call = {0xE8};
  for (uint8_t byte : Le32(loop - (kScratch + 5))) call.push_back(byte);
  WriteBytes(kScratch, call);
  SetRegisters({{{0, 3}, kScratch}});
  std::thread breaker = BreakOnceRunning();
  uint32_t result = 0;
  uint32_t done = 9;
  const std::string printed = CapturedOutput([&] { result = Step(kStepOver, 1, &done); });
  breaker.join();
  EXPECT_EQ(result, kMsgControlCFromKeyboard);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(printed, "Ctrl+C has aborted operation.\n");
  EXPECT_EQ(TgtGetRunState(kThread), uint32_t{kRunStateHaltRequested});
  EXPECT_TRUE(HeldByAgent().empty());
  EXPECT_EQ(Step(kStepInto), 0u);
  EXPECT_EQ(ProgramCounter(), loop) << "the step ended the agent's run inside the loop";

  platform::RaiseUserBreak();
  EXPECT_EQ(Step(kStepInto, 2, &done), kMsgControlCFromKeyboard) << "a break pending before the first step";
  EXPECT_EQ(done, 0u);
}

// The address of the near call from `caller` to `callee` within the caller's first
// 256 bytes (the agent shows the original bytes under its breakpoints).
uint32_t CallSite(uint32_t caller, uint32_t callee) {
  uint8_t code[256] = {};
  uint16_t got = 0;
  EXPECT_EQ(AgentReadMemory(kThread, sizeof code, caller, &got, code), 0u);
  for (uint32_t at = 0; at + 5 <= got; ++at) {
    if (code[at] == 0xE8 && caller + at + 5 + value_bytes::LoadU32(code + at + 1) == callee) return caller + at;
  }
  ADD_FAILURE() << "no call to " << callee;
  return 0;
}

// The length of the instruction at `address`, as the disassembler decodes it.
uint32_t InstructionLength(uint32_t address) {
  uint8_t code[16] = {};
  uint16_t got = 0;
  EXPECT_EQ(AgentReadMemory(kThread, sizeof code, address, &got, code), 0u);
  DecodeState state;
  CodeByteSpan span(code, got);
  DecodeInstruction(state, span, 0, true);
  return state.m_length;
}

// The line of main that calls f, from the call through the instruction after it. Kind
// 3 ends at f's first instruction; every other kind runs f as a whole (one go) and
// steps on to the end of the range. The engine's breakpoints in f and g, set in the
// target as a go leaves them, are lifted before the first step, so the step over does
// not stop in the callee.
TEST_F(RunControlTest, LineStepGoesIntoOrOverACall) {
  OR_RETURN(Connect());
  const uint32_t call = CallSite(Symbol("main"), Symbol("f"));
  const uint32_t end = call + 5 + InstructionLength(call + 5);
  OR_RETURN(RunTo(call));
  ASSERT_EQ(ProgramCounter(), call);
  RegisterBlock atCall = Registers();
  const uint32_t inF = AddBreakpoint(Symbol("f"));
  AddBreakpoint(Symbol("g"));
  struct Case {
    const char* name;
    uint32_t kind;
    uint32_t stop;
    size_t goes;
  };
  const Case cases[] = {
      {"step into", kStepInto, Symbol("f"), 0},
      {"step over", kStepOver, end, 1},
      {"kind 5 steps over", kStepOut, end, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(AgentWriteRegisters(kThread, &atCall), 0u);
    InvalidateRegisterCache();
    TgtInsertUserSlots(kThread);
    TgtSetHitSlot(kThread, static_cast<int32_t>(inF));
    ASSERT_EQ(HeldByAgent().size(), 2u);
    const size_t steps = Requests("0x08");
    const size_t goes = Requests("0x04");
    const size_t heard = m_gui.stops.size();
    TargetStatus status;
    EXPECT_EQ(StepLine(c.kind, call, end - call, &status), 0u);
    EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
    EXPECT_EQ(m_record.m_location.m_offset, c.stop);
    EXPECT_EQ(ProgramCounter(), c.stop);
    EXPECT_EQ(Requests("0x08") - steps, 1u) << "the call, or the instruction behind it";
    EXPECT_EQ(Requests("0x04") - goes, c.goes);
    EXPECT_EQ(m_gui.stops.size(), heard) << "no breakpoint in the callee was reached";
    EXPECT_TRUE(HeldByAgent().empty());
  }
}

// main's last line: the step over the call of Divide ends in its divide by zero. With
// the divisor argument no longer 0, the same step over runs Divide to its end: the
// return breakpoint of the failed step over went with it.
TEST_F(RunControlTest, LineStepOverACallThatFaultsCanBeRepeated) {
  OR_RETURN(Connect());
  const uint32_t call = CallSite(Symbol("main"), Symbol("Divide"));
  OR_RETURN(RunTo(call));
  ASSERT_EQ(ProgramCounter(), call);
  RegisterBlock atCall = Registers();
  TargetStatus status;
  EXPECT_EQ(StepLine(kStepOver, call, 5, &status), 0u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonEvent);
  EXPECT_STREQ(m_record.m_text, "Exception: Divide by zero");
  EXPECT_GT(ProgramCounter(), Symbol("Divide"));
  EXPECT_TRUE(HeldByAgent().empty());

  ASSERT_EQ(AgentWriteRegisters(kThread, &atCall), 0u);
  InvalidateRegisterCache();
  WriteBytes(StackPointer() + 4, Le32(4));
  EXPECT_EQ(StepLine(kStepOver, call, 5, &status), 0u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
  EXPECT_EQ(ProgramCounter(), call + 5);
  EXPECT_EQ(Word(Registers(), 1, 0), 60u) << "240 / 4";
  EXPECT_TRUE(HeldByAgent().empty());
}

// A go to the instruction behind main's call of Divide ends in the divide by zero and
// leaves its temporary breakpoint there. A step over the call needs that address for
// its own: it is refused with 2001, and the thread does not move.
TEST_F(RunControlTest, RefusedStepOverIsAnError) {
  OR_RETURN(Connect());
  const uint32_t call = CallSite(Symbol("main"), Symbol("Divide"));
  OR_RETURN(RunTo(call));
  OR_RETURN(RunTo(call + 5));
  ASSERT_EQ(LastStop().text, "Exception: Divide by zero");
  SetRegisters({{{0, 3}, call}});
  const size_t goes = Requests("0x04");
  const size_t steps = Requests("0x08");
  TargetStatus status;
  m_record = StopRecord{};
  EXPECT_EQ(StepLine(kStepOver, call, 5, &status), kMsgExecutionNotPermitted);
  EXPECT_EQ(status.m_severity, 3u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonNone) << "no stop to decode";
  EXPECT_EQ(ProgramCounter(), call);
  EXPECT_EQ(Requests("0x04"), goes);
  EXPECT_EQ(Requests("0x08"), steps);
}

// A thread already outside the range (the end is exclusive; an empty range holds
// nothing) is not stepped: the answer is 0, yet the breakpoints are lifted and the hit
// slot forgotten, so the stop decodes by the thread's state (stopped by an event, the
// end of the go to f), not as a breakpoint.
TEST_F(RunControlTest, LineStepOutsideItsRangeSendsNoStep) {
  OR_RETURN(Connect());
  const uint32_t slot = AddBreakpoint(Symbol("g"));
  OR_RETURN(RunTo(Symbol("f")));
  const uint32_t pc = ProgramCounter();
  ASSERT_EQ(pc, Symbol("f"));
  struct Case {
    const char* name;
    uint32_t start;
    uint32_t length;
  };
  const Case cases[] = {
      {"range ends at the pc", pc - 4, 4},
      {"range starts behind the pc", pc + 1, 16},
      {"empty range at the pc", pc, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TgtInsertUserSlots(kThread);
    TgtSetHitSlot(kThread, static_cast<int32_t>(slot));
    ASSERT_FALSE(HeldByAgent().empty());
    const size_t steps = Requests("0x08");
    const size_t goes = Requests("0x04");
    TargetStatus status;
    EXPECT_EQ(StepLine(kStepOver, c.start, c.length, &status), 0u);
    EXPECT_EQ(Requests("0x08"), steps);
    EXPECT_EQ(Requests("0x04"), goes);
    EXPECT_TRUE(HeldByAgent().empty());
    EXPECT_EQ(m_record.m_reason, kBreakReasonEvent);
    EXPECT_EQ(m_record.m_location.m_offset, pc);
  }
}

// A loop on one line jumps back to the line's first byte: the line step goes on
// through every turn and ends at the first byte behind the range. The register model
// held ecx from before the step; afterwards it gives the value the loop left.
TEST_F(RunControlTest, LineStepFollowsALoopBackIntoItsRange) {
  OR_RETURN(Connect());
  // dec ecx; jnz back to the dec; nop.
  WriteBytes(kScratch, {0x49, 0x75, 0xFD, 0x90});
  SetRegisters({{{0, 3}, kScratch}, {{1, 2}, 3}});
  const RegisterTable* table = GetRegisterTable();
  uint32_t ecxRow = 0;
  while (ecxRow < table->m_rowCount && std::strcmp(table->m_rows[ecxRow].m_name, "ecx") != 0) ++ecxRow;
  auto modelEcx = [&] {
    uint8_t bytes[4] = {};
    TargetStatus status;
    EXPECT_EQ(GetRegisterValueByRow(&status, kThread, ecxRow, bytes), 0u);
    return value_bytes::LoadU32(bytes);
  };
  ASSERT_EQ(modelEcx(), 3u);
  const size_t steps = Requests("0x08");
  TargetStatus status;
  EXPECT_EQ(StepLine(kStepOver, kScratch, 3, &status), 0u);
  EXPECT_EQ(Requests("0x08") - steps, 6u) << "three turns of two instructions";
  EXPECT_EQ(m_record.m_reason, kBreakReasonStepsDone);
  EXPECT_EQ(m_record.m_location.m_offset, kScratch + 3);
  EXPECT_EQ(modelEcx(), 0u);
}

// A step that fails ends the line step even with the thread still in the range. An
// exception (int 0x41 leaves the thread behind it) leaves the thread's status word 0,
// so the stop is decoded; a Ctrl+C leaves 80 there, which becomes the status as an
// error and the stop record is not touched. The next line step starts clean.
TEST_F(RunControlTest, FailedStepEndsTheLineStep) {
  OR_RETURN(Connect());
  WriteBytes(kScratch, {0xCD, 0x41, 0x90, 0x90});
  SetRegisters({{{0, 3}, kScratch}});
  size_t steps = Requests("0x08");
  TargetStatus status;
  EXPECT_EQ(StepLine(kStepInto, kScratch, 4, &status), 0u);
  EXPECT_EQ(Requests("0x08") - steps, 1u);
  EXPECT_EQ(ProgramCounter(), kScratch + 2);
  EXPECT_EQ(m_record.m_reason, kBreakReasonEvent);
  EXPECT_STREQ(m_record.m_text, "Exception: Access violation");
  EXPECT_EQ(m_record.m_location.m_offset, kScratch + 2);

  // A call into a loop that never ends, and the nops behind it, all on the line.
  const uint32_t loop = kScratch + 0x300;
  WriteBytes(loop, {0xEB, 0xFE});
  std::vector<uint8_t> call = {0xE8};
  for (uint8_t byte : Le32(loop - (kScratch + 5))) call.push_back(byte);
  call.insert(call.end(), {0x90, 0x90});
  WriteBytes(kScratch, call);
  SetRegisters({{{0, 3}, kScratch}});
  m_record = StopRecord{};
  steps = Requests("0x08");
  std::thread breaker = BreakOnceRunning();
  uint32_t result = 0;
  const std::string printed = CapturedOutput([&] { result = StepLine(kStepOver, kScratch, 7, &status); });
  breaker.join();
  EXPECT_EQ(printed, "Ctrl+C has aborted operation.\n");
  EXPECT_EQ(result, kMsgControlCFromKeyboard);
  EXPECT_EQ(status.m_number, kMsgControlCFromKeyboard);
  EXPECT_EQ(status.m_severity, 3u);
  EXPECT_EQ(m_record.m_reason, kBreakReasonNone);
  EXPECT_EQ(Requests("0x08"), steps);
  EXPECT_TRUE(HeldByAgent().empty());

  TargetStatus next;
  EXPECT_EQ(StepLine(kStepOver, 0, 0, &next), 0u);
  EXPECT_EQ(next.m_severity, 0u);
}

// Without an agent: the call forms a step over recognises have the lengths the
// disassembler decodes, for every ModRM byte of FF /2 and every index byte.
TEST(CallDetectionTest, LengthsAgreeWithTheDisassembler) {
  auto decodedLength = [](const std::vector<uint8_t>& bytes) {
    DecodeState state;
    CodeByteSpan span(bytes.data(), static_cast<uint32_t>(bytes.size()));
    DecodeInstruction(state, span, 0, true);
    return state.m_length;
  };
  auto detected = [](const std::vector<uint8_t>& bytes) {
    return CallInstructionLength(0x1000, [&bytes](uint32_t address, uint8_t* byte) {
      if (address - 0x1000 >= bytes.size()) return false;
      *byte = bytes[address - 0x1000];
      return true;
    });
  };
  std::vector<uint8_t> code(16, 0);
  for (uint32_t modRm = 0; modRm < 256; ++modRm) {
    for (uint32_t index = 0; index < 256; ++index) {
      code[0] = 0xFF;
      code[1] = static_cast<uint8_t>(modRm);
      code[2] = static_cast<uint8_t>(index);
      const bool isCall = ((modRm >> 3) & 7u) == 2;
      SCOPED_TRACE("FF " + std::to_string(modRm) + " " + std::to_string(index));
      EXPECT_EQ(detected(code), isCall ? decodedLength(code) : 0u);
      if (((modRm & 7u) != 4 || (modRm >> 6) == 3) && index > 0) break;
    }
  }
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t length;
  };
  const Case cases[] = {
      {{0xE8, 1, 2, 3, 4}, 5},   {{0x9A, 1, 2, 3, 4, 5, 6}, 7}, {{0xF3, 0xA4}, 2}, {{0xF2, 0xAF}, 2},
      {{0xF3, 0xAB}, 2},         {{0xF3, 0xA8}, 0},             {{0xF3, 0xAD}, 0}, {{0xF3, 0xAC}, 0},
      {{0xFF, 0xE0}, 0},         {{0x90}, 0},                   {{0xFF}, 0},       {{}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    EXPECT_EQ(detected(c.bytes), c.length);
  }
}

// Without an agent: a text event prints its text as it is ("%" included) and asks for
// the next event with the target running on; an exception of a thread the target does
// not know lets it run on too.
TEST(AgentEventDispatchTest, TextsPrintAsTheyAreAndTheTargetRunsOn) {
  AgentEventRecord record;
  record.m_code = kAgentEventText;
  record.m_threadId = 7;
  std::strcpy(record.m_name, "100% %s done\n");
  uint32_t resume = 9;
  uint32_t more = 0;
  const std::string printed = CapturedOutput([&] { DispatchAgentEvent(&record, &resume, &more); });
  EXPECT_EQ(printed, "100% %s done\n");
  EXPECT_EQ(resume, 1u);
  EXPECT_EQ(more, 1u);
  EXPECT_EQ(record.m_threadId, 0u);

  AgentEventRecord exception;
  exception.m_code = kAgentEventException;
  exception.m_words[0] = 0;
  more = 0;
  DispatchAgentEvent(&exception, &resume, &more);
  EXPECT_EQ(resume, 1u) << "no context is known";
  EXPECT_EQ(more, 0u);
}

}  // namespace
}  // namespace zentor
