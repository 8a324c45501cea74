// The postfix executor on code laid out as the parser lays out control structures,
// with recording routines in the call instructions: the call trace shows which
// instructions ran in which order.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/grammar_object.h"
#include "command/postfix_code.h"
#include "command/postfix_executor.h"
#include "command/procedure_call.h"
#include "postfix_test_support.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "harness/transcript.h"
#include "platform/user_break.h"

namespace zentor {
namespace {

using testing_support::CodeBuilder;
using testing_support::ConditionScript;
using testing_support::DumpCode;
using testing_support::LambdaRoutine;
using testing_support::RecordRoutine;
using testing_support::ResetExecution;
using testing_support::Trace;
using testing_support::TraceText;

// Runs the code and destroys it; an escaping DVError is returned as "error N".
std::string RunAndDestroy(MemoryFileHandle code) {
  std::string outcome;
  try {
    PostfixExecutor::Run(code);
  } catch (const DVError& error) {
    outcome = "error " + std::to_string(error.Number());
  }
  DestroyMemoryFile(code);
  return outcome;
}

class ExecutorTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetExecution(); }
  void TearDown() override {
    ResetPostfixExecutor();
    platform::TakeUserBreak();
  }
};

struct ControlCase {
  const char* name;
  std::function<void(CodeBuilder&)> build;
  std::vector<bool> conditions;
  const char* expected;
};

void IfElse(CodeBuilder& code) {
  code.NestIn().Condition().JumpTo(kPostfixJumpIfFalse, "else").Record("A").JumpTo(kPostfixJump, "end");
  code.Label("else").Record("B").Label("end").Record("C").NestOut();
}

void NestedIfElse(CodeBuilder& code) {
  code.NestIn().Condition().JumpTo(kPostfixJumpIfFalse, "outerElse");
  code.Condition().JumpTo(kPostfixJumpIfFalse, "innerElse").Record("A").JumpTo(kPostfixJump, "innerEnd");
  code.Label("innerElse").Record("B").Label("innerEnd").JumpTo(kPostfixJump, "outerEnd");
  code.Label("outerElse").Record("C").Label("outerEnd").Record("D").NestOut();
}

void While(CodeBuilder& code) {
  code.NestIn().Label("start").Op(kPostfixNoOp).Condition().JumpTo(kPostfixJumpIfFalse, "end");
  code.Record("A").JumpTo(kPostfixJump, "start").Label("end").Record("Z").NestOut();
}

void DoWhile(CodeBuilder& code) {
  code.NestIn().Label("start").Op(kPostfixNoOp).Record("A").Op(kPostfixNoOp).Condition();
  code.JumpTo(kPostfixJumpIfFalse, "end").JumpTo(kPostfixJump, "start").Label("end").Record("Z").NestOut();
}

void For(CodeBuilder& code) {
  code.NestIn().Label("start").Op(kPostfixNoOp).Condition().JumpTo(kPostfixJumpIfFalse, "end");
  code.JumpTo(kPostfixJump, "body").Label("step").Record("S").JumpTo(kPostfixJump, "start");
  code.Label("body").Record("B").JumpTo(kPostfixJump, "step").Label("end").Record("Z").NestOut();
}

// while (c) { A; if (c) break; B }  Z
void WhileWithBreak(CodeBuilder& code) {
  code.NestIn().Label("start").Op(kPostfixNoOp).Condition().JumpTo(kPostfixJumpIfFalse, "end").Record("A");
  code.Condition().JumpTo(kPostfixJumpIfFalse, "noBreak").JumpTo(kPostfixJump, "end").Label("noBreak");
  code.Record("B").JumpTo(kPostfixJump, "start").Label("end").Record("Z").NestOut();
}

// while (c) { A; if (c) continue; B }  Z
void WhileWithContinue(CodeBuilder& code) {
  code.NestIn().Label("start").Op(kPostfixNoOp).Condition().JumpTo(kPostfixJumpIfFalse, "end").Record("A");
  code.Condition().JumpTo(kPostfixJumpIfFalse, "noContinue").JumpTo(kPostfixJump, "start").Label("noContinue");
  code.Record("B").JumpTo(kPostfixJump, "start").Label("end").Record("Z").NestOut();
}

// for (; c; S) { if (c) continue; B }  Z: a continue goes to the step.
void ForWithContinue(CodeBuilder& code) {
  code.NestIn().Label("start").Op(kPostfixNoOp).Condition().JumpTo(kPostfixJumpIfFalse, "end");
  code.JumpTo(kPostfixJump, "body").Label("step").Record("S").JumpTo(kPostfixJump, "start");
  code.Label("body").Condition().JumpTo(kPostfixJumpIfFalse, "noContinue").JumpTo(kPostfixJump, "step");
  code.Label("noContinue").Record("B").JumpTo(kPostfixJump, "step").Label("end").Record("Z").NestOut();
}

// A jump-if-true skips; a jump of offset 5 is the next instruction; the nesting ends
// the run only when it returns to 0.
void JumpsAndNesting(CodeBuilder& code) {
  code.NestIn().Condition().JumpTo(kPostfixJumpIfTrue, "skip").Record("A").Label("skip");
  code.Op(kPostfixJump, 5).Record("B").NestIn().Record("C").NestOut().Record("D").NestOut().Record("never");
}

TEST_F(ExecutorTest, ControlStructuresRunInTheOrderOfTheirLayout) {
  const ControlCase cases[] = {
      {"if taken", IfElse, {true}, "T A C"},
      {"else taken", IfElse, {false}, "F B C"},
      {"nested if, inner then", NestedIfElse, {true, true}, "T T A D"},
      {"nested if, inner else", NestedIfElse, {true, false}, "T F B D"},
      {"nested if, outer else", NestedIfElse, {false}, "F C D"},
      {"while twice", While, {true, true, false}, "T A T A F Z"},
      {"while never", While, {false}, "F Z"},
      {"do-while runs the body first", DoWhile, {true, false}, "A T A F Z"},
      {"for with step after the body", For, {true, true, false}, "T B S T B S F Z"},
      {"break leaves the loop", WhileWithBreak, {true, false, true, true}, "T A F B T A T Z"},
      {"continue goes to the condition", WhileWithContinue, {true, true, true, false, false},
       "T A T T A F B F Z"},
      {"continue in for goes to the step", ForWithContinue, {true, true, true, false, false},
       "T T S T F B S F Z"},
      {"jump if true and nesting", JumpsAndNesting, {false}, "F A B C D"},
      {"jump if true taken", JumpsAndNesting, {true}, "T B C D"},
  };
  for (const ControlCase& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    ConditionScript().assign(test.conditions.begin(), test.conditions.end());
    CodeBuilder code;
    test.build(code);
    EXPECT_EQ(RunAndDestroy(code.Finish()), "");
    EXPECT_EQ(TraceText(), test.expected);
    EXPECT_TRUE(ConditionScript().empty()) << "every scripted condition is used";
    EXPECT_EQ(ValueStack::Depth(), 0u) << "the conditions are popped";
    EXPECT_EQ(PostfixExecutor::CodeStackDepth(), 0);
  }
}

void PushThree() { PushWord32(3); }
void PushZero() { PushWord32(0); }

TEST_F(ExecutorTest, CountedLoopCountsDownAndLeavesItsCounter) {
  struct Case {
    const char* name;
    void (*push)();
    const char* expected;
  };
  for (const Case& test : {Case{"three rounds", &PushThree, "A A A Z"}, Case{"zero on entry", &PushZero, "Z"}}) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    CodeBuilder code;
    code.NestIn().Call(LambdaRoutine(test.name, test.push)).Label("loop").JumpTo(kPostfixLoopStep, "exit");
    code.Record("A").JumpTo(kPostfixJump, "loop").Label("exit").Record("Z").NestOut();
    EXPECT_EQ(RunAndDestroy(code.Finish()), "");
    EXPECT_EQ(TraceText(), test.expected);
    ASSERT_EQ(ValueStack::TopKind(), kKindOrd4);
    EXPECT_EQ(PopWord32(), 0xFFFFFFFFu);
  }
}

TEST_F(ExecutorTest, StringInstructionLoadsTheTokenRecord) {
  TokenRecord& token = CurrentToken();
  struct Case {
    const char* name;
    std::string text;
    uint16_t tag;
  };
  const Case cases[] = {
      {"empty", "", 0},
      {"word", "load", 16},
      {"bytes with a NUL", std::string("a\0b", 3), 7},
      {"longest that fits", std::string(sizeof(token.text) - 1, 'x'), 1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::memset(token.text, '#', sizeof(token.text));
    CodeBuilder code;
    code.NestIn().String(test.text, test.tag).NestOut();
    EXPECT_EQ(RunAndDestroy(code.Finish()), "");
    EXPECT_EQ(token.textLength, test.text.size());
    EXPECT_EQ(token.tag, test.tag);
    EXPECT_EQ(std::string(token.text, token.textLength), test.text);
    EXPECT_EQ(token.text[test.text.size()], '\0');
  }
}

TEST_F(ExecutorTest, BadCodeIsRefusedWithItsMessage) {
  struct Case {
    const char* name;
    std::function<void(CodeBuilder&)> build;
    uint32_t number;
  };
  const Case cases[] = {
      {"continue placeholder", [](CodeBuilder& c) { c.NestIn().Op(9).NestOut(); }, 72},
      {"break placeholder", [](CodeBuilder& c) { c.NestIn().Op(10).NestOut(); }, 72},
      {"do-while placeholder", [](CodeBuilder& c) { c.NestIn().Op(11).NestOut(); }, 72},
      {"if placeholder", [](CodeBuilder& c) { c.NestIn().Op(0xFF).NestOut(); }, 72},
      {"opcode 0x0E", [](CodeBuilder& c) { c.NestIn().Op(0x0E).NestOut(); }, 72},
      {"embedded block is not executable", [](CodeBuilder& c) { c.NestIn().Embedded({1, 2}).NestOut(); }, 72},
      {"call of no routine", [](CodeBuilder& c) { c.NestIn().Call(0xFFFFFF00u).NestOut(); }, 72},
      {"string longer than the token text",
       [](CodeBuilder& c) { c.NestIn().String(std::string(sizeof(CurrentToken().text), 'y')).NestOut(); }, 72},
      {"string text cut short", [](CodeBuilder& c) { c.NestIn().Op(kPostfixString, 40); }, 182},
      {"no final nesting-out", [](CodeBuilder& c) { c.NestIn().Record("A"); }, 182},
      {"empty code", [](CodeBuilder&) {}, 182},
      {"jump before the start", [](CodeBuilder& c) { c.NestIn().Op(kPostfixJump, 0xFFFFFF00u); }, 183},
      {"jump past the end", [](CodeBuilder& c) { c.NestIn().Op(kPostfixJump, 100).NestOut(); }, 183},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    CodeBuilder code;
    test.build(code);
    EXPECT_EQ(RunAndDestroy(code.Finish()), "error " + std::to_string(test.number));
    EXPECT_EQ(PostfixExecutor::CodeStackDepth(), 1) << "a failing run leaves its code for the caller";
  }
}

// A routine that runs a second code from inside the first.
MemoryFileHandle g_innerCode = kNullMemoryFile;
void RunInnerCode() { PostfixExecutor::Run(g_innerCode); }

TEST_F(ExecutorTest, StopEndsOnlyTheInnermostRun) {
  CodeBuilder inner;
  inner.NestIn().Record("in1").Call(ActionTable::RoutineIdOf(178)).Record("in2").NestOut();
  g_innerCode = inner.Finish();
  CodeBuilder outer;
  outer.NestIn().Record("out1").Call(LambdaRoutine("RunInnerCode", &RunInnerCode)).Record("out2").NestOut();
  EXPECT_EQ(RunAndDestroy(outer.Finish()), "");
  DestroyMemoryFile(g_innerCode);
  EXPECT_EQ(TraceText(), "out1 in1 out2");
  EXPECT_TRUE(PostfixExecutor::IsRunning());
}

// A routine that runs the code it is part of again: each run nests one level deeper.
MemoryFileHandle g_recursiveCode = kNullMemoryFile;
void RunRecursively() { PostfixExecutor::Run(g_recursiveCode); }

TEST_F(ExecutorTest, RunsNestedDeeperThanTheCodeStackAreRefused) {
  CodeBuilder code;
  code.NestIn().Record("enter").Call(LambdaRoutine("RunRecursively", &RunRecursively)).NestOut();
  g_recursiveCode = code.Finish();
  EXPECT_EQ(RunAndDestroy(g_recursiveCode), "error 101");
  EXPECT_EQ(Trace().size(), static_cast<size_t>(PostfixExecutor::kCodeStackSize));
  EXPECT_EQ(PostfixExecutor::CodeStackDepth(), PostfixExecutor::kCodeStackSize);
  PostfixExecutor::PopCodesTo(0);
  EXPECT_EQ(PostfixExecutor::CodeStackDepth(), 0);
}

void RaiseBreak() { platform::RaiseUserBreak(); }

TEST_F(ExecutorTest, UserBreakStopsTheRunBeforeTheNextInstruction) {
  CodeBuilder code;
  code.NestIn().Record("A").Call(LambdaRoutine("RaiseBreak", &RaiseBreak)).Record("B").NestOut();
  const MemoryFileHandle handle = code.Finish();
  try {
    PostfixExecutor::Run(handle);
    ADD_FAILURE() << "no break raised";
  } catch (const DVError& error) {
    EXPECT_EQ(error.Number(), 401u);
    EXPECT_EQ(error.Severity(), kSeverityWarning);
    EXPECT_EQ(error.DisplayMode(), kDisplayNone);
  }
  DestroyMemoryFile(handle);
  EXPECT_EQ(TraceText(), "A");
  EXPECT_FALSE(platform::IsUserBreakPending()) << "the break is taken";
}

TEST_F(ExecutorTest, JumpOfOffsetZeroRepeatsUntilTheBreak) {
  CodeBuilder code;
  code.NestIn().Op(kPostfixJump, 0).NestOut();
  std::thread breaker([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    platform::RaiseUserBreak();
  });
  EXPECT_EQ(RunAndDestroy(code.Finish()), "error 401");
  breaker.join();
}

// Block cutting: the routines keep what they took for the test to look at.
MemoryFileHandle g_taken = kNullMemoryFile;
void TakeNested() { g_taken = PostfixExecutor::TakeNestedBlock(); }
void TakeEmbedded() { g_taken = PostfixExecutor::TakeEmbeddedBlock(); }
void TakeMarked() { g_taken = PostfixExecutor::TakeMarkedBlock(); }

TEST_F(ExecutorTest, BlocksAreCutOutOfTheRunningCode) {
  struct Case {
    const char* name;
    std::function<void(CodeBuilder&)> build;
    const char* trace;
    std::vector<std::string> taken;
  };
  const RoutineId nested = LambdaRoutine("TakeNested", &TakeNested);
  const RoutineId embedded = LambdaRoutine("TakeEmbedded", &TakeEmbedded);
  const RoutineId marked = LambdaRoutine("TakeMarked", &TakeMarked);
  const Case cases[] = {
      {"nested block with inner nesting and data",
       [&](CodeBuilder& c) {
         c.NestIn().Call(nested).NestIn().String("a;b").NestIn().Embedded({7, 6}).NestOut().NestOut();
         c.Record("after").NestOut();
       },
       "after",
       {"nest-in", "string 'a;b'", "nest-in", "embedded-block 2", "nest-out", "nest-out"}},
      {"embedded block",
       [&](CodeBuilder& c) {
         CodeBuilder body;
         body.NestIn().Record("x").NestOut();
         const MemoryFileHandle bodyCode = body.Finish();
         std::vector<uint8_t> bytes(MemoryFileOf(bodyCode).Size());
         MemoryFileOf(bodyCode).Seek(0);
         MemoryFileOf(bodyCode).Read(1, static_cast<uint32_t>(bytes.size()), bytes.data());
         DestroyMemoryFile(bodyCode);
         c.NestIn().Call(embedded).Embedded(bytes).Record("after").NestOut();
       },
       "after",
       {"nest-in", "call rec:x", "nest-out"}},
      {"marked block ahead; the code then runs it in place",
       [&](CodeBuilder& c) {
         c.NestIn().Call(marked).Record("before").Op(kPostfixBlockStart).Record("m").String("s");
         c.Op(kPostfixBlockEnd).Record("after").NestOut();
       },
       "before m after",
       {"call rec:m", "string 's'", "block-end"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    g_taken = kNullMemoryFile;
    CodeBuilder code;
    test.build(code);
    EXPECT_EQ(RunAndDestroy(code.Finish()), "");
    EXPECT_EQ(TraceText(), test.trace);
    ASSERT_NE(g_taken, kNullMemoryFile);
    EXPECT_EQ(DumpCode(g_taken), test.taken);
    DestroyMemoryFile(g_taken);
  }
}

TEST_F(ExecutorTest, BlockCuttersRefuseCodeWithoutTheirBlock) {
  struct Case {
    const char* name;
    std::function<void(CodeBuilder&)> build;
    const char* outcome;
  };
  const RoutineId nested = LambdaRoutine("TakeNested", &TakeNested);
  const RoutineId embedded = LambdaRoutine("TakeEmbedded", &TakeEmbedded);
  const RoutineId marked = LambdaRoutine("TakeMarked", &TakeMarked);
  const Case cases[] = {
      {"nested: a call first", [&](CodeBuilder& c) { c.NestIn().Call(nested).Record("x").NestOut(); }, "error 72"},
      {"nested: a nesting-out first", [&](CodeBuilder& c) { c.NestIn().Call(nested).NestOut(); }, "error 72"},
      {"nested: never closed", [&](CodeBuilder& c) { c.NestIn().Call(nested).NestIn().Record("x"); }, "error 182"},
      {"embedded: another instruction", [&](CodeBuilder& c) { c.NestIn().Call(embedded).NestOut(); }, "error 72"},
      {"embedded: bytes missing", [&](CodeBuilder& c) { c.NestIn().Call(embedded).Op(kPostfixEmbeddedBlock, 99); },
       "error 182"},
      {"marked: end without start",
       [&](CodeBuilder& c) { c.NestIn().Call(marked).Op(kPostfixBlockEnd).NestOut(); }, "error 72"},
      {"marked: no end", [&](CodeBuilder& c) { c.NestIn().Call(marked).Op(kPostfixBlockStart).NestOut(); },
       "error 182"},
  };
  const uint32_t liveFiles = LiveMemoryFileCount();
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    g_taken = kNullMemoryFile;
    CodeBuilder code;
    test.build(code);
    EXPECT_EQ(RunAndDestroy(code.Finish()), test.outcome);
    EXPECT_EQ(g_taken, kNullMemoryFile);
    EXPECT_EQ(LiveMemoryFileCount(), liveFiles) << "no half-made block is left behind";
  }
}

MemoryFileHandle g_markedCode = kNullMemoryFile;
void RunMarked() { PostfixExecutor::RunMarkedBlock(g_markedCode); }

TEST_F(ExecutorTest, MarkedBlocksRunTheRestrictedInstructionSet) {
  struct Case {
    const char* name;
    std::function<void(CodeBuilder&)> build;
    const char* trace;
    const char* outcome;
  };
  const Case cases[] = {
      {"calls, strings and no-ops up to the end mark",
       [](CodeBuilder& c) {
         c.Record("a").String("t").NestIn().Op(kPostfixNoOp).Op(kPostfixBlockStart).NestOut().Record("b");
         c.Op(kPostfixBlockEnd).Record("never");
       },
       "a b", ""},
      {"a jump is refused", [](CodeBuilder& c) { c.Record("a").Op(kPostfixJump, 5).Op(kPostfixBlockEnd); }, "a",
       "error 72"},
      {"no end mark", [](CodeBuilder& c) { c.Record("a"); }, "a", "error 182"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    CodeBuilder block;
    test.build(block);
    g_markedCode = block.Finish();
    CodeBuilder code;
    code.NestIn().Call(LambdaRoutine("RunMarked", &RunMarked)).NestOut();
    EXPECT_EQ(RunAndDestroy(code.Finish()), test.outcome);
    DestroyMemoryFile(g_markedCode);
    EXPECT_EQ(TraceText(), test.trace);
  }
}

// Procedure calls built by hand as the parser emits them: the name as a string, the
// begin routine, each argument followed by the pass routine, the call.
void PushTen() { PushWord32(10); }
void PushTwenty() { PushWord32(20); }
void PushThirty() { PushWord32(30); }
void PushIndex0() { PushCount16(0); }
void PushIndex1() { PushCount16(1); }
void PushIndex2() { PushCount16(2); }
void PushIndex3() { PushCount16(3); }
void RecordTop() {
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    Trace().push_back("null");
    return;
  }
  Trace().push_back(std::to_string(PopWord32()));
}
void RecordArguments() {
  ActionTable::Run(38);
  RecordTop();
  for (void (*index)() : {&PushIndex0, &PushIndex1, &PushIndex2, &PushIndex3}) {
    index();
    ActionTable::Run(39);
    RecordTop();
  }
}

RoutineId Slot(uint16_t slot) { return ActionTable::RoutineIdOf(slot); }

class ProcedureCallTest : public ExecutorTest {
 protected:
  void SetUp() override {
    ExecutorTest::SetUp();
    CommandScanner::InitKeywords();
  }
  void TearDown() override {
    for (uint32_t id : m_procedures) ReleaseProcedure(id);
    ActionTable::ResetToDefaults();
    ExecutorTest::TearDown();
  }

  // Enters a procedure whose body is `body` between a nesting-in and -out.
  void Define(const char* name, const std::function<void(CodeBuilder&)>& body, bool withReturn = true) {
    CodeBuilder code;
    code.NestIn();
    body(code);
    if (withReturn) code.Call(Slot(56)).Call(Slot(151));
    code.NestOut();
    ProcedureRecord record;
    record.code = code.Finish();
    const uint32_t id = AddProcedure(record);
    m_procedures.push_back(id);
    CommandScanner::AddKeywordEntry(84, 0, 1, id, name);
  }

  static void Call(CodeBuilder& code, const char* name, const std::vector<void (*)()>& arguments) {
    code.String(name).Call(Slot(41));
    for (void (*push)() : arguments) code.Call(LambdaRoutine("push", push)).Call(Slot(36));
    code.Call(Slot(40));
  }

  std::vector<uint32_t> m_procedures;
};

TEST_F(ProcedureCallTest, ArgumentsAreSeenInOrderAndInnerCallsRestoreTheFrame) {
  const RoutineId record = LambdaRoutine("RecordArguments", &RecordArguments);
  Define("inner", [&](CodeBuilder& c) { c.Record("inner").Call(record); });
  Define("outer", [&](CodeBuilder& c) {
    c.Record("outer").Call(record);
    Call(c, "inner", {&PushThirty});
    c.Call(LambdaRoutine("RecordTop", &RecordTop)).Record("back").Call(record);
  });
  CodeBuilder command;
  command.NestIn();
  Call(command, "outer", {&PushTen, &PushTwenty, &PushThirty});
  command.Call(LambdaRoutine("RecordTop", &RecordTop)).NestOut();
  EXPECT_EQ(RunAndDestroy(command.Finish()), "");
  EXPECT_EQ(TraceText(),
            "outer 3 10 20 30 null "
            "inner 1 30 null null null "
            "null back 3 10 20 30 null "
            "null");
  EXPECT_EQ(ValueStack::Depth(), 0u);
}

TEST_F(ProcedureCallTest, BodyWithoutReturnStillRestoresTheCallersFrame) {
  const RoutineId record = LambdaRoutine("RecordArguments", &RecordArguments);
  Define("noreturn", [&](CodeBuilder& c) { c.Record("body"); }, false);
  Define("outer", [&](CodeBuilder& c) {
    Call(c, "noreturn", {&PushThirty});
    c.Call(record);
  });
  CodeBuilder command;
  command.NestIn();
  Call(command, "outer", {&PushTen, &PushTwenty});
  command.Call(LambdaRoutine("RecordTop", &RecordTop)).NestOut();
  EXPECT_EQ(RunAndDestroy(command.Finish()), "");
  EXPECT_EQ(TraceText(), "body 2 10 20 null null null");
}

TEST_F(ProcedureCallTest, FailuresOfCallsAndArguments) {
  struct Case {
    const char* name;
    std::function<void(CodeBuilder&)> build;
    const char* outcome;
    const char* argument;
  };
  const Case cases[] = {
      {"the name is no procedure", [](CodeBuilder& c) { Call(c, "nosuch", {&PushTen}); }, "error 33", "nosuch"},
      {"a built-in word is no procedure", [](CodeBuilder& c) { Call(c, "while", {}); }, "error 33", "while"},
      {"an argument at the prompt",
       [](CodeBuilder& c) { c.Call(LambdaRoutine("PushIndex0", &PushIndex0)).Call(Slot(39)); }, "error 32", ""},
      {"the count at the prompt", [](CodeBuilder& c) { c.Call(Slot(38)); }, "error 32", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    CodeBuilder code;
    code.NestIn();
    test.build(code);
    code.NestOut();
    const MemoryFileHandle handle = code.Finish();
    try {
      PostfixExecutor::Run(handle);
      ADD_FAILURE() << "no error";
    } catch (const DVError& error) {
      EXPECT_EQ("error " + std::to_string(error.Number()), test.outcome);
      EXPECT_EQ(error.Severity(), kSeverityError);
      if (test.argument[0] != '\0') {
        ASSERT_EQ(error.ArgumentCount(), 1u);
        EXPECT_EQ(std::string(error.Argument(0).data()), test.argument);
      }
    }
    DestroyMemoryFile(handle);
  }
}

void RecordDisplay() {
  ValueStack::Drop();
  Trace().push_back("display");
}

TEST_F(ProcedureCallTest, ReturnAtThePromptDisplaysTheTop) {
  ActionTable::Bind(191, &RecordDisplay, "display");
  CodeBuilder code;
  code.NestIn().Call(LambdaRoutine("PushTen", &PushTen)).Call(Slot(151)).Record("after").NestOut();
  EXPECT_EQ(RunAndDestroy(code.Finish()), "");
  EXPECT_EQ(TraceText(), "display after");
}

TEST_F(ProcedureCallTest, RecursionEndsAtTheCodeStackBound) {
  Define("again", [](CodeBuilder& c) {
    c.Record("enter");
    Call(c, "again", {&PushTen});
  });
  CodeBuilder command;
  command.NestIn();
  Call(command, "again", {});
  command.NestOut();
  EXPECT_EQ(RunAndDestroy(command.Finish()), "error 101");
  EXPECT_EQ(Trace().size(), static_cast<size_t>(PostfixExecutor::kCodeStackSize - 1));
}

// Big arguments leave more than 500 bytes behind the caller's frame: the return
// shortens the frame file; small ones stay.
void PushLongString() {
  uint8_t text[256];
  text[0] = 254;
  std::memset(text + 1, 'q', 254);
  ValueStack::Push(kKindLString, text);
}

TEST_F(ProcedureCallTest, ReturnShortensTheFrameFileOnlyPastTheSlack) {
  Define("take", [](CodeBuilder& c) { c.Record("in"); });
  struct Case {
    const char* name;
    std::vector<void (*)()> arguments;
    bool shortened;
  };
  const Case cases[] = {
      {"three numbers", {&PushTen, &PushTwenty, &PushThirty}, false},
      {"three long strings", {&PushLongString, &PushLongString, &PushLongString}, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    CodeBuilder command;
    command.NestIn();
    Call(command, "take", test.arguments);
    command.Call(LambdaRoutine("RecordTop", &RecordTop)).NestOut();
    EXPECT_EQ(RunAndDestroy(command.Finish()), "");
    const MemoryFile& frames = MemoryFileOf(ProcedureFrameFile());
    EXPECT_EQ(frames.Position(), 0u) << "back at the command's own frame";
    EXPECT_EQ(frames.Size() == 0, test.shortened) << "size " << frames.Size();
  }
}

}  // namespace
}  // namespace zentor

namespace zentor {
namespace {

// The same structures written as commands: parsed by the command parser, run by the
// executor. Statements that this build has no routine for stand in as recorders:
// "help" A, "halt" B, "wait" C, "locals" D; "base" as an operand pushes the next
// scripted condition; "base = x" records the value x.
void RecordAssignedValue() {
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    Trace().push_back("=null");
    return;
  }
  Trace().push_back("=" + std::to_string(PopWord32()));
}

class ParsedCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetConsoleModules(true);
    CommandScanner::InitKeywords();
    CommandScanner::SetDefinitionReleaser(&ReleaseDefinedProcedure);
    ResetExecution();
    const std::pair<uint16_t, const char*> recorders[] = {{183, "A"}, {187, "B"}, {185, "C"}, {162, "D"}};
    for (const auto& [slot, word] : recorders) {
      ActionTable::Bind(slot, RoutineRegistry::Routine(RecordRoutine(word)), word);
    }
    ActionTable::Bind(47, RoutineRegistry::Routine(testing_support::ConditionRoutine()), "cond");
    ActionTable::Bind(21, &RecordAssignedValue, "RecordAssignedValue");
  }
  void TearDown() override {
    ActionTable::ResetToDefaults();
    ResetPostfixExecutor();
    testing_support::ResetConsoleModules(true);
  }

  // Runs the command text; "" or "error N".
  static std::string Run(const char* text) {
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize];
    DVError error;
    const DVErrorCode status = ExecuteTextInto(text, kProductionCommand, &kind, value, &error);
    return status.IsOkay() ? "" : "error " + std::to_string(status.Number());
  }
};

TEST_F(ParsedCommandTest, ControlStructuresAndProceduresFromCommandTexts) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<bool> conditions;
    const char* expected;
  };
  const Case cases[] = {
      {"if", "if (base) { help } else { halt } ; wait", {true}, "T A C"},
      {"else", "if (base) { help } else { halt } ; wait", {false}, "F B C"},
      {"nested if, inner else", "if (base) { if (base) { help } else { halt } } else { wait } ; locals",
       {true, false}, "T F B D"},
      {"nested if, outer else", "if (base) { if (base) { help } else { halt } } else { wait } ; locals", {false},
       "F C D"},
      {"while", "while (base) { help } ; wait", {true, true, false}, "T A T A F C"},
      {"do-while", "do { help } while (base) ; wait", {true, false}, "A T A F C"},
      {"for without step", "for (; base; ) { help } ; wait", {true, false}, "T A F C"},
      {"break inside an if inside a loop", "while (base) { help ; if (base) { break } ; halt } ; wait",
       {true, false, true, true}, "T A F B T A T C"},
      {"continue in while goes to the condition",
       "while (base) { help ; if (base) { continue } ; halt } ; wait", {true, true, true, false, false},
       "T A T T A F B F C"},
      {"continue in do-while goes to the condition", "do { help ; if (base) { continue } ; halt } while (base)",
       {true, true, false, false}, "A T T A F B F"},
      {"loops nest", "while (base) { while (base) { help } ; halt }", {true, true, false, true, false, false},
       "T T A F B T F B F"},
      {"a procedure with three arguments and return",
       "define proc f() { help ; return argvector[0] + argvector[1] * argvector[2] + argcount } ; base = f(1, 2, 3)",
       {}, "A =10"},
      {"missing arguments are empty; the count is what was passed",
       "define proc g() { if (base) { help } ; return argcount } ; base = g(7)", {true}, "T A =1"},
      {"a procedure calls another and keeps its own arguments",
       "define proc h() { return argvector[0] * 2 } ; define proc k() { return h(argvector[1]) + argvector[0] } ; "
       "base = k(1, 20)",
       {}, "=41"},
      {"a procedure replaces itself while it runs; the next call runs the new body",
       "define proc s() { help ; define proc s() { halt } ; wait } ; base = s(1) ; base = s(1)", {},
       "A C =null B =null"},
      {"return leaves the loop and the procedure",
       "define proc r() { while (base) { help ; return 5 } ; halt } ; base = r(0)", {true}, "T A =5"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ResetExecution();
    ConditionScript().assign(test.conditions.begin(), test.conditions.end());
    EXPECT_EQ(Run(test.text), "");
    EXPECT_EQ(TraceText(), test.expected);
    EXPECT_TRUE(ConditionScript().empty());
  }
}

TEST_F(ParsedCommandTest, BreakAndContinueOutsideALoopAreSyntaxErrors) {
  for (const char* text : {"break", "if (base) { continue }", "help ; break"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Run(text), "error 102");
    EXPECT_EQ(TraceText(), "") << "nothing of the text ran";
  }
}

}  // namespace
}  // namespace zentor
