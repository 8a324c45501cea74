// The names of the primitive types in each source language: one row per primitive
// code (0..28), one column per language (0..7). The C columns (0 and 6) end most names
// with a blank, which separates the type from the name or the next word. The texts are
// kept as written, "<unkown>" included: stored texts and transcripts may rely on them.

#include "symbols/type_names.h"

namespace zentor {
namespace {

constexpr const char* PrimitiveNameTable[kPrimitiveNameCodes][kPrimitiveNameLanguages] = {
    /*  0 */ {"void ", "<null type>", "<null type>", "<null type>", "<null type>", "<null type>", "void ", "<null type>"},
    /*  1 */ {"<unknown>", "<unknown>", "<unknown>", "<unknown>", "<unknown>", "<unknown>", "<unknown>", "<unknown>"},
    /*  2 */ {"char ", "boolean", "boolean", "logical*1", "bool1", "boolean", "char ", "bool1"},
    /*  3 */ {"short int ", "<unknown>", "<unknown>", "logical*2", "<unknown>", "<unknown>", "short int ", "<unknown>"},
    /*  4 */ {"int ", "<unknown>", "<unknown>", "logical*4", "<unknown>", "<unknown>", "int ", "<unknown>"},
    /*  5 */ {"long int ", "<unknown>", "<unknown>", "logical*8", "<unknown>", "<unknown>", "long int ", "<unknown>"},
    /*  6 */ {"char ", "char", "char", "character", "char", "char", "char ", "char"},
    /*  7 */ {"<unknown>", "bcd", "bcd", "bcd", "bcd", "bcd", "<unknown>", "bcd"},
    /*  8 */ {"unsigned char ", "byte", "byte", "byte", "ord1", "byte", "unsigned char ", "ord1"},
    /*  9 */ {"unsigned short int ", "hword", "word", "logical*2", "ord2", "word", "unsigned int ", "ord2"},
    /* 10 */ {"unsigned int ", "word", "dword", "logical*4", "ord4", "dword", "unsigned long int ", "ord4"},
    /* 11 */ {"unsigned long int ", "dword", "qword", "dword", "ord8", "qword", "<unknown>", "ord8"},
    /* 12 */ {"<unknown>", "<unknown>", "<unknown>", "<unknown>", "ord10", "tbyte", "<unknown>", "ord10"},
    /* 13 */ {"<unknown>", "pword", "<unknown>", "<unknown>", "ord12", "ord12", "<unknown>", "ord12"},
    /* 14 */ {"<unknown>", "qword", "<unknown>", "<unknown>", "ord16", "ord16", "<unknown>", "ord16"},
    /* 15 */ {"char ", "charint", "charint", "integer*1", "int1", "int1", "char ", "int1"},
    /* 16 */ {"short int ", "shortint", "integer", "integer*2", "int2", "int2", "int ", "int2"},
    /* 17 */ {"int ", "integer", "longint", "integer*4", "int4", "int4", "long int ", "int4"},
    /* 18 */ {"long int ", "extended integer", "extended integer", "integer*8", "int8", "int8", "<unknown>", "int8"},
    /* 19 */ {"float ", "real", "real", "real", "real4", "real4", "float ", "real4"},
    /* 20 */ {"double ", "long real", "long real", "double precision", "real8", "long real", "double ", "real8"},
    /* 21 */ {"long double ", "tempreal", "tempreal", "tempreal", "real10", "temp real", "long double ", "real10"},
    /* 22 */ {"*", "pointer", "pointer", "pointer", "pointer", "pointer", "*", "pointer"},
    /* 23 */ {"*", "selector", "selector", "selector", "selector", "selector", "*", "selector"},
    /* 24 */ {"*", "offset", "offset", "offset", "pointer", "offset", "*", "pointer"},
    /* 25 */ {"*", "short offset", "short offset", "short offset", "short offset", "short offset", "*", "short offset"},
    /* 26 */ {"*", "pointer", "pointer", "pointer", "pointer", "pointer", "*", "pointer"},
    /* 27 */ {"*", "selector", "selector", "selector", "selector", "selector", "*", "selector"},
    /* 28 */ {"<unknown>", "<unknown>", "<unknown>", "complex", "<unkown>", "<unkown>", "<unkown>", "<unkown>"},
};

}  // namespace

const char* PrimitiveName(SourceLanguage language, uint16_t primitiveCode) {
  if (language >= kPrimitiveNameLanguages || primitiveCode >= kPrimitiveNameCodes) return "<unknown>";
  return PrimitiveNameTable[primitiveCode][language];
}

}  // namespace zentor
