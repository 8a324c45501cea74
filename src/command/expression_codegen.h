#pragma once
// The code generator of C expressions: it walks the tree of an accepted statement
// once and appends its postfix code to the command being parsed. The code is calls of
// routines and string instructions that carry a text to the routine after them; when
// the command runs, a name opens a bracketed symbol lookup, is found, followed
// through members, subscripts and pointers, and its location or value is pushed; an
// operator pushes its code and calls the operator executor; an assignment stores
// through the location it left. The generator also calls a few command-parser
// routines at once (a conditional is compiled as the command language's if-else).

#include <cstdint>

namespace zentor {

struct ExprNode;

// Extra dereferences still owed by a chain of prefix "*" operators.
extern uint16_t ExprDerefCount;

// Appends the code of the tree under `root`, a tree of `nodes` nodes; nothing for a
// null root. It overwrites the token record's text, length and literal attribute to
// hand texts to the string instructions.
// Most generation steps one tree may take per node: a step ("++", "--") generates an
// operand without side effects twice (to fetch and to store) and one with side effects
// once, so no nesting doubles the code; an ordinary expression takes one step per
// node, a step on a name, member or element two. The bound keeps the work of every
// text in proportion to its length whatever the tree.
inline constexpr uint32_t kExpressionGenerationStepsPerNode = 16;
// False (with part of the code written) when the tree needs more steps than that.
bool GenerateExpressionCode(ExprNode* root, uint32_t nodes);

// Routines of the generated code.
// The item on top of the value stack (kind and data) is copied into the one save
// slot, and pushed again.
void SaveAssignedValue();
void RestoreAssignedValue();
// The target reference on top is duplicated, the copy replaced by its value, and the
// increment (6) or decrement (7) code pushed as an ord2; the last keeps the copy as
// a location.
void PushIncrementCode();
void PushDecrementCode();
void PushDecrementCodeKeepLocation();
// As the first two, and the value fetched is also copied into the save slot: the
// result of a postfix step whose operand is generated only once.
void PushIncrementCodeSavingValue();
void PushDecrementCodeSavingValue();
// A step of something that denotes no object: message 37, as its assignment gives.
void RefuseStepOfValue();

}  // namespace zentor
