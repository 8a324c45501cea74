#include "core/dv_error.h"

#include "core/current_viewpoint.h"
#include "core/message_table.h"

#include "core/target_status.h"

#include <cstring>
#include <ostream>
#include <sstream>

namespace zentor {
namespace {

constexpr const char* kSeverityNames[] = {
    "Uninitialized", "Syntax ", "WARNING", "ERROR", "SEVERE ERROR", "INTERNAL ERROR", "FATAL ERROR",
};

// The stamp of a new error: the current viewpoint, or none for an okay error.
ViewpointHandle StampFor(uint32_t number) {
  return number == 0 ? ViewpointHandle::None() : CurrentViewpoint();
}

// The path of a source file from its "src/" folder on, so that the text of an
// internal error names the file the same way on every build machine.
const char* SourcePathFromSrc(const char* file) {
  if (file == nullptr) return "";
  const char* result = file;
  for (const char* p = file; *p != '\0'; ++p) {
    if ((p[0] == '/' || p[0] == '\\') && p[1] == 's' && p[2] == 'r' && p[3] == 'c' &&
        (p[4] == '/' || p[4] == '\\')) {
      result = p + 1;
    }
  }
  return result;
}

}  // namespace

const char* SeverityName(uint32_t severity) {
  if (severity >= std::size(kSeverityNames)) return kSeverityNames[kSeverityInternal];
  return kSeverityNames[severity];
}

std::ostream& operator<<(std::ostream& stream, DVErrorCode code) {
  std::ios_base::fmtflags flags = stream.flags();
  stream << " The Error code: 0x" << std::hex << code.Word() << "\n"
         << "            Num: 0x" << code.Number() << "\n"
         << "            Sev: 0x" << code.Severity() << "\n"
         << std::dec << "            isOkay: " << (code.IsOkay() ? "true" : "false")
         << " ans = " << (code.IsOkay() ? 1 : 0) << "\n";
  stream.flags(flags);
  return stream;
}

DVError::DVError() : m_stamp(ViewpointHandle::None()) {}

DVError::DVError(uint32_t number, uint32_t severity, uint32_t displayMode)
    : m_number(number), m_severity(severity), m_displayMode(displayMode), m_stamp(StampFor(number)) {}

DVError::DVError(DVErrorCode code)
    : m_number(code.Number()), m_severity(code.Severity()), m_stamp(CurrentViewpoint()) {}

DVError::DVError(const TargetStatus& status)
    : m_number(status.m_number), m_severity(status.m_severity), m_stamp(CurrentViewpoint()) {
  if (status.m_argumentCount == 0) return;
  m_arguments.reshape(status.m_argumentCount);
  for (uint32_t i = 0; i < status.m_argumentCount; ++i) {
    // A status that claims texts it does not carry gives empty arguments.
    const char* text = status.m_arguments != nullptr ? status.m_arguments[i] : nullptr;
    m_arguments[i] = text != nullptr ? text : "";
  }
  m_argumentCount = status.m_argumentCount;
}

DVError::DVError(const DVError& other) = default;

DVError& DVError::operator=(const DVError& other) {
  if (this == &other) return *this;
  m_number = other.m_number;
  m_severity = other.m_severity;
  m_displayMode = other.m_displayMode;
  m_displayed = other.m_displayed;
  m_stamp = other.m_stamp;
  m_argumentCount = other.m_argumentCount;
  m_arguments = other.m_arguments;
  return *this;
}

DVError& DVError::operator=(DVErrorCode code) {
  Reset();
  m_number = code.Number();
  m_severity = code.Severity();
  m_stamp = CurrentViewpoint();
  return *this;
}

DVError::~DVError() = default;

void DVError::Reset() {
  m_number = 0;
  m_severity = 0;
  m_displayMode = kDisplayByFocus;
  m_displayed = 0;
  m_argumentCount = 0;
}

void DVError::Set(uint32_t number, uint32_t severity, uint32_t displayMode, const char* text) {
  m_number = number;
  m_severity = severity;
  m_displayMode = displayMode;
  m_stamp = CurrentViewpoint();
  // The arguments of whatever the object held before belong to another message: a
  // text becomes the only argument.
  m_argumentCount = 0;
  if (text != nullptr) SetArg(0, text);
}

int DVError::SetArg(uint32_t index, const RWCString& text) {
  if (m_argumentCount <= index) {
    m_arguments.reshape(index + 1);
    for (uint32_t i = m_argumentCount; i < index; ++i) m_arguments[i] = kMissingArgumentText;
    m_argumentCount = index + 1;
  }
  m_arguments[index] = text;
  return 0;
}

int DVError::SetArg(uint32_t index, const char* text) {
  return SetArg(index, RWCString(text != nullptr ? text : ""));
}

int DVError::SetArg(uint32_t index, int32_t number) {
  std::ostringstream stream;
  stream << number;
  return SetArg(index, RWCString(stream.str().c_str()));
}

const RWCString& DVError::Argument(uint32_t index) const {
  if (index >= m_argumentCount) ZENTOR_INTERNAL_ERROR();
  return m_arguments[index];
}

int DVError::Validate() {
  if (m_severity < kSeveritySyntax || m_severity > kSeverityFatal) m_severity = kSeverityInternal;
  if (m_displayMode > kDisplayByFocus) m_displayMode = kDisplayByFocus;
  return 1;
}

DVError& LastError() {
  static DVError last(0, 0, kDisplayByFocus);
  return last;
}

uint32_t GetLastErrorNumber() { return LastError().Number(); }

void ThrowIfError(const DVError& error) {
  if (error.IsOkay()) return;
  DVError copy(error);
  if (copy.IsWarning()) {
    copy.Report();
    return;
  }
  throw copy;
}

void AssertionHook() {}

void RaiseInternalError(const char* file, int line) {
  AssertionHook();
  DVError error(kMsgInternalAnomaly, kSeverityInternal, kDisplayByFocus);
  error.SetArg(0, SourcePathFromSrc(file));
  error.SetArg(1, static_cast<int32_t>(line));
  throw error;
}

void RaiseInvalidCase() {
  AssertionHook();
  throw DVError(kMsgInvalidInternalCase, kSeverityInternal, kDisplayByFocus);
}

}  // namespace zentor
