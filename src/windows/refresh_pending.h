#pragma once
// The refresh bits the GUI's windows share: one bit per kind of window asks that
// window to rebuild at its next refresh whatever its change records say. Each window
// clears its own bit when it refreshes.

#include <cstdint>

namespace zentor {

inline constexpr uint16_t kRefreshPendingWatch = 0x0001;
inline constexpr uint16_t kRefreshPendingGeneralStatus = 0x0002;
inline constexpr uint16_t kRefreshPendingRegisters = 0x0004;
inline constexpr uint16_t kRefreshPendingModules = 0x0200;
inline constexpr uint16_t kRefreshPendingCallstack = 0x1000;

uint16_t& RefreshPendingWord();

inline void ClearRefreshPending(uint16_t bit) { RefreshPendingWord() = static_cast<uint16_t>(RefreshPendingWord() & ~bit); }

}  // namespace zentor
