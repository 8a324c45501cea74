#pragma once
// The action routines that join the command language to the symbol tables: each
// takes its operands from the value stack or from the current token's text (the name
// or number the scanner has just read), calls one symbol lookup or query, and pushes
// or writes the result. Most are action-table slots; DecodeCurrentSymbolLocation and
// PushSymbolTypeSize are called from the code of C expressions. The listing of the
// current procedure (the locals command) is here too.

#include <cstdint>

#include "core/dv_error_code.h"

namespace zentor {

inline constexpr uint32_t kMsgNumericValueRequired = 77;        // "A numeric value is required."
inline constexpr uint32_t kMsgSingleCharacterIndexExpected = 319;

void PushLineLocationAction();    // 0: the line number in the token's value
void FindModuleByNameAction();    // 1: the module named by the token's text
void PushModuleLocationAction();  // 6
void RequireNumericValue();       // 11: the top item must be ord1 .. real10
void DereferenceSymbolAction();   // 14
void FindSymbolByNameAction();    // 15: the symbol named by the token's text
void SubscriptSymbolAction();     // 16: the index on top of the stack
void ListCurrentProcedureAction();  // 162: the listing of the procedure at the program counter
// 171, 173, 175: the qualified, access-path or full name of the symbol at the location
// on top of the stack (its address text when no symbol is there), and a line end.
void ShowLineName();
void ShowProcedureName();
void ShowSymbolName();

// The current symbol's value (or location) pushed; a failure is raised.
void DecodeCurrentSymbolLocation();
// The size of the type of the symbol named by the token's text, as an ord4.
void PushSymbolTypeSize();

// The procedure in which the target stopped: its address, type and name, and those
// of its parameters and locals with the values of the simple ones, as one paged
// section of the command output. 324 without a loaded program.
DVErrorCode ListCurrentProcedure();

}  // namespace zentor
