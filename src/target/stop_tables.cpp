#include "target/stop_tables.h"

#include "target/stop_record.h"

namespace zentor {
namespace {

constexpr const char* ExceptionNames[kExceptionNameCount] = {
    "Exception: Unknown",
    "Exception: Access violation",
    "Exception: Datatype misalignment",
    "Exception: Array bounds exceeded",
    "Exception: Denormal operand",
    "Exception: Divide by zero",
    "Exception: Inexact Result",
    "Exception: Invalid operation",
    "Exception: Overflow",
    "Exception: Stack check",
    "Exception: Underflow",
    "Exception: Divide by zero",
    "Exception: Overflow",
    "Exception: Priv instruction",
    "Exception: Page error",
    "Exception: Illegal instruction",
    "Exception: Non-continueable",
    "Exception: Stack overflow",
    "Exception: Invalid disposition",
    "Exception: Internal INT3",
    "Exception: Keyboard interrupt",
    "Exception: Halted",
    "Exception: Internal INT1",
    "Exception: Debug exception",
    "Exception: Abend",
    "Exception: Illegal device",
    "Exception: Floating point error",
    "Exception: Machine check",
    "Exception: Double Fault",
    "Exception: Invalid TSS",
    "Exception: EnterDebugger called",
    "Exception: Generic",
    "Exception: Hardware Breakpoint",
};

constexpr AgentExceptionRow kAgentExceptions[] = {
    {0, ExceptionRoute::Report, 11},
    {1, ExceptionRoute::Report, 23},
    {2, ExceptionRoute::Report, 22},
    {3, ExceptionRoute::BreakpointTrap, 19},
    {4, ExceptionRoute::Report, 12},
    {5, ExceptionRoute::Report, 3},
    {6, ExceptionRoute::Report, 15},
    {7, ExceptionRoute::Report, 25},
    {8, ExceptionRoute::Report, 28},
    {9, ExceptionRoute::Report, 24},
    {10, ExceptionRoute::Report, 29},
    {11, ExceptionRoute::Report, 1},
    {12, ExceptionRoute::Report, 17},
    {13, ExceptionRoute::Report, 1},
    {14, ExceptionRoute::Report, 14},
    {16, ExceptionRoute::Report, 26},
    {17, ExceptionRoute::Report, 2},
    {18, ExceptionRoute::Report, 27},
    {0x100, ExceptionRoute::Report, 30},
    {0x101, ExceptionRoute::Report, 20},
    {0x102, ExceptionRoute::Report, 7},
    {0x104, ExceptionRoute::Report, 24},
    {0x12C, ExceptionRoute::Report, 31},
    {0x12D, ExceptionRoute::DebugTrap, 22},
    {0x12F, ExceptionRoute::DebugRegisterTrap, 32},
};

constexpr AgentExceptionRow kUnlistedException = {0, ExceptionRoute::Report, 0};

}  // namespace

const char* ExceptionName(uint32_t number) {
  return ExceptionNames[number < kExceptionNameCount ? number : 0];
}

const AgentExceptionRow& AgentExceptionRowOf(uint32_t agentNumber) {
  for (const AgentExceptionRow& row : kAgentExceptions) {
    if (row.m_agentNumber == agentNumber) return row;
  }
  return kUnlistedException;
}

}  // namespace zentor
