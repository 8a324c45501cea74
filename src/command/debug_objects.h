#pragma once
// Aliases and the text of debug procedures. An alias ("#define name text") is a
// keyword entry under its name with the macro token (252) whose value is a
// MemoryFile holding the text exactly as typed after the name (its leading blank
// included), which the scanner expands wherever the name appears. A procedure's
// stored text turns back into command text ("define proc name ()" and the text),
// which prints it with the proc command and writes it into PUT and APPEND files.

#include <cstdint>
#include <functional>
#include <string>

namespace zentor {

struct KeywordEntry;

inline constexpr uint32_t kMsgNameUndefinedOrWrongType = 31;  // "The name is undefined or an incorrect type."

// Slot 132 (at parse time): the alias text and then the alias name are popped from
// the value stack; an alias of that name is replaced, any other name raises 30.
void DefineAlias();
// Slot 158: the procedure named by the current token, then a line end.
void PrintProcedure();
// The procedure named by the current token, written character by character through
// `put`; 31 when the name is no procedure.
void WriteProcedureText(const std::function<void(char)>& put);
// The whole text of an alias (a MemoryFile handle), as stored.
std::string AliasText(uint32_t aliasFile);
// Whether a keyword entry is a debug object defined by a command (a variable, an
// alias or a procedure), and the type name it is listed and saved with: a string
// variable by its element type ("char", "nstring", "lstring"), other entries by their
// token; null when the token has none.
bool IsDebugObject(const KeywordEntry& entry);
const char* DebugObjectTypeName(const KeywordEntry& entry);
// The keyword table's releaser for a removed alias: destroys its text.
void ReleaseAlias(uint32_t aliasFile);
// Destroys the text of every alias (a fresh keyword table is being built) and the
// number of aliases whose text is alive.
void ReleaseAllAliases();
uint32_t LiveAliasCount();

}  // namespace zentor
