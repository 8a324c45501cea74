#pragma once
// The syntax tree of one C expression: the parser builds it bottom-up while it
// reduces, the code generator walks it once, and it is released as a whole when the
// parse ends, whichever way it ends. Nodes are owned by the ExprNodeArena of the run,
// so a half-built tree left by a syntax error is freed with everything else.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zentor {

// Node kinds that are not plain operator characters.
namespace expr_node {
inline constexpr uint32_t kStructTag = 286;
inline constexpr uint32_t kUnionTag = 287;
inline constexpr uint32_t kSizeof = 288;
inline constexpr uint32_t kIdentifier = 302;
inline constexpr uint32_t kStringLiteral = 303;
inline constexpr uint32_t kTypedefType = 304;
inline constexpr uint32_t kRealConstant = 308;  // also the line number of a scope designator
inline constexpr uint32_t kIntegerConstant = 309;
inline constexpr uint32_t kDebugVariable = 312;
inline constexpr uint32_t kTypedefName = 313;
inline constexpr uint32_t kArrow = 314;
inline constexpr uint32_t kIncrement = 315;
inline constexpr uint32_t kDecrement = 316;
inline constexpr uint32_t kShiftLeft = 317;
inline constexpr uint32_t kShiftRight = 318;
inline constexpr uint32_t kLessEqual = 319;
inline constexpr uint32_t kGreaterEqual = 320;
inline constexpr uint32_t kEqual = 321;
inline constexpr uint32_t kNotEqual = 322;
inline constexpr uint32_t kLogicalAnd = 323;
inline constexpr uint32_t kLogicalOr = 324;
inline constexpr uint32_t kMultiplyAssign = 329;
inline constexpr uint32_t kDivideAssign = 330;
inline constexpr uint32_t kRemainderAssign = 331;
inline constexpr uint32_t kAddAssign = 332;
inline constexpr uint32_t kSubtractAssign = 333;
inline constexpr uint32_t kAndAssign = 336;
inline constexpr uint32_t kXorAssign = 337;
inline constexpr uint32_t kOrAssign = 338;
inline constexpr uint32_t kPointerDeclarator = 340;
// The member-path form the code generator gives inner member and index nodes.
inline constexpr uint32_t kMemberPath = 93;
}  // namespace expr_node

// Annotation values.
inline constexpr uint32_t kAccessIndexBase = 2;
inline constexpr uint32_t kAccessMemberBase = 3;
inline constexpr uint32_t kAccessDeclarator = 6;
inline constexpr uint32_t kModeAddress = 1;
inline constexpr uint32_t kModeArrowBase = 5;
inline constexpr uint32_t kMemberOfScope = 4;
inline constexpr uint32_t kMemberBase = 7;

struct ExprNode {
  uint32_t kind = 0;
  // Length of `text` (for numbers the byte size of the binary value).
  uint32_t textLength = 0;
  // The token's literal attribute (the radix of an integer).
  uint32_t literalAttribute = 0;
  bool hasText = false;
  std::string text;
  uint32_t accessKind = 0;
  uint32_t accessMode = 0;
  uint32_t memberContext = 0;
  uint16_t indirectionChain = 0;
  uint16_t assignTarget = 0;
  uint16_t indirectTarget = 0;
  uint16_t designatorOperand = 0;
  ExprNode* left = nullptr;
  ExprNode* right = nullptr;
  ExprNode* third = nullptr;
};

// The nodes of one parse, made kBlockNodes to an allocation: an expression of a few
// operands makes a dozen nodes, and one allocation for each cost more than the parse
// around them. A node's address stays put until Clear.
class ExprNodeArena {
 public:
  static constexpr std::size_t kBlockNodes = 16;

  ExprNode* New() {
    if (m_count % kBlockNodes == 0) m_blocks.push_back(std::make_unique<ExprNode[]>(kBlockNodes));
    ExprNode* node = &m_blocks.back()[m_count % kBlockNodes];
    ++m_count;
    return node;
  }
  void Clear() {
    m_blocks.clear();
    m_count = 0;
  }
  std::size_t Count() const { return m_count; }

 private:
  std::vector<std::unique_ptr<ExprNode[]>> m_blocks;
  std::size_t m_count = 0;
};

}  // namespace zentor
