#include "command/expression_codegen.h"

#include <cstring>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "command/expression_parser.h"
#include "command/expression_tree.h"
#include "command/postfix_emit.h"
#include "command/symbol_forwarding.h"
#include "core/dv_error.h"
#include "core/operator_executor.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "symbols/type_lookup.h"

namespace zentor {

uint16_t ExprDerefCount = 0;

namespace {

namespace k = expr_node;

// Action-table slots the generated code calls.
enum Slot : uint16_t {
  kSlotPushLineLocation = 0,
  kSlotFindModuleByName = 1,
  kSlotEndSymbolLookup = 4,
  kSlotPushModuleLocation = 6,
  kSlotBeginSymbolLookup = 7,
  kSlotDereferenceSymbol = 14,
  kSlotFindSymbolByName = 15,
  kSlotSubscriptSymbol = 16,
  kSlotUnaryOperator = 23,
  kSlotOperatorExecutor = 33,
  kSlotAssignValue = 35,
  kSlotOpenIfCondition = 74,
  kSlotOpenElseJump = 94,
  kSlotFixIf = 95,
  kSlotPushRealLiteral = 97,
  kSlotPushIntegerLiteral = 100,
  kSlotDereferenceTopValue = 101,
  kSlotPushStringLiteral = 109,
  kSlotSetStickyLookupFlag = 116,
  kSlotOpenLocalBlock = 117,
  kSlotEnterCompound = 118,
  kSlotCountNestingIn = 119,
  kSlotLeaveCompound = 120,
  kSlotCountNestingOut = 121,
  kSlotCloseLocalBlock = 122,
  kSlotPushUnresolvedName = 135,
  kSlotClearStickyLookupFlag = 147,
  kSlotPushNullValue = 172,
};

// Operator codes of the operator executor, by node kind.
struct OperatorCodeRow {
  uint32_t kind;
  uint8_t code;
};
constexpr OperatorCodeRow kBinaryCodes[] = {
    {'+', 0},          {'-', 1},           {'*', 2},          {'/', 3},          {'%', 4},
    {k::kLessEqual, 5}, {'<', 6},          {'>', 7},          {k::kGreaterEqual, 8}, {k::kNotEqual, 9},
    {k::kEqual, 10},   {'^', 11},          {'|', 12},         {'&', 13},         {k::kLogicalOr, 16},
    {k::kLogicalAnd, 17}, {k::kShiftRight, 18}, {k::kShiftLeft, 19},
};
constexpr uint8_t kUnaryNotCode = 2;
constexpr uint8_t kUnaryComplementCode = 5;
constexpr uint8_t kStructCastCode = 32;
constexpr uint8_t kUnionCastCode = 42;

// Compound assignments and the routine that prepares each.
struct CompoundRow {
  uint32_t kind;
  uint16_t slot;
};
constexpr CompoundRow kCompoundSlots[] = {
    {k::kMultiplyAssign, 31}, {k::kDivideAssign, 30}, {k::kRemainderAssign, 29}, {k::kAddAssign, 34},
    {k::kSubtractAssign, 32}, {k::kAndAssign, 28},    {k::kXorAssign, 27},       {k::kOrAssign, 26},
};

bool IsIndirection(const ExprNode* node) { return node != nullptr && node->kind == '*' && node->left == nullptr; }
bool IsCast(const ExprNode* node) {
  return node != nullptr && (node->kind == k::kTypedefType || node->kind == k::kStructTag || node->kind == k::kUnionTag);
}

struct GenerationTooLarge {};

class CodeGenerator {
 public:
  explicit CodeGenerator(uint32_t stepLimit) : m_stepLimit(stepLimit) {}

  void Generate(ExprNode* node) {
    if (node == nullptr) return;
    if (++m_steps > m_stepLimit) throw GenerationTooLarge();
    if (node->kind == ',') {
      // A list of the whole statement leaves every value (the argument lists of the
      // commands take them so); a comma inside an operand is C's: its value is the
      // right one, else the operator below it would take the left value's place.
      Generate(node->left);
      if (m_insideOperand) Call(&DiscardTopValue, "DiscardTopValue");
      Generate(node->right);
      return;
    }
    const bool wasInsideOperand = m_insideOperand;
    if (!wasInsideOperand) m_statementNode = node;
    m_insideOperand = true;
    GenerateOperator(node);
    m_insideOperand = wasInsideOperand;
  }

 private:
  static void DiscardTopValue() { ValueStack::Drop(); }

  void GenerateOperator(ExprNode* node) {
    switch (node->kind) {
      case k::kIntegerConstant: Literal(node, kSlotPushIntegerLiteral); return;
      case k::kRealConstant: Literal(node, kSlotPushRealLiteral); return;
      case k::kStringLiteral:
        String(node);
        Slot(kSlotPushStringLiteral);
        return;
      case k::kSizeof:
        String(node->right);
        Call(&PushSymbolTypeSize, "PushSymbolTypeSize");
        return;
      case k::kDebugVariable:
        String(node);
        Slot(kSlotPushUnresolvedName);
        Slot(kSlotDereferenceTopValue);
        return;
      case k::kIdentifier: Identifier(node); return;
      case '.': MemberAccess(node); return;
      case k::kMemberPath: MemberPath(node); return;
      case k::kArrow: Arrow(node); return;
      case '[': Index(node); return;
      case ':': ScopeDesignator(node); return;
      case '!':
      case '~': Unary(node); return;
      case '?': Conditional(node); return;
      case '=': Assignment(node); return;
      case k::kIncrement:
      case k::kDecrement:
        if (node->third == nullptr) {
          PrefixStep(node);
        } else {
          PostfixStep(node);
        }
        return;
      case k::kTypedefType: TypedefCast(node); return;
      case k::kStructTag:
      case k::kUnionTag: TagCast(node); return;
      case k::kPointerDeclarator:
        Generate(node->right);
        Call(&MakePointerType, "MakePointerType");
        return;
      default: break;
    }
    if ((node->kind == k::kShiftLeft || node->kind == k::kShiftRight) && node->third != nullptr) {
      CompoundAssignment(node);
      return;
    }
    for (const CompoundRow& row : kCompoundSlots) {
      if (row.kind == node->kind) {
        CompoundAssignment(node);
        return;
      }
    }
    if (node->left == nullptr && node->kind == '&') {
      AddressOf(node);
      return;
    }
    if (node->left == nullptr && node->kind == '*') {
      Indirection(node);
      return;
    }
    for (const OperatorCodeRow& row : kBinaryCodes) {
      if (row.kind == node->kind) {
        Generate(node->left);
        OperatorCode(row.code);
        Generate(node->right);
        Slot(kSlotOperatorExecutor);
        return;
      }
    }
  }

 private:
  uint32_t m_steps = 0;
  uint32_t m_stepLimit;
  bool m_insideOperand = false;
  // The node a statement (or one item of a statement's list) begins with.
  const ExprNode* m_statementNode = nullptr;

  // ---- emitters ----------------------------------------------------------------------

  static void Slot(uint16_t slot) { EmitCall(ActionTable::RoutineIdOf(slot)); }
  static void Call(ActionRoutine routine, const char* name) { EmitCall(routine, name); }

  // The node's text goes to the token record and out as a string instruction.
  static void String(const ExprNode* node) {
    TokenRecord& token = CurrentToken();
    SetTokenBytes(token, node->text.data(), node->textLength);
    token.tag = static_cast<uint16_t>(node->literalAttribute);
    EmitString();
  }

  // A one-byte operator code, pushed as an ord2 when the code runs.
  static void OperatorCode(uint8_t code) {
    TokenRecord& token = CurrentToken();
    SetTokenBytes(token, &code, 1);
    token.tag = 0;
    EmitString();
    Call(&CommandScanner::PushTokenInteger, "PushTokenInteger");
  }

  static void Literal(const ExprNode* node, uint16_t slot) {
    String(node);
    Slot(slot);
  }

  static void DereferenceSymbols() {
    for (uint32_t i = 0; i <= ExprDerefCount; ++i) Slot(kSlotDereferenceSymbol);
    ExprDerefCount = 0;
  }

  // Decode the current symbol, close the lookup bracket (unless the whole text runs
  // inside one) and fetch the value when `fetchValue`.
  static void NameEpilogue(const ExprNode* node, bool fetchValue) {
    Call(&DecodeCurrentSymbolLocation, "DecodeCurrentSymbolLocation");
    if (!IsAddressContext()) Slot(kSlotEndSymbolLookup);
    if (fetchValue) Slot(kSlotDereferenceTopValue);
    if (node->designatorOperand != 0) ExprQualifyPending = 0;
  }

  // The left operands of a chain of the same selector become member paths; the node
  // at the bottom of the chain is returned.
  static ExprNode* MakeMemberPaths(ExprNode* first, uint32_t kind) {
    ExprNode* node = first;
    while (node != nullptr && node->kind == kind) {
      node->kind = k::kMemberPath;
      node = node->left;
    }
    return node;
  }

  // ---- names and selectors ----------------------------------------------------------

  void Identifier(ExprNode* node) {
    if (node->memberContext != kMemberOfScope && !IsAddressContext()) {
      Slot(node->accessMode == kModeAddress ? kSlotSetStickyLookupFlag : kSlotClearStickyLookupFlag);
      Slot(kSlotBeginSymbolLookup);
    }
    String(node);
    Slot(kSlotFindSymbolByName);
    if (node->indirectionChain != 0) DereferenceSymbols();
    const bool selectorBase = node->accessKind == kAccessIndexBase || node->accessKind == kAccessMemberBase ||
                              node->accessMode == kModeArrowBase || node->memberContext == kMemberOfScope;
    if (!selectorBase) {
      const bool fetchValue = (node->accessKind == 0 || node->indirectionChain != 0) &&
                              node->accessMode != kModeAddress && node->indirectTarget == 0 &&
                              node->assignTarget == 0 &&
                              (node->designatorOperand == 0 || (ExprQualifyPending == 0 && ExprInDesignator == 1));
      NameEpilogue(node, fetchValue);
    }
    if (node->designatorOperand != 0) ExprQualifyPending = 0;
  }

  void MemberAccess(ExprNode* node) {
    ExprNode* bottom = MakeMemberPaths(node->left, '.');
    if (node->accessMode == kModeAddress && bottom != nullptr && bottom->kind == k::kIdentifier) {
      bottom->accessMode = kModeAddress;
    }
    CommandScanner::NameOnceOn();
    Generate(node->left);
    node->right->memberContext = kMemberOfScope;
    Generate(node->right);
    if (node->indirectionChain != 0) DereferenceSymbols();
    if (node->memberContext != kMemberOfScope && node->accessMode != kModeArrowBase &&
        node->accessKind != kAccessIndexBase) {
      NameEpilogue(node, node->assignTarget == 0 && node->designatorOperand == 0 &&
                             (node->indirectionChain != 0 || node->accessMode != kModeAddress));
    }
  }

  void MemberPath(ExprNode* node) {
    Generate(node->left);
    if (node->accessMode == kModeArrowBase) node->right->indirectionChain = 1;
    if (node->accessKind == kAccessMemberBase || node->accessMode == kModeArrowBase) {
      node->right->memberContext = kMemberOfScope;
    }
    Generate(node->right);
    if (node->accessKind == kAccessIndexBase) Slot(kSlotSubscriptSymbol);
  }

  void Arrow(ExprNode* node) {
    node->accessMode = kModeArrowBase;
    MakeMemberPaths(node->left, k::kArrow);
    CommandScanner::NameOnceOn();
    Generate(node->left);
    node->right->memberContext = kMemberOfScope;
    if (node->indirectionChain != 0) node->right->indirectionChain = 1;
    Generate(node->right);
    if (node->memberContext == 0 && node->accessKind != kAccessIndexBase) {
      NameEpilogue(node, node->designatorOperand == 0 &&
                             (node->indirectionChain != 0 || (node->accessKind == 0 && node->assignTarget == 0)));
    }
  }

  // The operands of an index look their names up in brackets of their own, so the
  // address context is off while they are generated and on again at the end.
  void Index(ExprNode* node) {
    const bool wasAssignTarget = node->assignTarget != 0;
    node->accessKind = kAccessIndexBase;
    if (node->designatorOperand != 0 && ExprQualifyPending != 0) ExprQualifyPending = 0;
    const bool addressContext = IsAddressContext();
    if (addressContext) ClearAddressContext();
    ExprNode* bottom = MakeMemberPaths(node->left, '[');
    if (node->accessMode == kModeAddress && bottom != nullptr && bottom->kind == k::kIdentifier) {
      bottom->accessMode = kModeAddress;
    }
    Generate(node->left);
    Generate(node->right);
    Slot(kSlotSubscriptSymbol);
    if (node->memberContext == 0) {
      if (node->indirectionChain != 0) DereferenceSymbols();
      Call(&DecodeCurrentSymbolLocation, "DecodeCurrentSymbolLocation");
      if (!IsAddressContext()) Slot(kSlotEndSymbolLookup);
      if (node->designatorOperand == 0 &&
          (node->indirectionChain != 0 || (!wasAssignTarget && node->accessMode != kModeAddress))) {
        Slot(kSlotDereferenceTopValue);
      }
      if (node->designatorOperand != 0) ExprQualifyPending = 0;
    }
    if (addressContext) SetAddressContext();
  }

  // ":" module [.member] [#line]: one lookup bracket around the module and what is
  // found in it; the member is looked up inside that bracket.
  void ScopeDesignator(ExprNode* node) {
    Slot(node->accessMode == kModeAddress ? kSlotSetStickyLookupFlag : kSlotClearStickyLookupFlag);
    if (!IsAddressContext()) Slot(kSlotBeginSymbolLookup);
    String(node->left);
    Slot(kSlotFindModuleByName);
    ExprNode* member = node->right;
    ExprNode* line = node->third;
    if (member != nullptr && line == nullptr) {
      if (node->indirectionChain != 0) member->indirectionChain = 1;
      if (node->accessMode == kModeAddress) member->accessMode = kModeAddress;
      const bool wasAddressContext = IsAddressContext();
      if (!wasAddressContext) SetAddressContext();
      Generate(member);
      if (!wasAddressContext) ClearAddressContext();
      Call(&DecodeCurrentSymbolLocation, "DecodeCurrentSymbolLocation");
    } else if (line != nullptr) {
      String(line);
      Slot(kSlotPushLineLocation);
    } else {
      Slot(kSlotPushModuleLocation);
    }
    if (!IsAddressContext()) Slot(kSlotEndSymbolLookup);
  }

  // ---- operators --------------------------------------------------------------------------

  void Unary(ExprNode* node) {
    OperatorCode(node->kind == '!' ? kUnaryNotCode : kUnaryComplementCode);
    Generate(node->right);
    Slot(kSlotUnaryOperator);
  }

  void AddressOf(ExprNode* node) {
    CommandScanner::NameOnceOn();
    node->right->accessMode = kModeAddress;
    Generate(node->right);
  }

  // The dereference of a cast opens a lookup bracket of its own around the cast; it is
  // closed again after the operand, so the saved lookup entries do not pile up when a
  // command evaluates such an expression again and again.
  void Indirection(ExprNode* node) {
    ExprNode* operand = node->right;
    const bool castBracket = IsCast(operand);
    if (castBracket) {
      Slot(kSlotClearStickyLookupFlag);
      Slot(kSlotBeginSymbolLookup);
      Call(&BeginTypeNameLookup, "BeginTypeNameLookup");
    } else if (IsIndirection(operand) && ExprDerefCount == 0) {
      node->indirectionChain = 1;
      for (const ExprNode* below = operand; IsIndirection(below); below = below->right) ++ExprDerefCount;
    } else {
      CommandScanner::NameOnceOn();
    }
    operand->indirectionChain = 1;
    // "(*p).m" is "p->m": the pointee's member is looked up inside the operand's own
    // bracket, so the operand leaves its lookup open as the base of a member does.
    if (node->accessKind == kAccessMemberBase && !castBracket) operand->accessKind = kAccessMemberBase;
    if (node->assignTarget != 0) operand->assignTarget = 1;
    if (node->indirectTarget != 0) operand->indirectTarget = 1;
    Generate(operand);
    if (castBracket) Slot(kSlotEndSymbolLookup);
    if (node->designatorOperand != 0) ExprQualifyPending = 0;
  }

  // The command language's if-else with two blocks: the condition, the then-part and
  // the else-part, each part a block of its own; the parser patches the jumps.
  void Conditional(ExprNode* node) {
    Generate(node->left);
    ActionTable::Run(kSlotOpenIfCondition);
    ConditionalPart(node->right);
    ActionTable::Run(kSlotOpenElseJump);
    ConditionalPart(node->third);
    ActionTable::Run(kSlotFixIf);
  }

  void ConditionalPart(ExprNode* part) {
    Slot(kSlotCountNestingIn);
    ActionTable::Run(kSlotEnterCompound);
    ActionTable::Run(kSlotOpenLocalBlock);
    Slot(kSlotOpenLocalBlock);
    Generate(part);
    ActionTable::Run(kSlotLeaveCompound);
    Slot(kSlotCountNestingOut);
    ActionTable::Run(kSlotCloseLocalBlock);
    Slot(kSlotCloseLocalBlock);
  }

  static void StoreAndKeepValue() {
    Call(&SaveAssignedValue, "SaveAssignedValue");
    Slot(kSlotAssignValue);
    Call(&RestoreAssignedValue, "RestoreAssignedValue");
  }

  void Assignment(ExprNode* node) {
    node->left->assignTarget = 1;
    Generate(node->left);
    Generate(node->right);
    StoreAndKeepValue();
  }

  void CompoundAssignment(ExprNode* node) {
    node->left->assignTarget = 1;
    Generate(node->left);
    if (node->kind == k::kShiftLeft) {
      Call(&PrepareShiftLeftAssignment, "PrepareShiftLeftAssignment");
    } else if (node->kind == k::kShiftRight) {
      Call(&PrepareShiftRightAssignment, "PrepareShiftRightAssignment");
    } else {
      for (const CompoundRow& row : kCompoundSlots) {
        if (row.kind == node->kind) Slot(row.slot);
      }
    }
    Generate(node->right);
    Slot(kSlotOperatorExecutor);
    StoreAndKeepValue();
  }

  // Only what denotes an object can be stepped, as only that can be assigned to; the
  // rest fails when the code runs, with the message an assignment to it gives.
  static bool DenotesObject(const ExprNode* operand) {
    switch (operand->kind) {
      case k::kIdentifier:
      case k::kDebugVariable:
      case '.':
      case k::kMemberPath:
      case k::kArrow:
      case '[':
      case ':': return true;
      default: return IsIndirection(operand);
    }
  }

  // Whether generating the subtree twice would change the program twice.
  static bool HasSideEffects(const ExprNode* node) {
    if (node == nullptr) return false;
    if (node->kind == k::kIncrement || node->kind == k::kDecrement || node->kind == '=') return true;
    if ((node->kind == k::kShiftLeft || node->kind == k::kShiftRight) && node->third != nullptr) return true;
    for (const CompoundRow& row : kCompoundSlots) {
      if (row.kind == node->kind) return true;
    }
    return HasSideEffects(node->left) || HasSideEffects(node->right) || HasSideEffects(node->third);
  }

  // False (and the refusal generated) when the operand of a step denotes no object.
  static bool StepOperandDenotesObject(const ExprNode* operand) {
    if (DenotesObject(operand)) return true;
    Call(&RefuseStepOfValue, "RefuseStepOfValue");
    return false;
  }

  void PrefixStep(ExprNode* node) {
    ExprNode* operand = node->right;
    if (!StepOperandDenotesObject(operand)) return;
    // An operand with side effects is generated once: the value after the change is
    // the saved one, read through the pointer when the step is dereferenced.
    const bool generateOnce = HasSideEffects(operand);
    operand->assignTarget = 1;
    operand->indirectTarget = 1;
    Generate(operand);
    operand->indirectTarget = 0;
    if (node->kind == k::kIncrement) {
      Call(&PushIncrementCode, "PushIncrementCode");
    } else if (ExprQualifyPending == 1 && ExprInDesignator == 1) {
      Call(&PushDecrementCodeKeepLocation, "PushDecrementCodeKeepLocation");
    } else {
      Call(&PushDecrementCode, "PushDecrementCode");
    }
    Call(&ExecuteIncrementOperator, "ExecuteIncrementOperator");
    Call(&SaveAssignedValue, "SaveAssignedValue");
    Slot(kSlotAssignValue);
    if (node->indirectionChain == 0 || generateOnce) {
      Call(&RestoreAssignedValue, "RestoreAssignedValue");
      if (node->indirectionChain != 0) Slot(kSlotDereferenceTopValue);
      return;
    }
    // The value after the change, read through the pointer chain.
    operand->indirectionChain = 1;
    if (node->designatorOperand != 0) operand->designatorOperand = 1;
    operand->assignTarget = 0;
    operand->accessKind = 0;
    Generate(operand);
  }

  // The value before the change is fetched first and stays on the stack as the
  // result; the operand is then generated as the target of the step. An operand with
  // side effects is generated once, as the target: the value before the change is
  // saved from the copy the step fetches, and restored as the result.
  void PostfixStep(ExprNode* node) {
    ExprNode* operand = node->right;
    if (!StepOperandDenotesObject(operand)) return;
    const bool generateOnce = HasSideEffects(operand);
    if (generateOnce) {
      // The target below is the only generation.
    } else if (node->indirectionChain != 0) {
      operand->indirectionChain = 1;
      if (node->designatorOperand != 0) operand->designatorOperand = 1;
      Generate(operand);
      Call(&SaveAssignedValue, "SaveAssignedValue");
      operand->indirectionChain = 0;
    } else {
      Generate(operand);
      Call(&SaveAssignedValue, "SaveAssignedValue");
    }
    operand->assignTarget = 1;
    operand->indirectTarget = 1;
    Generate(operand);
    if (generateOnce) {
      Call(node->kind == k::kIncrement ? &PushIncrementCodeSavingValue : &PushDecrementCodeSavingValue,
           node->kind == k::kIncrement ? "PushIncrementCodeSavingValue" : "PushDecrementCodeSavingValue");
    } else {
      Call(node->kind == k::kIncrement ? &PushIncrementCode : &PushDecrementCode,
           node->kind == k::kIncrement ? "PushIncrementCode" : "PushDecrementCode");
    }
    Call(&ExecuteIncrementOperator, "ExecuteIncrementOperator");
    Slot(kSlotAssignValue);
    if (generateOnce) {
      Call(&RestoreAssignedValue, "RestoreAssignedValue");
      if (node->indirectionChain != 0) Slot(kSlotDereferenceTopValue);
    }
    // A designator that is a step as a whole («k++» as a command) shows nothing; a
    // step inside one («t[k++]», «*(p++)») is an operand whose value the designator uses.
    if (ExprInDesignator == 1 && node == m_statementNode) Slot(kSlotPushNullValue);
  }

  // ---- casts ----------------------------------------------------------------------------

  void CastOperand(ExprNode* node) {
    if (node->indirectionChain != 0) {
      node->right->indirectionChain = 1;
      if (ExprDerefCount > 0) --ExprDerefCount;
    }
    Generate(node->right);
    Call(&ResetExpressionLexState, "ResetExpressionLexState");
  }

  void TypedefCast(ExprNode* node) {
    Slot(kSlotClearStickyLookupFlag);
    Call(&BeginTypeNameLookup, "BeginTypeNameLookup");
    String(node->left);
    Call(&LookUpTypedefName, "LookUpTypedefName");
    Generate(node->third);
    CastOperand(node);
  }

  void TagCast(ExprNode* node) {
    if (node->indirectionChain == 0) {
      Slot(kSlotClearStickyLookupFlag);
      Call(&BeginTypeNameLookup, "BeginTypeNameLookup");
    }
    OperatorCode(node->kind == k::kStructTag ? kStructCastCode : kUnionCastCode);
    Call(&CastToKeywordType, "CastToKeywordType");
    String(node->left);
    Call(&LookUpTaggedType, "LookUpTaggedType");
    Generate(node->third);
    CastOperand(node);
  }
};

// The one save slot of the assigned value.
struct SavedValue {
  uint16_t kind = kKindEmpty;
  uint16_t size = 0;
  uint8_t data[ValueStack::kMaxItemSize] = {};
};
SavedValue g_savedValue;

void PushStepCode(uint16_t code, bool fetchValue, bool saveValue = false) {
  ValueStack::DuplicateTop();
  if (fetchValue) DereferenceTopValue();
  if (saveValue) SaveAssignedValue();
  uint8_t bytes[2] = {static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8)};
  ValueStack::PushSized(kKindOrd2, 2, bytes);
}

}  // namespace

bool GenerateExpressionCode(ExprNode* root, uint32_t nodes) {
  CodeGenerator generator(kExpressionGenerationStepsPerNode * nodes);
  try {
    generator.Generate(root);
  } catch (const GenerationTooLarge&) {
    return false;
  }
  return true;
}

void SaveAssignedValue() {
  const uint16_t kind = ValueStack::TopKind();
  const uint16_t size = ValueStack::TopSize();
  ValueStack::Peek(g_savedValue.data);
  g_savedValue.kind = kind;
  g_savedValue.size = size;
}

void RestoreAssignedValue() {
  if (g_savedValue.kind == kKindEmpty) ZENTOR_INTERNAL_ERROR();
  ValueStack::PushSized(g_savedValue.kind, g_savedValue.size, g_savedValue.data);
}

void PushIncrementCode() { PushStepCode(kOpIncrement, true); }
void PushDecrementCode() { PushStepCode(kOpDecrement, true); }
void PushDecrementCodeKeepLocation() { PushStepCode(kOpDecrement, false); }
void PushIncrementCodeSavingValue() { PushStepCode(kOpIncrement, true, true); }
void PushDecrementCodeSavingValue() { PushStepCode(kOpDecrement, true, true); }

void RefuseStepOfValue() { throw DVError(kMsgUnsupportedAssignment, kSeverityError, kDisplayByFocus); }

}  // namespace zentor
