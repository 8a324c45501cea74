#pragma once
// A GrammarObject is a piece of command-language text parsed once into postfix code
// and kept to be run again and again: a watch expression, a breakpoint condition, the
// output part of a passpoint, a value shown by a window, a command text sent by the
// GUI. The text is parsed behind a production prefix (a marker keyword that makes the
// command grammar accept one kind of construct); the object keeps the text, the code,
// the status of the parse and the error of its last run. Parse and run failures never
// raise: they are kept in the status and the last error.

#include <cstdint>
#include <memory>

#include "core/dv_error.h"
#include "core/dv_error_code.h"
#include "core/memory_file.h"
#include "core/typed_location.h"
#include "support/rw_cstring.h"

namespace zentor {

// Production kinds and the prefixes they parse behind.
enum GrammarProduction : int32_t {
  kProductionFromCode = -1,    // "" (built from existing code)
  kProductionExpression = 0,   // "_PE_"
  kProductionOperandRange = 1, // "_PS_"
  kProductionLocation = 2,     // "_PA_", integers become addresses of access class 1
  kProductionAddressContext = 3,  // "_AC_"
  kProductionCondition = 4,    // "_IE_"
  kProductionPassOutput = 5,   // "_PF_"
  kProductionCommand = 6,      // "_DC_"
  kProductionLocationClass2 = 7,  // "_PA_", access class 2
  kProductionLocationClass3 = 8,  // "_PA_", access class 3
};

inline constexpr uint32_t kMsgExpressionExecutionError = 100;  // "Variable or Expression execution error."
inline constexpr uint32_t kMsgExpressionSyntaxError = 102;     // "Variable or Expression syntax error."
inline constexpr uint32_t kMsgUnknownProduction = 105;         // "Unknown Grammar production code."
inline constexpr uint32_t kMsgNotResolvableToAddress = 153;    // "Expression cannot be resolved to an address."

// What EvaluateTextToLocation made of a result.
enum LocationKind : uint32_t {
  kLocationOrdinalPointer = 0,  // a pointer whose target type is "ord1"
  kLocationOffsetType = 1,      // the offset type
  kLocationTyped = 2,
  kLocationFromSmallInteger = 3,  // an integer of at most 8 bytes made an address
  kLocationFromWideInteger = 4,
  kLocationInactive = 5,        // an inactive symbol: no location
};

class GrammarObject {
 public:
  static constexpr uint32_t kSignature = 0x20524D47u;  // "GMR "
  static constexpr uint32_t kDestroyedSignature = 0xDFADB2B8u;

  // Empty prefix and text, no code, status okay.
  GrammarObject();
  // Parses `text` behind the prefix of `kind`; the outcome is in Status().
  GrammarObject(const char* text, int32_t kind);
  // A copy of existing code (the text given or empty, "\r" appended; prefix "").
  GrammarObject(MemoryFileHandle code, const char* text);
  GrammarObject(const GrammarObject& other);
  GrammarObject& operator=(const GrammarObject& other);
  ~GrammarObject();

  static GrammarObject GrammarObject_FromText(const char* text, int32_t kind) { return GrammarObject(text, kind); }
  static GrammarObject GrammarObject_FromCode(MemoryFileHandle code, const char* text) {
    return GrammarObject(code, text);
  }

  DVErrorCode Status() const;
  // Runs the code. The result kind is 0 when the code left nothing on the value
  // stack, else the kind of the value copied into `value` (at least 1024 bytes). The
  // value stack is as it was before the run, also after a failure.
  void Evaluate(DVErrorCode* status, uint16_t* resultKind, uint8_t* value);
  // A copy of the last run's error, or an okay error.
  void LastError(DVError* error) const;

  const RWCString& Prefix() const;
  const RWCString& Text() const;
  MemoryFileHandle Code() const;

 private:
  void CheckSignature() const;
  bool Name(const char* text, int32_t kind);
  void CopyFrom(const GrammarObject& other, DVErrorCode status);
  void ReleaseCode();

  RWCString m_prefix;
  RWCString m_text;
  MemoryFileHandle m_code = kNullMemoryFile;
  DVErrorCode m_status;
  std::unique_ptr<DVError> m_lastError;
  uint32_t m_signature = kSignature;
};

// Parses and runs a text in one step; the status is the parse status or the run
// status, the error the one that goes with it.
DVErrorCode ExecuteTextInto(const char* text, int32_t kind, uint16_t* resultKind, uint8_t* value, DVError* error);
DVErrorCode ExecuteText(const char* text, int32_t kind, uint16_t* resultKind, uint8_t* value);

// Runs a text and makes an address of its result (see LocationKind).
DVErrorCode EvaluateTextToLocationInto(const char* text, int32_t kind, uint32_t* locationKind,
                                       TypedLocation* location, DVError* error);
DVErrorCode EvaluateTextToLocation(const char* text, int32_t kind, uint32_t* locationKind, TypedLocation* location);

// The text with a run of two or more trailing white-space characters (blank, tab,
// backspace, form feed, line feed, carriage return) cut to its first character.
RWCString ReduceTrailingWhiteSpace(const RWCString& text);

}  // namespace zentor
