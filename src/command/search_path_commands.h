#pragma once
// The search-path commands' slots of the action table. Their routines belong to the
// search paths (symbols/search_path.h); the table is the command language's, one
// layer up, so the binding sits here.

#include <cstdint>

namespace zentor {

// Action-table slots of the search-path commands.
inline constexpr uint16_t kSlotShowSearchPath = 49;
inline constexpr uint16_t kSlotRemoveFromSearchPath = 51;
inline constexpr uint16_t kSlotAddToSearchPath = 55;
inline constexpr uint16_t kSlotSetSearchPath = 61;
inline constexpr uint16_t kSlotSearchPathNoOp = 146;

// Binds the five slots (start-up).
void BindSearchPathActions();

}  // namespace zentor
