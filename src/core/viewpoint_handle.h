#pragma once
// The target interface's 32-bit id of a viewpoint (a debugging context on the
// target). The current viewpoint's handle stamps every error and goes with every
// target-interface call; 0xFFFFFFFF means "none".

#include <cstdint>

namespace zentor {

class RWCString;

class ViewpointHandle {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  // A value the target interface keeps for itself.
  static constexpr uint32_t kReserved = 0xFFFFFFFEu;
  // Longest text of a handle (without the NUL) that GetText delivers.
  static constexpr uint32_t kMaxTextLength = 63;

  constexpr ViewpointHandle() = default;
  constexpr explicit ViewpointHandle(uint32_t value) : m_value(value) {}

  static constexpr ViewpointHandle None() { return ViewpointHandle(kNone); }

  constexpr uint32_t Value() const { return m_value; }
  constexpr bool IsNone() const { return m_value == kNone; }

  // Equal values are the same viewpoint and "none" equals only "none"; for two
  // different real values the target decides (it may alias ids). A failing target
  // status is thrown as a DVError.
  bool operator==(const ViewpointHandle& other) const;
  bool operator!=(const ViewpointHandle& other) const { return !(*this == other); }

  // Copies the target's text for the handle, cut to 63 characters, with its NUL into
  // `buffer` (at least 64 bytes); an empty text when the target does not know it.
  void GetText(char* buffer) const;
  void GetText(RWCString& text) const;
  // Becomes the handle the target's text names (-1 when it names none).
  void SetFromText(const char* text);

 private:
  uint32_t m_value = 0;
};

}  // namespace zentor
