#pragma once
// The command scanner cuts the characters of the current command input device (the
// console, a macro expansion, an INCLUDE file or a command string) into tokens for the
// command parser, one token per NextToken into the global TokenRecord. It owns the
// keyword table: the built-in words and operators, the words the target interface adds
// at start-up, and the names that commands define at run time (debug variables,
// procedures, macros, block-local names). Semantic actions steer it through one-byte
// mode switches (a word read as a name, a raw file-name word, decimal integers) and
// read from it directly (raw words, the rest of a line); a macro name it meets is
// expanded by pushing the macro device, so the parser never sees one.
//
// The scanner is one global object; its operations are static so that the action
// table can name them as plain routines.

#include <cstdint>

#include "command/name_hash_table.h"
#include "core/memory_file.h"
#include "core/token_record.h"

namespace zentor {

// Flags the C expression parser shares with the scanner and the expression hand-over.
// ExprOperandComplete: 1 when the expression read so far may end here; inside a C
// expression a carriage return ends the expression only then, otherwise the
// expression goes on on the next line. ExprParseFailed: 1 after the expression parser
// recovered from an error or rejected an operand; the scanner turns it into an
// ERROR_TOKEN at the next token and clears it.
extern uint16_t ExprOperandComplete;
extern uint16_t ExprParseFailed;

// The switches the semantic actions set to steer the next tokens; saved and restored
// as one block around every parse, so a nested parse leaves the outer one as it was.
struct ScannerModeFlags {
  // The next word is an IDENTIFIER even when it is a keyword (for one token, unless
  // nameSticky keeps it on).
  uint8_t nameOnce = 0;
  // A word whose keyword entry was made by a command (flag not 0) reads as IDENTIFIER.
  uint8_t definedAsName = 0;
  // The next token is a RAW_WORD (a file name or path list).
  uint8_t rawWord = 0;
  // With rawWord: the raw word may be looked for on the following lines.
  uint8_t rawWordAcrossLines = 0;
  uint8_t nameSticky = 0;
  // Every word reads as IDENTIFIER.
  uint8_t nameAlways = 0;
  // Integers without a radix prefix are decimal instead of following the number base.
  uint8_t decimalDefault = 0;
  // A backslash before a line end joins the lines; comments may span lines.
  uint8_t lineContinuation = 1;

  static constexpr uint32_t kImageSize = 8;
};

class CommandScanner {
 public:
  // Called when an entry that carries a defined object (value not 0) is removed: the
  // define commands release the object by its token (a macro body, a procedure, a
  // debug variable's storage). It may raise a DVError; the entry then stays.
  using DefinitionReleaser = void (*)(uint8_t token, uint32_t value, const char* name);

  // Start-up: creates the keyword table and enters the built-in rows, and creates the
  // local-name log and the mode-switch stack. Calling it again starts over with a
  // fresh table (every defined name is dropped without being released).
  static void InitKeywords();
  // Drops the keyword table, the local-name log and the mode-switch stack.
  static void Shutdown();
  static bool IsInitialized();
  static void SetDefinitionReleaser(DefinitionReleaser releaser);

  // Enters a name with flag 0 and value 0 (the built-in rows and the target's words).
  static void AddKeyword(uint8_t token, uint16_t subcode, const char* text);
  static void InsertName(const char* text, uint8_t token, uint16_t subcode);
  // Enters a name; an older entry of that name stays behind the new one (the define
  // commands remove it first). A name longer than 255 characters is refused with the
  // internal-consistency error.
  static void AddKeywordEntry(uint8_t token, uint16_t subcode, uint8_t flag, uint32_t value, const char* text);
  // Looks the current token's text up; when found copies token, subcode, flag and
  // value into the TokenRecord and answers true, otherwise leaves the record alone.
  static bool LookupKeyword();
  static bool LookupName() { return LookupKeyword(); }
  // Whether the last LookupKeyword found the text, and the entry it found.
  static bool LastLookupFound();
  static KeywordEntry LastFoundEntry();
  // Looks the current token's text up and removes the entry, first releasing its
  // defined object when its value is not 0. Answers whether an entry was found.
  static bool RemoveKeyword();
  // The keyword table for the walkers (listings, PUT and APPEND); values are ids in
  // KeywordEntries().
  static NameHashTable& Keywords();
  static KeywordEntryPool& KeywordEntries();

  // Produces the next token into the TokenRecord. lineContinuation is on for the
  // commands of the command loop and for C expressions, off for a grammar object's
  // text. A user break while tokens are fetched raises 401 (WARNING, not shown).
  static void NextToken(bool lineContinuation);
  // The next NextToken delivers the current token again.
  static void PushBackToken();
  // The record NextToken delivers after PushBackToken; the expression lexer copies
  // every token it delivers into it.
  static TokenRecord& PushBackRecord();
  static bool IsPushBackPending();
  // The next NextToken delivers "endexpr" without reading input.
  static void RequestEndExpression();
  // Forgets a pending pushed-back token, a pending "endexpr" and the C-expression word.
  static void ClearLookAheadFlags();
  // The C-expression word: not 0 only while an expression hand-over runs the C
  // expression parser; it changes what a carriage return means.
  static void SetCExpressionWord(uint32_t word);
  static uint32_t CExpressionWord();

  // Mode switches.
  static void SaveModeFlags();
  static void RestoreModeFlags();
  // All switches off but lineContinuation, then the input advances one character
  // (the line end the previous command stopped at).
  static void ResetModeFlags();
  static const ScannerModeFlags& ModeFlags();
  static void NameOnceOn();
  static void DefinedAsNameOn();
  static void NameAlwaysOn();
  static void NameStickyOn();
  static void NameStickyOff();
  static void RawWordOn();  // across lines
  static void DecimalDefaultOn();
  static void DecimalDefaultOff();
  // NameAlways, DefinedAsName and NameOnce off together.
  static void NameSwitchesOff();

  // Reading actions; they consume input at once and leave the text in the
  // TokenRecord without changing its token code.
  static void ReadRawWordOnLine();
  static void ReadRawWordAcrossLines();
  // The rest of the line as a counted string (a "#define" body); more than 254
  // characters raise 205.
  static void ReadRestOfLine();
  // Up to a "]" (consumed) as a counted string (a viewpoint name in brackets); more
  // than 254 characters raise 205.
  static void ReadBracketedName();
  // The word the last raw-word reader read; the INCLUDE command opens this file.
  static const char* FileNameBuffer();

  // Block-local names.
  static void OpenBlock();
  // The low byte of the current subcode becomes the token code of the next local name.
  static void SaveLocalTokenCode();
  // Enters the current text as a block-local name (the saved token code, the current
  // subcode, flag 2, value 0) and logs it for removal.
  static void EnterLocalName();
  // Enters a name local to the innermost block that carries a defined object (a debug
  // variable defined inside a block) and logs it like EnterLocalName.
  static void EnterLocalDefinition(uint8_t token, uint16_t subcode, uint32_t value, const char* text);
  // Removes the names logged since the innermost OpenBlock; the TokenRecord stays.
  static void CloseBlock();
  // A procedure body's scope: opened and closed like a block, with its own marker.
  static void OpenScope();
  static void CloseScope();
  // Removes every local name from the table, empties the log, zeroes the depth.
  static void RemoveAllLocalNames();
  // Removes every name that carries a defined object, releasing the object (the end
  // of a session; InitKeywords alone would drop them unreleased).
  static void ReleaseDefinitions();
  static uint16_t BlockDepth();

  // Before a command after an error, and at start-up: local names removed, the
  // look-ahead and the expression flags cleared, the mode switches reset and their
  // stack emptied (no parse is running then).
  static void ResetForCommand();
  // After a user break: as ResetForCommand, and the command text restarts.
  static void ResetAfterBreak();

  // Literal actions, run after a string instruction has loaded the token.
  // The text as an unresolved name (value kind 0xFFFD, the text length as its size).
  static void PushName();
  static void PushCharacter();
  static void PushString();
  // The integer by radix and length (decimal ones become int4 or int8).
  static void PushInteger();
  static void PushReal();
  // The text's bytes as an unsigned integer (1, 2 or 4 bytes; other lengths one
  // byte), converted to ord2.
  static void PushTokenInteger();
  // The top of the value stack must be an unresolved name (else 72, INTERNAL ERROR);
  // it becomes the current token's text and is popped.
  static void PopName();
};

}  // namespace zentor
