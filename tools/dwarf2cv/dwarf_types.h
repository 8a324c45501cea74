#pragma once
// Translation of DWARF types into CodeView type indices: base types become CodeView
// primitives (a pointer to one the primitive's 32-bit near pointer form), the rest
// records of the program's global types. Each DWARF type is translated once; typedefs
// are looked through, since the loader takes no user-defined type names.

#include <elfutils/libdw.h>

#include <cstdint>
#include <map>

#include "codeview/cv_fixture.h"

namespace zentor::dwarf2cv {

class TypeTranslator {
 public:
  explicit TypeTranslator(cvfixture::CvProgram& program) : m_program(program) {}

  // The type of a variable, member or function result: its DW_AT_type, void for none.
  std::uint16_t TypeOf(Dwarf_Die* die);
  // The procedure type of a subprogram or subroutine type.
  std::uint16_t ProcedureTypeOf(Dwarf_Die* die);

 private:
  std::uint16_t Translate(Dwarf_Die* type);
  std::uint16_t Primitive(Dwarf_Die* type);
  std::uint16_t Pointer(Dwarf_Die* type);
  std::uint16_t Structure(Dwarf_Die* type);
  std::uint16_t Enumeration(Dwarf_Die* type);
  std::uint16_t Array(Dwarf_Die* type);

  cvfixture::CvProgram& m_program;
  std::map<Dwarf_Off, std::uint16_t> m_translated;
};

}  // namespace zentor::dwarf2cv
