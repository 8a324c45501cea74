#pragma once
// The names of types as the data views, the inspector and the symbol listings show
// them. The long form spells a type out in words with the primitive names of the
// symbol's source language ("array(10) of int4"); the C declarator form, for the
// languages of C, gives the text before the symbol's name and the text after it so
// that the name stands inside the declarator ("char *" name "[10]"). Both read only
// the type directory. A type that refers to itself round a loop (a damaged file)
// ends the naming with message 302 instead of running on.

#include <cstdint>

#include "support/rw_cstring.h"

namespace zentor {

// The language of a symbol's module (0..7; the program language without a module):
// it selects the row of the primitive names and the wording of procedure types.
using SourceLanguage = uint16_t;

inline constexpr uint16_t kPrimitiveNameCodes = 29;
inline constexpr uint16_t kPrimitiveNameLanguages = 8;

// The name of a primitive code in a source language; "<unknown>" for a language or
// code the table has no row or column for.
const char* PrimitiveName(SourceLanguage language, uint16_t primitiveCode);

class TypeNameFormatter {
 public:
  static RWCString LongForm(uint32_t typeIndex, SourceLanguage language);
  static void DeclaratorForm(uint32_t typeIndex, SourceLanguage language, RWCString& prefix, RWCString& suffix);
};

}  // namespace zentor
