#pragma once
// The one exception type of the debugger. A raise site builds a DVError with a
// message number (the id of its text in the message table), a severity and a display
// mode, fills the texts for the message's "%s" places and throws it by value; a catch
// site reports it (error_display.cpp) or looks at its number. Every error remembers the
// viewpoint that was current when it was raised, so its header can name it even after
// the viewpoint stack has been unwound.

#include "core/dv_error_code.h"
#include "core/viewpoint_handle.h"

#include "support/rw_cstring.h"
#include "support/rw_tval_vector.h"

#include <cstdint>

namespace zentor {

struct TargetStatus;

class DVError {
 public:
  // Text put into the argument slots skipped by SetArg.
  static constexpr const char* kMissingArgumentText = "**MISSING ARGUMENT**";

  // An okay error: number 0, severity 0, chosen-at-report mode, none stamp.
  DVError();
  // The constructor of nearly every raise site. The stamp is the current viewpoint,
  // or "none" for number 0.
  DVError(uint32_t number, uint32_t severity, uint32_t displayMode = kDisplayByFocus);
  // Number and severity of a status word; mode chosen at report; current stamp.
  explicit DVError(DVErrorCode code);
  // Number, severity and argument texts of a target-interface status; the texts are
  // read only when the status's count is not 0.
  explicit DVError(const TargetStatus& status);
  // The two conversions under their own names.
  static DVError DVError_FromCode(DVErrorCode code) { return DVError(code); }
  static DVError DVError_FromTargetStatus(const TargetStatus& status) { return DVError(status); }
  DVError(const DVError& other);
  DVError& operator=(const DVError& other);
  // Reset, then number and severity from the code and the current stamp.
  DVError& operator=(DVErrorCode code);
  ~DVError();

  // Number, severity, displayed and argument count to 0, mode to kDisplayByFocus;
  // the stamp and the argument storage stay.
  void Reset();
  // Sets the three words and re-stamps; a non-null text becomes the only argument,
  // null clears the arguments. The displayed flag is kept.
  void Set(uint32_t number, uint32_t severity, uint32_t displayMode, const char* text);

  // Sets argument `index`. Skipped slots between the old count and `index` read
  // "**MISSING ARGUMENT**". Returns 0.
  int SetArg(uint32_t index, const RWCString& text);
  // A null text is taken as the empty text.
  int SetArg(uint32_t index, const char* text);
  // The decimal text of `number`.
  int SetArg(uint32_t index, int32_t number);
  void ClearArgs() { m_argumentCount = 0; }
  // Replaces the message number only.
  void SetNumber(uint32_t number) { m_number = number; }

  uint32_t Number() const { return m_number; }
  uint32_t Severity() const { return m_severity; }
  uint32_t DisplayMode() const { return m_displayMode; }
  bool IsDisplayed() const { return m_displayed != 0; }
  const ViewpointHandle& Stamp() const { return m_stamp; }
  uint32_t ArgumentCount() const { return m_argumentCount; }
  // Argument `index` (below ArgumentCount()).
  const RWCString& Argument(uint32_t index) const;

  bool IsOkay() const { return m_number == 0; }
  // The command loop reports an error only when this is false.
  bool IsOkayOrDisplayed() const { return m_number == 0 || m_displayed != 0; }
  bool IsWarning() const { return m_number != 0 && m_severity == kSeverityWarning; }
  void SetDisplayed(uint32_t flag) { m_displayed = flag; }

  // Forces a severity outside 1..6 to INTERNAL ERROR and a mode outside 0..4 to
  // kDisplayByFocus. Returns 1.
  int Validate();

  // The one entry of catch sites: shows the error at most once along the route of
  // its display mode and copies it into LastError() (error_display.cpp).
  void Report();
  // Shows the error along the route of its settled mode (2 or 3) and marks it shown.
  void Display();
  // Severity name, " #", number and, when the stamp is not the base viewpoint,
  // " in " and the viewpoint's bracketed name.
  RWCString Header() const;
  // The message text with the arguments in its "%s" places, left to right.
  RWCString Text() const;
  // Settles mode 1 or 4 from the focus window, severity and batch setting; stores
  // and returns it.
  uint32_t ChooseDisplayMode();
  // The message-box kind for the severity (warning box for WARNING, error box for
  // FATAL ERROR, plain warning box otherwise).
  uint32_t MessageBoxStyle() const;

 private:
  uint32_t m_number = 0;
  uint32_t m_severity = 0;
  uint32_t m_displayMode = kDisplayByFocus;
  uint32_t m_displayed = 0;
  ViewpointHandle m_stamp;
  uint32_t m_argumentCount = 0;
  RWTValVector<RWCString> m_arguments;
};

// The copy of the last reported error (number 0 until something is reported).
DVError& LastError();
uint32_t GetLastErrorNumber();

// The throw-or-report rule for status results: number 0 does nothing, a WARNING is
// reported and the call returns, anything else is thrown (a copy of `error`).
void ThrowIfError(const DVError& error);

// Called before every internal-consistency raise; empty, a place for a breakpoint.
void AssertionHook();

// Internal-consistency raise: message 1 "Internal software logic anomaly at %s #%s"
// with the source file (from its "src/" folder on) and the decimal line number,
// INTERNAL ERROR, mode chosen at report.
[[noreturn]] void RaiseInternalError(const char* file, int line);
// An impossible case of a switch: message 2 "Invalid internal case.", INTERNAL ERROR.
[[noreturn]] void RaiseInvalidCase();

#define ZENTOR_INTERNAL_ERROR() ::zentor::RaiseInternalError(__FILE__, __LINE__)

}  // namespace zentor
