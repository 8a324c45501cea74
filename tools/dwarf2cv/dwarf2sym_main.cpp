// dwarf2sym: writes the NB09 ".SYM" symbol file of a linked 32-bit x86 ELF module from
// its DWARF debugging information.
//   dwarf2sym [-v] <module.elf> <MODULE.SYM>
// With -v it prints the module's code and data bases and what it converted. What it
// leaves out of the file is a warning on the error output. A module it cannot convert
// leaves no symbol file behind.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "dwarf2cv/dwarf_to_codeview.h"

namespace {

using namespace zentor;

// Writes through a scratch name and renames, so a failed run never leaves a partial file
// that a build would take as up to date.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string scratch = path + ".part";
  {
    std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw dwarf2cv::ConversionError(scratch + ": cannot write the file");
  }
  std::error_code error;
  std::filesystem::rename(scratch, path, error);
  if (error) {
    std::filesystem::remove(scratch, error);
    throw dwarf2cv::ConversionError(path + ": cannot write the file");
  }
}

void PrintSummary(const dwarf2cv::Conversion& conversion) {
  const dwarf2cv::ModuleLayout& layout = conversion.m_layout;
  std::printf("code base 0x%08x (code 0x%x bytes), data base 0x%08x (data 0x%x bytes)\n", layout.m_codeBase,
              layout.m_codeEnd - layout.m_codeBase, layout.m_dataBase, layout.m_dataEnd - layout.m_dataBase);
  for (const cvfixture::CvModule& module : conversion.m_program.m_modules) {
    std::size_t lines = 0;
    for (const auto& file : module.m_sourceFiles) lines += file.m_segments[0].m_lines.size();
    std::printf("module %u %s: %zu symbols, %zu source files, %zu lines\n", module.m_index, module.m_name.c_str(),
                module.m_symbols.size(), module.m_sourceFiles.size(), lines);
  }
  std::printf("%zu global references, %zu types\n", conversion.m_program.m_globals.size(),
              conversion.m_program.m_types.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  bool verbose = false;
  if (!arguments.empty() && arguments.front() == "-v") {
    verbose = true;
    arguments.erase(arguments.begin());
  }
  if (arguments.size() != 2) {
    std::fprintf(stderr, "usage: dwarf2sym [-v] <module.elf> <MODULE.SYM>\n");
    return 2;
  }
  try {
    const dwarf2cv::Conversion conversion = dwarf2cv::ConvertModule(std::string(arguments[0]));
    for (const std::string& warning : conversion.m_warnings) std::fprintf(stderr, "dwarf2sym: warning: %s\n", warning.c_str());
    WriteFileAtomically(std::string(arguments[1]),
                        cvfixture::WriteCodeView(conversion.m_program, cvfixture::CvVariant::NB09));
    if (verbose) PrintSummary(conversion);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dwarf2sym: %s\n", error.what());
    return 1;
  }
  return 0;
}
