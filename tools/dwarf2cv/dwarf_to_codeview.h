#pragma once
// DWARF to CodeView conversion for the sample server modules: reads the DWARF of a
// linked 32-bit x86 ELF module (libdw) and describes it as a CodeView program for the
// fixture writer, which writes it as the module's NB09 ".SYM" file. `dwarf2sym` is
// the command-line front end; README.md beside this file states the address
// convention (code offsets from the code base, data offsets from the data base).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "codeview/cv_fixture.h"

namespace zentor::dwarf2cv {

// Where the module's two spaces lie in the linked image. The code space runs from the
// first executable section to the end of the last read-only one (read-only data is
// linked behind the code); the data space covers the writable sections.
struct ModuleLayout {
  std::uint32_t m_codeBase = 0;
  std::uint32_t m_codeEnd = 0;
  std::uint32_t m_dataBase = 0;
  std::uint32_t m_dataEnd = 0;
};

struct Conversion {
  ModuleLayout m_layout;
  cvfixture::CvProgram m_program;
  // What was left out of the symbol file, one text per symbol, naming its DWARF entry:
  // the parameters and locals of a routine whose frame is not addressed through ebp.
  std::vector<std::string> m_warnings;
};

// Input the converter cannot express: not a 32-bit x86 ELF, no DWARF, a location or a
// type the symbol file has no form for. The message names the DWARF entry.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Converts the module at `elfPath`. One CodeView module per compilation unit.
Conversion ConvertModule(const std::string& elfPath);

}  // namespace zentor::dwarf2cv
