// Type names in long form and in C declarator form, for the symbols of the loaded
// CodeView program and for every primitive the CodeView types give.

#include "symbol_query_test_support.h"

#include "symbols/type_names.h"

namespace zentor::testing_support {
namespace {

// The type of what a name path leaves current: the symbol's, or the procedure's.
uint32_t TypeOfPath(const std::string& path) {
  BracketedLookupScope bracket;
  RunPath(path);
  SymbolEntry& entry = CurrentEntry();
  if (entry.LookupMode() == kLookupProcedure) return entry.m_scope.m_typeIndex;
  if (entry.m_symbolSet == 0) SetCurrentSymbolRecord(entry.m_currentRecord);
  return entry.m_symbol.m_typeIndex;
}

std::string DeclaratorText(uint32_t type, uint16_t language) {
  RWCString prefix;
  RWCString suffix;
  TypeNameFormatter::DeclaratorForm(type, language, prefix, suffix);
  return std::string(prefix.data()) + "|" + suffix.data();
}

TEST_F(SymbolQueryTest, TypeNamesOfSymbols) {
  struct Row {
    const char* m_path;
    const char* m_declarator;  // language 0: prefix|suffix
    const char* m_long;        // language 4
  };
  const Row rows[] = {
      {"g_count", "int |", "int4"},
      {"msg", "char * |", "pointerchar"},
      {"label", "char const* |", "pointerchar"},
      {"pp", "struct point* |", "pointerpointstructure"},
      {"names", "char |[12]", "array(12) of char"},
      {"matrix", "float |[3][4]", "array(3, 4) of real4"},
      {"handlers", "int (*|[5])()", "array(5) of pointerprocedure int4"},
      {"pHandlers", "int (*(*|)[5])()", "pointerarray(5) of pointerprocedure int4"},
      {"origin_pt", "struct point |", "pointstructure"},
      {"u", "union value |", "valueunion"},
      {"origin_pt.flags", "bit:3 |", "bit:3"},
      {"shade", "enum colour |", "colourenumeration"},
      {"main", "int |()", "procedure int4"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_path);
    const uint32_t type = TypeOfPath(row.m_path);
    EXPECT_EQ(DeclaratorText(type, 0), row.m_declarator);
    EXPECT_EQ(std::string(TypeNameFormatter::LongForm(type, 4).data()), row.m_long);
  }
  const uint32_t procedure = TypeOfPath("main");
  EXPECT_EQ(std::string(TypeNameFormatter::LongForm(procedure, 3).data()), "function integer*4");
  EXPECT_EQ(std::string(TypeNameFormatter::LongForm(procedure, 5).data()), "proc int4");
  EXPECT_EQ(DeclaratorText(procedure, 6), "long int |()") << "language 6 names its 4-byte int so";
  EXPECT_EQ(std::string(TypeNameFormatter::LongForm(TypeOfPath("g_count"), 0xFF).data()), "<unknown>");
}

// A pointer that points at itself ends the naming with an error in both forms.
TEST_F(SymbolQueryTest, ATypeThatRefersToItselfEndsInAnError) {
  const uint32_t self = TypeOfPath("self");
  EXPECT_EQ(ErrorThrownBy([&] { DeclaratorText(self, 0); }).Number(), kMsgInvalidTypeRecord);
  EXPECT_EQ(ErrorThrownBy([&] { TypeNameFormatter::LongForm(self, 4); }).Number(), kMsgInvalidTypeRecord);
}

// Every primitive CodeView type as a C programmer names it, through the primitive
// codes the loader chose.
TEST_F(SymbolQueryTest, PrimitiveTypesOfCodeViewInC) {
  const struct {
    uint16_t m_codeView;
    const char* m_c;
    const char* m_long;
  } rows[] = {
      {0x0010, "char ", "char"},           {0x0011, "short int ", "int2"},
      {0x0012, "int ", "int4"},            {0x0020, "unsigned char ", "ord1"},
      {0x0021, "unsigned short int ", "ord2"}, {0x0022, "unsigned int ", "ord4"},
      {0x0030, "char ", "bool1"},          {0x0040, "float ", "real4"},
      {0x0041, "double ", "real8"},        {0x0042, "long double ", "real10"},
      {0x0070, "char ", "char"},           {0x0072, "short int ", "int2"},
      {0x0073, "unsigned short int ", "ord2"}, {0x0074, "int ", "int4"},
      {0x0075, "unsigned int ", "ord4"},   {0x0474, "int * ", "pointerint4"},
  };
  const uint32_t base = CurrentLoaderState().ModuleTypeBase();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.m_codeView);
    const uint32_t type = row.m_codeView + 1u + base;
    EXPECT_EQ(DeclaratorText(type, 0), std::string(row.m_c) + "|");
    EXPECT_EQ(std::string(TypeNameFormatter::LongForm(type, 4).data()), row.m_long);
  }
}

}  // namespace
}  // namespace zentor::testing_support
