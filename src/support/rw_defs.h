#pragma once
// Small definitions shared by the whole class library.

#include <cstdint>

namespace zentor {

// The no-position index that searches return and iterators start from.
inline constexpr uint32_t RW_NPOS = 0xFFFFFFFFu;

}  // namespace zentor
