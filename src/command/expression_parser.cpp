#include "command/expression_parser.h"

#include "command/command_scanner.h"
#include "command/expression_codegen.h"
#include "command/expression_lexer.h"
#include "command/expression_tree.h"
#include "core/token_record.h"

namespace zentor {

uint16_t ExprInDesignator = 0;
uint16_t ExprQualifyPending = 1;

namespace {

namespace k = expr_node;

// How a run leaves the grammar before it accepts.
struct SyntaxErrorSignal {};
struct AbandonSignal {};

// Node kinds of the single-character operators.
constexpr uint32_t kKindNot = '!';
constexpr uint32_t kKindRemainder = '%';
constexpr uint32_t kKindAmpersand = '&';
constexpr uint32_t kKindStar = '*';
constexpr uint32_t kKindPlus = '+';
constexpr uint32_t kKindComma = ',';
constexpr uint32_t kKindMinus = '-';
constexpr uint32_t kKindDot = '.';
constexpr uint32_t kKindColon = ':';
constexpr uint32_t kKindAssign = '=';
constexpr uint32_t kKindQuestion = '?';
constexpr uint32_t kKindIndex = '[';
constexpr uint32_t kKindTilde = '~';

// Precedence levels of the binary operators, loosest first; 0: not a binary operator.
uint32_t BinaryLevel(ExprTerminal terminal) {
  switch (terminal) {
    case kExprLogicalOr: return 1;
    case kExprLogicalAnd: return 2;
    case kExprBitOr: return 3;
    case kExprXor: return 4;
    case kExprAmpersand: return 5;
    case kExprEqual:
    case kExprNotEqual: return 6;
    case kExprLess:
    case kExprGreater:
    case kExprLessEqual:
    case kExprGreaterEqual: return 7;
    case kExprShiftLeft:
    case kExprShiftRight: return 8;
    case kExprPlus:
    case kExprMinus: return 9;
    case kExprStar:
    case kExprSlash:
    case kExprPercent: return 10;
    default: return 0;
  }
}

// The node kind of an assignment operator; 0 for any other terminal.
uint32_t AssignmentKind(ExprTerminal terminal) {
  switch (terminal) {
    case kExprAssign: return kKindAssign;
    case kExprMultiplyAssign: return k::kMultiplyAssign;
    case kExprDivideAssign: return k::kDivideAssign;
    case kExprRemainderAssign: return k::kRemainderAssign;
    case kExprAddAssign: return k::kAddAssign;
    case kExprSubtractAssign: return k::kSubtractAssign;
    case kExprAndAssign: return k::kAndAssign;
    case kExprXorAssign: return k::kXorAssign;
    case kExprOrAssign: return k::kOrAssign;
    case kExprShiftLeftAssign: return k::kShiftLeft;
    case kExprShiftRightAssign: return k::kShiftRight;
    default: return 0;
  }
}

bool IsConstantNode(const ExprNode* node) {
  return node != nullptr && (node->kind == k::kIntegerConstant || node->kind == k::kRealConstant);
}

bool IsName(ExprTerminal terminal) { return terminal == kExprIdentifier || terminal == kExprTypedefName; }

// One run of the parser. Every shift, every empty production and every reduction is
// counted on `m_depth` as the parse stack of the grammar would hold it.
class ExpressionRun {
 public:
  int32_t Run() {
    try {
      ParseStatement();
      return 0;
    } catch (const SyntaxErrorSignal&) {
      ReportExpressionSyntaxError("Syntax error");
      RecoverFromError();
      return 0;
    } catch (const AbandonSignal&) {
      return 1;
    }
  }

 private:
  // ---- tokens and the parse stack ----------------------------------------------------

  ExprTerminal Peek() {
    if (!m_haveLookAhead) {
      m_lookAhead = NextExpressionToken();
      m_lookAheadValue = ExprTokenValue();
      m_haveLookAhead = true;
    }
    return m_lookAhead;
  }

  void PushState() {
    if (m_depth >= kExpressionStackStates) {
      ReportExpressionSyntaxError("Parser stack overflow");
      throw AbandonSignal();
    }
    ++m_depth;
  }

  // The look-ahead token moves onto the stack; the token record still holds it.
  uint32_t Shift() {
    Peek();
    PushState();
    m_haveLookAhead = false;
    return m_lookAheadValue;
  }

  // A production of `symbols` symbols is replaced by its left-hand side.
  void Reduce(uint32_t symbols) {
    m_depth -= symbols;
    PushState();
  }

  // An empty production that stores `flag` into ExprOperandComplete.
  void Marker(uint16_t flag) {
    Reduce(0);
    ExprOperandComplete = flag;
  }

  void Expect(ExprTerminal terminal) {
    if (Peek() != terminal) throw SyntaxErrorSignal();
  }

  [[noreturn]] static void SyntaxErrorHere() { throw SyntaxErrorSignal(); }

  // ---- nodes ---------------------------------------------------------------------------

  // A statement too long for the code generator ends as a failed expression, so that
  // the command reports it even where the token that ended it is a line end.
  ExprNode* NewNode() {
    if (m_nodes.Count() >= kExpressionNodeLimit) {
      ReportExpressionSyntaxError("Parser stack overflow");
      ExprParseFailed = 1;
      throw AbandonSignal();
    }
    return m_nodes.New();
  }

  ExprNode* OperatorNode(uint32_t kind, ExprNode* left, ExprNode* right, ExprNode* third = nullptr) {
    ExprNode* node = NewNode();
    node->kind = kind;
    node->left = left;
    node->right = right;
    node->third = third;
    return node;
  }

  // A node that takes the text, text length and literal attribute of the token just
  // shifted.
  ExprNode* TokenNode(uint32_t kind) {
    const TokenRecord& token = CurrentToken();
    ExprNode* node = NewNode();
    node->kind = kind;
    const uint32_t length = token.textLength < TokenRecord::kTextCapacity ? token.textLength : 0;
    node->text.assign(token.text, length);
    node->textLength = length;
    node->literalAttribute = token.tag;
    node->hasText = true;
    return node;
  }

  // The integer constant 0 of unary "+" and "-", "<<=", ">>=" and the postfix forms.
  ExprNode* ZeroConstant() {
    ExprNode* node = NewNode();
    node->kind = k::kIntegerConstant;
    node->text.assign(4, '\0');
    node->textLength = 4;
    node->literalAttribute = 10;
    node->hasText = true;
    return node;
  }

  static void Mark(ExprNode* node) {
    if (node != nullptr && ExprInDesignator == 1 && ExprQualifyPending == 1) node->designatorOperand = 1;
  }

  // An operand that cannot be dereferenced or addressed: the run ends with failure.
  [[noreturn]] static void RejectOperand() {
    ExprOperandComplete = 1;
    ExprParseFailed = 1;
    ExprInDesignator = 0;
    ExprQualifyPending = 1;
    throw AbandonSignal();
  }

  // ---- statements ------------------------------------------------------------------------

  void ParseStatement() {
    switch (Peek()) {
      case kExprColon: DesignatorStatement(ScopeDesignator()); return;
      case kExprPathName: {
        Shift();
        ExprNode* node = TokenNode(k::kIdentifier);
        node->designatorOperand = 1;
        Reduce(1);
        ExprInDesignator = 1;
        ExprQualifyPending = 1;
        ExprOperandComplete = 1;
        DesignatorStatement(node);
        return;
      }
      case kExprPathAmpersand: DesignatorStatement(AddressOfPath()); return;
      case kExprPathStar: DesignatorStatement(DereferencedPath()); return;
      default: ExpressionStatement(); return;
    }
  }

  // A tree whose code would be too large ends as a failed expression, as one with
  // too many nodes does.
  void Generate(ExprNode* root) {
    const bool generated = GenerateExpressionCode(root, static_cast<uint32_t>(m_nodes.Count()));
    ReleaseTree();
    if (!generated) {
      ReportExpressionSyntaxError("Parser stack overflow");
      ExprParseFailed = 1;
      throw AbandonSignal();
    }
  }

  // Every node of the run goes, the finished tree after its code is generated and a
  // partial one after an error alike.
  void ReleaseTree() {
    m_nodes.Clear();
  }

  // statement: expression [";"]. Without the ";" the statement is reduced by default
  // and only the end of the expression may follow.
  void ExpressionStatement() {
    ExprNode* expression = ParseExpression();
    const bool semicolon = Peek() == kExprSemicolon;
    if (semicolon) Shift();
    Reduce(semicolon ? 2 : 1);
    Generate(expression);
    ExprParseFailed = 0;
    ExprInDesignator = 0;
    ExprOperandComplete = 1;
    if (semicolon) return;
    if (Peek() != kExprEnd) SyntaxErrorHere();
  }

  // The selectors after the start of a designator, then the statement: accepted at
  // once at the first token that cannot continue it (or after a ";").
  void DesignatorStatement(ExprNode* designator) {
    while (ExprNode* selected = Selector(designator, true)) designator = selected;
    if (Peek() == kExprSemicolon) {
      Shift();
      Reduce(2);
      AcceptDesignator(designator);
      return;
    }
    Reduce(1);
    AcceptDesignator(designator);
    ExprOperandComplete = 1;
  }

  void AcceptDesignator(ExprNode* designator) {
    Generate(designator);
    ExprInDesignator = 0;
    ExprQualifyPending = 1;
    ExprParseFailed = 0;
  }

  // ":" module-name M1 member-part line-part, then designator: scope-designator.
  ExprNode* ScopeDesignator() {
    ExprNode* module = ColonAndModuleName();
    ExprNode* member = MemberPart();
    ExprNode* line = nullptr;
    if (Peek() == kExprLineNumber) {
      Shift();
      Reduce(1);
      line = TokenNode(k::kRealConstant);
    } else {
      Reduce(0);
    }
    Reduce(5);
    ExprNode* scope = OperatorNode(kKindColon, module, member, line);
    if (member != nullptr) {
      module->accessKind = kAccessMemberBase;
      module->memberContext = kMemberBase;
      Mark(member);
    }
    ExprOperandComplete = 1;
    Reduce(1);  // designator: scope-designator
    ExprInDesignator = 1;
    if (scope->right != nullptr) scope->right->designatorOperand = 1;
    ExprOperandComplete = 1;
    return scope;
  }

  // ":" module-name, then the empty production after it, which makes the module's
  // name node from its own token.
  ExprNode* ColonAndModuleName() {
    Shift();  // ":"
    if (!IsName(Peek())) SyntaxErrorHere();
    Shift();
    Reduce(1);  // module-name
    Reduce(0);
    ExprNode* module = TokenNode(k::kIdentifier);
    ExprOperandComplete = 1;
    return module;
  }

  // member-part: "." unary-expression | (empty)
  ExprNode* MemberPart() {
    if (Peek() != kExprDot) {
      Reduce(0);
      return nullptr;
    }
    Shift();
    ExprNode* member = ParseUnary();
    Reduce(2);
    member->memberContext = kMemberOfScope;
    Mark(member);
    return member;
  }

  // path-ampersand D1 target
  ExprNode* AddressOfPath() {
    Shift();
    Marker(0);  // D1
    ExprInDesignator = 1;
    ExprNode* target = ParseTarget();
    Reduce(3);
    if (IsConstantNode(target)) RejectOperand();
    ExprNode* node = OperatorNode(kKindAmpersand, nullptr, target);
    target->designatorOperand = 1;
    ExprOperandComplete = 1;
    return node;
  }

  // path-star D2 target | path-star "(" D3 target D4 ")"; a "(" after the star always
  // opens the second form.
  ExprNode* DereferencedPath() {
    Shift();
    ExprNode* target = nullptr;
    if (Peek() == kExprLeftParen) {
      Shift();
      Marker(0);  // D3
      ExprInDesignator = 1;
      target = ParseTarget();
      Marker(0);  // D4
      Expect(kExprRightParen);
      Shift();
      Reduce(6);
      if (IsConstantNode(target)) RejectOperand();
    } else {
      Marker(0);  // D2
      ExprInDesignator = 1;
      target = ParseTarget();
      Reduce(3);
      if (IsConstantNode(target) || target->kind == k::kIncrement || target->kind == k::kDecrement) RejectOperand();
    }
    ExprNode* node = OperatorNode(kKindStar, nullptr, target);
    target->designatorOperand = 1;
    ExprOperandComplete = 1;
    return node;
  }

  // target: unary-expression | ":" module-name M2 member-part
  ExprNode* ParseTarget() {
    if (Peek() != kExprColon) {
      ExprNode* operand = ParseUnary();
      Reduce(1);
      Mark(operand);
      return operand;
    }
    ExprNode* module = ColonAndModuleName();
    ExprNode* member = MemberPart();
    Reduce(4);
    ExprNode* scope = OperatorNode(kKindColon, module, member);
    if (member != nullptr) Mark(member);
    ExprOperandComplete = 1;
    return scope;
  }

  // ---- selectors shared by designators and postfix expressions ----------------------

  // One selector ("++", "--", "->", ".", "[...]") applied to `base` when the look-ahead
  // begins one, else null. Only the designator forms mark the new node.
  ExprNode* Selector(ExprNode* base, bool designator) {
    switch (Peek()) {
      case kExprIncrement:
      case kExprDecrement: {
        const uint32_t kind = Peek() == kExprIncrement ? k::kIncrement : k::kDecrement;
        Shift();
        Reduce(2);
        ExprNode* node = OperatorNode(kind, nullptr, base, ZeroConstant());
        if (designator) Mark(node);
        ExprOperandComplete = 1;
        return node;
      }
      case kExprArrow:
      case kExprDot: return MemberSelection(base, designator);
      case kExprLeftBracket: return IndexSelection(base, designator);
      default: return nullptr;
    }
  }

  // "->" or "." M member-name. Only the designator forms mark the new node.
  ExprNode* MemberSelection(ExprNode* base, bool designator) {
    const bool arrow = Peek() == kExprArrow;
    Shift();
    Marker(0);
    if (!IsName(Peek())) SyntaxErrorHere();
    Shift();
    Reduce(1);
    ExprNode* member = TokenNode(k::kIdentifier);
    Reduce(4);
    ExprNode* node = nullptr;
    if (arrow) {
      base->indirectionChain = 1;
      base->accessMode = kModeArrowBase;
      node = OperatorNode(k::kArrow, base, member);
    } else {
      base->accessKind = kAccessMemberBase;
      base->memberContext = kMemberBase;
      node = OperatorNode(kKindDot, base, member);
    }
    if (designator) Mark(node);
    ExprOperandComplete = 1;
    return node;
  }

  // "[" M expression M "]"
  ExprNode* IndexSelection(ExprNode* base, bool designator) {
    Shift();
    Marker(0);
    ExprNode* index = ParseExpression();
    Marker(0);
    Expect(kExprRightBracket);
    Shift();
    Reduce(6);
    base->accessKind = kAccessIndexBase;
    ExprNode* node = OperatorNode(kKindIndex, base, index);
    if (designator) Mark(node);
    ExprOperandComplete = 1;
    return node;
  }

  // ---- expressions -------------------------------------------------------------------------

  // expression: assignment-expression | expression "," M assignment-expression
  ExprNode* ParseExpression() {
    ExprNode* expression = ParseAssignment();
    ExprOperandComplete = 0;
    while (Peek() == kExprComma) {
      Shift();
      Marker(0);
      ExprNode* next = ParseAssignment();
      Reduce(4);
      expression = OperatorNode(kKindComma, expression, next);
      ExprOperandComplete = 1;
    }
    return expression;
  }

  // assignment-expression: unary-expression assignment-operator M assignment-expression
  //                      | conditional-expression
  ExprNode* ParseAssignment() {
    bool isUnary = false;
    ExprNode* operand = ParseCast(&isUnary);
    if (isUnary) {
      const uint32_t kind = AssignmentKind(Peek());
      if (kind != 0) {
        const bool shiftAssign = Peek() == kExprShiftLeftAssign || Peek() == kExprShiftRightAssign;
        Shift();
        Marker(0);
        ExprNode* value = ParseAssignment();
        Reduce(4);
        ExprOperandComplete = 1;
        return OperatorNode(kind, operand, value, shiftAssign ? ZeroConstant() : nullptr);
      }
    }
    return ParseConditionalRest(ParseBinaryRest(operand, 1));
  }

  ExprNode* ParseConditional() {
    bool isUnary = false;
    ExprNode* operand = ParseCast(&isUnary);
    return ParseConditionalRest(ParseBinaryRest(operand, 1));
  }

  // logical-or-expression "?" M expression M ":" conditional-expression
  ExprNode* ParseConditionalRest(ExprNode* condition) {
    if (Peek() != kExprQuestion) return condition;
    Shift();
    Marker(0);
    ExprNode* whenTrue = ParseExpression();
    if (Peek() != kExprColon) SyntaxErrorHere();
    Marker(0);
    Shift();
    ExprNode* whenFalse = ParseConditional();
    Reduce(7);
    ExprOperandComplete = 1;
    return OperatorNode(kKindQuestion, condition, whenTrue, whenFalse);
  }

  // The left-associative binary levels: operand op M operand, each level taking the
  // tighter ones as its operands.
  ExprNode* ParseBinaryRest(ExprNode* left, uint32_t lowestLevel) {
    for (;;) {
      const ExprTerminal terminal = Peek();
      const uint32_t level = BinaryLevel(terminal);
      if (level == 0 || level < lowestLevel) return left;
      const uint32_t kind = Shift();
      Marker(0);
      bool isUnary = false;
      ExprNode* right = ParseBinaryRest(ParseCast(&isUnary), level + 1);
      Reduce(4);
      left = OperatorNode(kind, left, right);
      ExprOperandComplete = 1;
    }
  }

  // cast-expression: "(" type-name ")" cast-expression | unary-expression. After a "("
  // the next token decides between a cast and a parenthesised expression.
  ExprNode* ParseCast(bool* isUnary) {
    *isUnary = true;
    if (Peek() != kExprLeftParen) return ParseUnary();
    Shift();
    const ExprTerminal next = Peek();
    if (next == kExprStruct || next == kExprUnion || next == kExprTypedefName) {
      ExprNode* type = ParseTypeName();
      Expect(kExprRightParen);
      Shift();
      bool operandIsUnary = false;
      ExprNode* operand = ParseCast(&operandIsUnary);
      Reduce(4);
      type->right = operand;
      ExprOperandComplete = 1;
      *isUnary = false;
      return type;
    }
    Marker(0);
    return ParsePostfixRest(ParenthesisedRest());
  }

  // expression M ")" after "(" M; the value is the expression.
  ExprNode* ParenthesisedRest() {
    ExprNode* expression = ParseExpression();
    Expect(kExprRightParen);
    Marker(0);
    Shift();
    Reduce(5);
    ExprOperandComplete = 1;
    return expression;
  }

  // type-name: tag-type [declarator] | typedef-name declarator
  ExprNode* ParseTypeName() {
    if (Peek() == kExprTypedefName) {
      Shift();
      ExprNode* name = TokenNode(k::kTypedefName);
      if (Peek() != kExprStar && Peek() != kExprAmpersand) SyntaxErrorHere();
      ExprNode* declarator = ParseDeclarator();
      Reduce(2);
      return OperatorNode(k::kTypedefType, name, nullptr, declarator);
    }
    const uint32_t kind = Shift();  // "struct" or "union"
    const ExprTerminal tagToken = Peek();
    if (!IsName(tagToken)) SyntaxErrorHere();
    Shift();
    ExprNode* tag = TokenNode(tagToken == kExprTypedefName ? k::kTypedefName : k::kIdentifier);
    Reduce(1);
    Reduce(2);
    ExprNode* type = OperatorNode(kind, tag, nullptr);
    if (Peek() == kExprStar || Peek() == kExprAmpersand) {
      type->third = ParseDeclarator();
      Reduce(2);
    } else {
      Reduce(1);
    }
    return type;
  }

  // declarator: pointer-operator [declarator]; "*" and "&" both mean one level of
  // pointer.
  ExprNode* ParseDeclarator() {
    Shift();
    Reduce(1);
    ExprNode* next = nullptr;
    if (Peek() == kExprStar || Peek() == kExprAmpersand) {
      next = ParseDeclarator();
      Reduce(2);
    } else {
      Reduce(1);
    }
    ExprNode* node = OperatorNode(k::kPointerDeclarator, nullptr, next);
    node->accessKind = kAccessDeclarator;
    ExprOperandComplete = 0;
    return node;
  }

  ExprNode* ParseUnary() {
    switch (Peek()) {
      case kExprSizeof: {
        Shift();
        Marker(0);
        Expect(kExprLeftParen);
        Shift();
        Expect(kExprIdentifier);
        Shift();
        ExprNode* name = TokenNode(k::kIdentifier);
        Expect(kExprRightParen);
        Shift();
        Reduce(5);
        ExprOperandComplete = 1;
        return OperatorNode(k::kSizeof, nullptr, name);
      }
      case kExprNot:
      case kExprTilde: {
        const uint32_t kind = Peek() == kExprNot ? kKindNot : kKindTilde;
        Shift();
        bool isUnary = false;
        ExprNode* operand = ParseCast(&isUnary);
        Reduce(2);
        ExprOperandComplete = 1;
        return OperatorNode(kind, nullptr, operand);
      }
      case kExprPlus:
      case kExprMinus: {
        const uint32_t kind = Peek() == kExprPlus ? kKindPlus : kKindMinus;
        Shift();
        bool isUnary = false;
        ExprNode* operand = ParseCast(&isUnary);
        Reduce(2);
        ExprOperandComplete = 1;
        return OperatorNode(kind, ZeroConstant(), operand);
      }
      case kExprStar:
      case kExprAmpersand: {
        const uint32_t kind = Peek() == kExprStar ? kKindStar : kKindAmpersand;
        Shift();
        Marker(0);
        bool isUnary = false;
        ExprNode* operand = ParseCast(&isUnary);
        Reduce(3);
        if (IsConstantNode(operand)) RejectOperand();
        Mark(operand);
        ExprOperandComplete = 1;
        return OperatorNode(kind, nullptr, operand);
      }
      case kExprIncrement:
      case kExprDecrement: {
        const uint32_t kind = Peek() == kExprIncrement ? k::kIncrement : k::kDecrement;
        Shift();
        ExprNode* operand = ParseUnary();
        Reduce(2);
        ExprOperandComplete = 1;
        return OperatorNode(kind, nullptr, operand);
      }
      default: return ParsePostfixRest(ParsePrimary());
    }
  }

  ExprNode* ParsePostfixRest(ExprNode* operand) {
    while (ExprNode* selected = Selector(operand, false)) operand = selected;
    return operand;
  }

  ExprNode* ParsePrimary() {
    ExprNode* node = nullptr;
    switch (Peek()) {
      case kExprIdentifier:
        Shift();
        node = TokenNode(k::kIdentifier);
        Mark(node);
        break;
      case kExprDebugVariable:
        Shift();
        node = TokenNode(k::kDebugVariable);
        Mark(node);
        break;
      case kExprIntegerConstant:
      case kExprCharacterConstant:
        Shift();
        node = TokenNode(k::kIntegerConstant);
        break;
      case kExprRealConstant:
        Shift();
        node = TokenNode(k::kRealConstant);
        break;
      case kExprStringLiteral:
        Shift();
        node = TokenNode(k::kStringLiteral);
        break;
      case kExprLeftParen:
        // Where only a unary expression may stand, a "(" opens a parenthesised
        // expression without looking further.
        Shift();
        Marker(0);
        return ParenthesisedRest();
      default: SyntaxErrorHere();
    }
    Reduce(1);
    ExprOperandComplete = 1;
    return node;
  }

  // ---- error recovery ------------------------------------------------------------------------

  // statement: error. The half-built tree goes; the offending token is dropped unless
  // it ends the expression, and the tokens after it up to the end of the expression
  // (the scanner delivers the next one as a bad token, which ends it).
  void RecoverFromError() {
    ReleaseTree();
    ExprInDesignator = 0;
    ExprQualifyPending = 1;
    ExprParseFailed = 1;
    ExprOperandComplete = 1;
    while (Peek() != kExprEnd) m_haveLookAhead = false;
  }

  ExprNodeArena m_nodes;
  uint32_t m_depth = 1;  // the start state
  bool m_haveLookAhead = false;
  ExprTerminal m_lookAhead = kExprEnd;
  uint32_t m_lookAheadValue = 0;
};

}  // namespace

int32_t ExpressionParser() {
  ExpressionRun run;
  return run.Run();
}

void ResetExpressionParserFlags() {
  ExprInDesignator = 0;
  ExprQualifyPending = 1;
}

}  // namespace zentor
