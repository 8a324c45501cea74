// The operand promotion table of the operator executor: for every unordered pair of
// operand kinds a <= b in 1..29, the kind the operation is carried out in (W) and the
// kind of its result (R). Written once here as runs of b for each a, and expanded at
// compile time into the triangle the executor indexes at (a - 1) + b(b - 1)/2.

#include "core/operator_executor.h"

#include <array>

namespace zentor {
namespace {

constexpr uint16_t kX = kInvalidPromotion;  // the pair is refused

struct PromotionRun {
  uint8_t a;
  uint8_t bFirst;
  uint8_t bLast;
  uint16_t working;
  uint16_t result;
};

// Runs in the order a, then b. A working kind that is not one the executor computes
// in (12 and 13 with an OrdinalValue) makes the pair refused when it is looked at.
constexpr PromotionRun kPromotionRuns[] = {
    // a = 1 (symbol-table code 1, read as "ord4")
    {1, 1, 7, 10, 10}, {1, 8, 8, 10, 8}, {1, 9, 9, 10, 9}, {1, 10, 10, 10, 10}, {1, 11, 11, 11, 11},
    {1, 12, 14, 14, 14}, {1, 15, 17, 10, 17}, {1, 18, 18, 10, 18}, {1, 19, 19, 10, 19},
    {1, 20, 20, 10, 20}, {1, 21, 21, 10, 21}, {1, 22, 25, kX, kX}, {1, 26, 27, 0, 27},
    {1, 28, 28, 28, 28}, {1, 29, 29, 10, 8},
    // booleans
    {2, 2, 21, 2, 2}, {2, 22, 28, kX, kX}, {2, 29, 29, 10, 8},
    {3, 3, 21, 2, 3}, {3, 22, 28, kX, kX}, {3, 29, 29, 10, 8},
    {4, 4, 21, 2, 4}, {4, 22, 28, kX, kX}, {4, 29, 29, 10, 8},
    {5, 5, 21, 2, 5}, {5, 22, 28, kX, kX}, {5, 29, 29, 10, 8},
    // "char"
    {6, 6, 6, 17, 15}, {6, 7, 7, 21, 7}, {6, 8, 8, 10, 8}, {6, 9, 9, 10, 9}, {6, 10, 10, 10, 10},
    {6, 11, 11, 11, 11}, {6, 12, 14, 14, 14}, {6, 15, 15, 17, 15}, {6, 16, 16, 17, 16},
    {6, 17, 17, 17, 17}, {6, 18, 18, 18, 18}, {6, 19, 19, 21, 19}, {6, 20, 20, 21, 20},
    {6, 21, 21, 21, 21}, {6, 22, 24, 22, 6}, {6, 25, 28, kX, kX}, {6, 29, 29, 10, 8},
    // packed decimal
    {7, 7, 7, 21, 7}, {7, 8, 8, 10, 8}, {7, 9, 17, 21, 7}, {7, 18, 18, 18, 7}, {7, 19, 19, 21, 19},
    {7, 20, 20, 21, 20}, {7, 21, 21, 21, 21}, {7, 22, 28, kX, kX}, {7, 29, 29, 10, 8},
    // "ord1"
    {8, 8, 8, 10, 8}, {8, 9, 9, 10, 9}, {8, 10, 10, 10, 10}, {8, 11, 11, 11, 11}, {8, 12, 14, 14, 14},
    {8, 15, 15, 17, 15}, {8, 16, 16, 17, 16}, {8, 17, 17, 17, 17}, {8, 18, 18, 18, 18},
    {8, 19, 19, 21, 19}, {8, 20, 20, 21, 20}, {8, 21, 21, 21, 21}, {8, 22, 25, kX, kX},
    {8, 26, 27, 0, 27}, {8, 28, 28, 28, 28}, {8, 29, 29, 10, 8},
    // "ord2"
    {9, 9, 9, 10, 9}, {9, 10, 10, 10, 10}, {9, 11, 11, 11, 11}, {9, 12, 14, 14, 14},
    {9, 15, 16, 17, 16}, {9, 17, 17, 17, 17}, {9, 18, 18, 18, 18}, {9, 19, 19, 21, 19},
    {9, 20, 20, 21, 20}, {9, 21, 21, 21, 21}, {9, 22, 25, kX, kX}, {9, 26, 27, 0, 27},
    {9, 28, 28, 28, 28}, {9, 29, 29, 10, 8},
    // "ord4"
    {10, 10, 10, 10, 10}, {10, 11, 11, 11, 11}, {10, 12, 14, 14, 14}, {10, 15, 17, 17, 17},
    {10, 18, 18, 18, 18}, {10, 19, 19, 21, 19}, {10, 20, 20, 21, 20}, {10, 21, 21, 21, 21},
    {10, 22, 25, kX, kX}, {10, 26, 27, 0, 27}, {10, 28, 28, 28, 28}, {10, 29, 29, 10, 8},
    // "ord8"
    {11, 11, 11, 11, 11}, {11, 12, 15, 14, 14}, {11, 16, 18, 18, 18}, {11, 19, 19, 21, 19},
    {11, 20, 20, 21, 20}, {11, 21, 21, 21, 21}, {11, 22, 25, kX, kX}, {11, 26, 27, 0, 27},
    {11, 28, 28, 28, 28}, {11, 29, 29, 10, 8},
    // 10-byte unsigned
    {12, 12, 18, 14, 14}, {12, 19, 19, 21, 19}, {12, 20, 20, 21, 20}, {12, 21, 21, 21, 21},
    {12, 22, 25, kX, kX}, {12, 26, 27, 0, 27}, {12, 28, 28, 12, 28}, {12, 29, 29, 14, 8},
    // "ord12"
    {13, 13, 18, 14, 14}, {13, 19, 19, 21, 19}, {13, 20, 20, 21, 20}, {13, 21, 21, 21, 21},
    {13, 22, 25, kX, kX}, {13, 26, 27, 0, 27}, {13, 28, 28, 13, 28}, {13, 29, 29, 14, 8},
    // "ord16"
    {14, 14, 18, 14, 14}, {14, 19, 19, 21, 19}, {14, 20, 20, 21, 20}, {14, 21, 21, 21, 21},
    {14, 22, 25, kX, kX}, {14, 26, 27, 0, 27}, {14, 28, 28, 14, 28}, {14, 29, 29, 14, 8},
    // "int1"
    {15, 15, 15, 17, 15}, {15, 16, 16, 17, 16}, {15, 17, 17, 17, 17}, {15, 18, 18, 18, 18},
    {15, 19, 19, 21, 19}, {15, 20, 20, 21, 20}, {15, 21, 21, 21, 21}, {15, 22, 25, kX, kX},
    {15, 26, 27, 0, 27}, {15, 28, 28, 28, 28}, {15, 29, 29, 10, 8},
    // "int2"
    {16, 16, 16, 17, 16}, {16, 17, 17, 17, 17}, {16, 18, 18, 18, 18}, {16, 19, 19, 21, 19},
    {16, 20, 20, 21, 20}, {16, 21, 21, 21, 21}, {16, 22, 25, kX, kX}, {16, 26, 27, 0, 27},
    {16, 28, 28, 28, 28}, {16, 29, 29, 10, 8},
    // "int4"
    {17, 17, 17, 17, 17}, {17, 18, 18, 18, 18}, {17, 19, 19, 21, 19}, {17, 20, 20, 21, 20},
    {17, 21, 21, 21, 21}, {17, 22, 25, kX, kX}, {17, 26, 27, 0, 27}, {17, 28, 28, 28, 28},
    {17, 29, 29, 10, 8},
    // "int8"
    {18, 18, 18, 18, 18}, {18, 19, 19, 21, 19}, {18, 20, 20, 21, 20}, {18, 21, 21, 21, 21},
    {18, 22, 25, kX, kX}, {18, 26, 27, 0, 27}, {18, 28, 28, 28, 28}, {18, 29, 29, 10, 8},
    // reals
    {19, 19, 19, 21, 19}, {19, 20, 20, 21, 20}, {19, 21, 21, 21, 21}, {19, 22, 28, kX, kX},
    {19, 29, 29, 10, 8},
    {20, 20, 20, 21, 20}, {20, 21, 21, 21, 21}, {20, 22, 28, kX, kX}, {20, 29, 29, 10, 8},
    {21, 21, 21, 21, 21}, {21, 22, 28, kX, kX}, {21, 29, 29, 10, 8},
    // strings and the offset type
    {22, 22, 24, 22, 22}, {22, 25, 29, kX, kX},
    {23, 23, 24, 22, 23}, {23, 25, 29, kX, kX},
    {24, 24, 24, 22, 23}, {24, 25, 29, kX, kX},
    // references, locations, ordinals, inactive symbols
    {25, 25, 29, kX, kX},
    {26, 26, 27, 27, 27}, {26, 28, 28, 0, 27}, {26, 29, 29, kX, kX},
    {27, 27, 27, 27, 27}, {27, 28, 28, 0, 27}, {27, 29, 29, kX, kX},
    {28, 28, 28, 28, 28}, {28, 29, 29, kX, kX},
    {29, 29, 29, 10, 8},
};

constexpr uint32_t TriangleIndex(uint32_t a, uint32_t b) { return (a - 1) + b * (b - 1) / 2; }

struct PromotionTriangle {
  std::array<PromotionEntry, kPromotionEntryCount> entries{};
  bool complete = true;  // every pair covered exactly once
};

constexpr PromotionTriangle BuildTriangle() {
  PromotionTriangle triangle;
  std::array<uint8_t, kPromotionEntryCount> seen{};
  for (const PromotionRun& run : kPromotionRuns) {
    for (uint32_t b = run.bFirst; b <= run.bLast; ++b) {
      const uint32_t index = TriangleIndex(run.a, b);
      triangle.entries[index] = PromotionEntry{run.working, run.result};
      ++seen[index];
    }
  }
  for (uint8_t count : seen) {
    if (count != 1) triangle.complete = false;
  }
  return triangle;
}

constexpr PromotionTriangle kTriangle = BuildTriangle();
static_assert(kTriangle.complete, "every operand pair has exactly one promotion entry");

}  // namespace

PromotionEntry LookupPromotion(uint16_t a, uint16_t b) {
  if (a > b) {
    const uint16_t swap = a;
    a = b;
    b = swap;
  }
  if (a == 0 || b > kLastOperandKind) return PromotionEntry{kInvalidPromotion, kInvalidPromotion};
  return kTriangle.entries[TriangleIndex(a, b)];
}

}  // namespace zentor
