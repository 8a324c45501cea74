#pragma once
// Debug variables (the debugger's own named values), assignment and value fetch.
// These are the run-time routines of the command language that turn a reference on
// the value stack into the value it denotes, store a value into a reference (a debug
// variable, target memory, a bit field, a register, the current location or the
// execution address), prepare compound assignments, increments and decrements, and
// define debug variables. A debug variable is a keyword-table entry under its name
// whose token is the type token of its type word and whose value is the id of its
// storage here; the storage lives until the entry is removed.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kMsgNameDefinedWithOtherType = 30;  // "The name <%s> is already defined with a different type."
inline constexpr uint32_t kMsgNameUndefined = 35;             // "The name <%s> is undefined."
inline constexpr uint32_t kMsgAssignToCode = 36;              // "Attempt to assign value to code instead of variable."
inline constexpr uint32_t kMsgUnsupportedAssignment = 37;     // "Unsupported variable assignment."
inline constexpr uint32_t kMsgUnsupportedReference = 38;      // "Unsupported reference to a debug object."
inline constexpr uint32_t kMsgBadDefineScope = 39;            // "Bad debug object scope encountered."
inline constexpr uint32_t kMsgSymbolLookupFailed = 41;        // "Symbol lookup failed."
inline constexpr uint32_t kMsgInvalidRegisterAssignment = 201;  // "Invalid assignment to register."
// Largest value a debug variable hands to an expression.
inline constexpr uint32_t kMaxFetchedVariableSize = 510;

// Where the next definition goes.
inline constexpr uint16_t kDefineAtCommandLevel = 1;
inline constexpr uint16_t kDefineInBlock = 2;

// Pseudo-variables: the data of a routine reference (value kind 30).
enum PseudoVariable : uint32_t {
  kPseudoRegister = 1,
  kPseudoCurrentLocation = 2,
  kPseudoExecutionAddress = 3,
};

// Action routines (slot numbers in brackets).
uint16_t SelectDefineScope();       // 2 inside a block, else 1; returns the block depth
void SelectDefineScopeAction();     // 58
void SelectCommandDefineScope();    // 50
void ConvertTypeWordToken();        // 59: the token's subcode (a type code) becomes its type token
void DefineDebugVariable();         // 60
void DereferenceTopValue();         // 101
void AssignValue();                 // 35
void PrepareAddAssignment();        // 34
void PrepareSubtractAssignment();   // 32
void PrepareMultiplyAssignment();   // 31
void PrepareDivideAssignment();     // 30
void PrepareRemainderAssignment();  // 29
void PrepareAndAssignment();        // 28
void PrepareXorAssignment();        // 27
void PrepareOrAssignment();         // 26
void PrepareShiftRightAssignment();
void PrepareShiftLeftAssignment();
void IncrementReference();          // 25
void DecrementReference();          // 24
void PushRegisterRoutine();         // 44
void PushCurrentLocationRoutine();  // 45
void PushExecutionAddressRoutine(); // 46
void BeginKeepLocations();          // 64
void EndKeepLocations();            // 65

// Duplicates the reference on top (a register reference with its register index),
// replaces the copy by its value and pushes the operator code as an ord2.
void PrepareCompoundAssignment(uint16_t operatorCode);

// The pseudo-variables: fetch (1) pushes the value, store (0) pops and sets it.
void RegisterVariable(uint32_t fetch);
void CurrentLocationVariable(uint32_t fetch);
void ExecutionAddressVariable(uint32_t fetch);

// Called when the keyword table removes an entry that holds a definition: frees a
// debug variable's storage; 35 for an entry whose token is no type token.
void ReleaseDebugVariable(uint8_t token, uint32_t value, const char* name);
// The keyword table's releaser of defined objects: a procedure's record, a macro's
// body (kept by the macro device), a debug variable's storage.
void ReleaseDefinedObject(uint8_t token, uint32_t value, const char* name);

// The width the show-debug listing pads names to: 10 at start, raised by the names
// defined at command level.
uint16_t NameColumnWidth();
void RaiseNameColumnWidth(uint32_t length);

// The defined scope, the keep-locations mode and the storage of every variable back
// to the start (a fresh keyword table is being built).
void ResetDebugVariables();
uint32_t LiveDebugVariableCount();

}  // namespace zentor
