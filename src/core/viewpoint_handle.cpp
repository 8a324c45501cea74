#include "core/viewpoint_handle.h"

#include "core/dv_error.h"

#include "core/target_interface.h"
#include "core/target_status.h"
#include "support/rw_cstring.h"

#include <cstring>

namespace zentor {

bool ViewpointHandle::operator==(const ViewpointHandle& other) const {
  if (m_value == other.m_value) return true;
  if (m_value == kNone || other.m_value == kNone) return false;
  TargetStatus status;
  uint32_t same = 0;
  InstalledTarget().SameViewpoint(&status, 0, m_value, other.m_value, &same);
  ThrowIfError(DVError(status));
  return same != 0;
}

void ViewpointHandle::GetText(char* buffer) const {
  TargetStatus status;
  const char* text = nullptr;
  InstalledTarget().ViewpointToText(&status, 0, m_value, &text);
  ThrowIfError(DVError(status));
  size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length > kMaxTextLength) length = kMaxTextLength;
  if (length != 0) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

void ViewpointHandle::GetText(RWCString& text) const {
  char buffer[kMaxTextLength + 1];
  GetText(buffer);
  text = buffer;
}

void ViewpointHandle::SetFromText(const char* text) {
  TargetStatus status;
  uint32_t value = kNone;
  InstalledTarget().ViewpointFromText(&status, 0, text != nullptr ? text : "", &value);
  ThrowIfError(DVError(status));
  m_value = value;
}

}  // namespace zentor
