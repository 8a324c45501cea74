#pragma once
// The machine code of i386 images as the disassembler's reference test and benchmark
// take it: the executable sections of a PE file (a DLL or program) or of an ELF32
// object or program. Every offset and size in the file is checked against the file
// before it is used; a file that is neither, or is damaged, gives no sections.

#include <cstdint>
#include <string>
#include <vector>

namespace zentor::tools {

struct CodeSection {
  std::string m_name;
  uint32_t m_address = 0;  // where the section is loaded (0 in an object file)
  std::vector<uint8_t> m_bytes;
};

std::vector<CodeSection> ReadCodeSections(const std::vector<uint8_t>& image);
std::vector<CodeSection> ReadCodeSectionsOfFile(const std::string& path);

}  // namespace zentor::tools
