#include "code_sections/code_sections.h"

#include <fstream>
#include <iterator>

namespace zentor::tools {
namespace {

// Little-endian fields, read only where the image holds them.
class ImageReader {
 public:
  explicit ImageReader(const std::vector<uint8_t>& image) : m_image(image) {}
  bool Holds(uint64_t offset, uint64_t size) const { return offset <= m_image.size() && size <= m_image.size() - offset; }
  uint32_t U16(uint64_t offset) const { return Holds(offset, 2) ? m_image[offset] | (m_image[offset + 1] << 8) : 0; }
  uint32_t U32(uint64_t offset) const {
    return Holds(offset, 4) ? U16(offset) | (static_cast<uint32_t>(U16(offset + 2)) << 16) : 0;
  }
  std::vector<uint8_t> Bytes(uint64_t offset, uint64_t size) const {
    if (!Holds(offset, size)) return {};
    return std::vector<uint8_t>(m_image.begin() + static_cast<long>(offset),
                                m_image.begin() + static_cast<long>(offset + size));
  }
  std::string Name(uint64_t offset, uint64_t limit) const {
    std::string name;
    for (uint64_t i = 0; i < limit && Holds(offset + i, 1) && m_image[offset + i] != 0; ++i) {
      name.push_back(static_cast<char>(m_image[offset + i]));
    }
    return name;
  }

 private:
  const std::vector<uint8_t>& m_image;
};

constexpr uint32_t kPeSectionExecutable = 0x20000000;
constexpr uint32_t kElfSectionExecutable = 0x4;
constexpr uint32_t kElfProgramBits = 1;

std::vector<CodeSection> ReadPe(const ImageReader& in) {
  std::vector<CodeSection> sections;
  const uint32_t header = in.U32(0x3C);
  if (in.U32(header) != 0x00004550) return sections;  // "PE\0\0"
  const uint32_t count = in.U16(header + 6);
  const uint32_t optionalSize = in.U16(header + 20);
  const uint64_t table = uint64_t{header} + 24 + optionalSize;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = table + 40ull * i;
    if (!in.Holds(entry, 40)) break;
    if ((in.U32(entry + 36) & kPeSectionExecutable) == 0) continue;
    const uint32_t virtualSize = in.U32(entry + 8);
    const uint32_t rawSize = in.U32(entry + 16);
    const uint32_t size = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
    CodeSection section{in.Name(entry, 8), in.U32(entry + 12), in.Bytes(in.U32(entry + 20), size)};
    if (!section.m_bytes.empty()) sections.push_back(std::move(section));
  }
  return sections;
}

std::vector<CodeSection> ReadElf32(const ImageReader& in) {
  std::vector<CodeSection> sections;
  if (in.U16(18) != 3) return sections;  // EM_386
  const uint32_t table = in.U32(32);
  const uint32_t entrySize = in.U16(46);
  const uint32_t count = in.U16(48);
  const uint32_t namesIndex = in.U16(50);
  if (entrySize < 40 || namesIndex >= count) return sections;
  const uint32_t names = in.U32(uint64_t{table} + uint64_t{entrySize} * namesIndex + 16);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = uint64_t{table} + uint64_t{entrySize} * i;
    if (!in.Holds(entry, 40)) break;
    if (in.U32(entry + 4) != kElfProgramBits || (in.U32(entry + 8) & kElfSectionExecutable) == 0) continue;
    CodeSection section{in.Name(uint64_t{names} + in.U32(entry), 256), in.U32(entry + 12),
                        in.Bytes(in.U32(entry + 16), in.U32(entry + 20))};
    if (!section.m_bytes.empty()) sections.push_back(std::move(section));
  }
  return sections;
}

}  // namespace

std::vector<CodeSection> ReadCodeSections(const std::vector<uint8_t>& image) {
  const ImageReader in(image);
  if (in.U16(0) == 0x5A4D) return ReadPe(in);  // "MZ"
  if (in.U32(0) == 0x464C457F && in.Holds(4, 1) && image[4] == 1) return ReadElf32(in);  // ELF, 32-bit
  return {};
}

std::vector<CodeSection> ReadCodeSectionsOfFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return ReadCodeSections(image);
}

}  // namespace zentor::tools
