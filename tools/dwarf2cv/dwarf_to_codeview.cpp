#include "dwarf_to_codeview.h"

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <fcntl.h>
#include <gelf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "dwarf_entry.h"
#include "dwarf_types.h"

namespace zentor::dwarf2cv {
namespace {

using namespace cvfixture;

constexpr unsigned kEbpRegister = 5;  // DWARF register number of ebp on i386
constexpr unsigned kLastGeneralRegister = 7;  // edi
constexpr std::uint16_t kCodeViewEax = 17;
constexpr std::uint16_t kCodeSegment = 1;
constexpr std::uint16_t kDataSegment = 2;

// The ELF file and its DWARF, closed together.
class DwarfFile {
 public:
  explicit DwarfFile(const std::string& path) {
    m_fd = open(path.c_str(), O_RDONLY);
    if (m_fd < 0) throw ConversionError(path + ": cannot open the file");
    m_dwarf = dwarf_begin(m_fd, DWARF_C_READ);
    if (m_dwarf == nullptr) {
      const std::string reason = dwarf_errmsg(-1);
      close(m_fd);
      throw ConversionError(path + ": no DWARF debugging information (" + reason + ")");
    }
  }
  ~DwarfFile() {
    dwarf_end(m_dwarf);
    close(m_fd);
  }
  DwarfFile(const DwarfFile&) = delete;
  DwarfFile& operator=(const DwarfFile&) = delete;

  Dwarf* Get() const { return m_dwarf; }

 private:
  int m_fd = -1;
  Dwarf* m_dwarf = nullptr;
};

ModuleLayout ReadLayout(Elf* elf, const std::string& path) {
  GElf_Ehdr header;
  if (gelf_getehdr(elf, &header) == nullptr || header.e_ident[EI_CLASS] != ELFCLASS32 ||
      header.e_machine != EM_386) {
    throw ConversionError(path + ": not a 32-bit x86 ELF module");
  }
  std::optional<std::uint64_t> codeBase;
  std::optional<std::uint64_t> dataBase;
  std::uint64_t codeEnd = 0;
  std::uint64_t dataEnd = 0;
  for (Elf_Scn* section = elf_nextscn(elf, nullptr); section != nullptr; section = elf_nextscn(elf, section)) {
    GElf_Shdr shdr;
    if (gelf_getshdr(section, &shdr) == nullptr) throw ConversionError(path + ": unreadable section header");
    if ((shdr.sh_flags & SHF_ALLOC) == 0 || shdr.sh_size == 0) continue;
    const std::uint64_t end = shdr.sh_addr + shdr.sh_size;
    if ((shdr.sh_flags & SHF_WRITE) != 0) {
      dataBase = std::min(dataBase.value_or(shdr.sh_addr), shdr.sh_addr);
      dataEnd = std::max(dataEnd, end);
    } else {
      if ((shdr.sh_flags & SHF_EXECINSTR) != 0) codeBase = std::min(codeBase.value_or(shdr.sh_addr), shdr.sh_addr);
      codeEnd = std::max(codeEnd, end);
    }
  }
  if (!codeBase) throw ConversionError(path + ": the module has no code");
  ModuleLayout layout;
  layout.m_codeBase = static_cast<std::uint32_t>(*codeBase);
  layout.m_codeEnd = static_cast<std::uint32_t>(codeEnd);
  layout.m_dataBase = static_cast<std::uint32_t>(dataBase.value_or(0));
  layout.m_dataEnd = static_cast<std::uint32_t>(dataEnd);
  if (dataBase && *dataBase < codeEnd && *codeBase < dataEnd) {
    throw ConversionError(path + ": the code and data spaces overlap");
  }
  return layout;
}

// `path` relative to `directory` when it lies inside it.
std::string RelativeTo(std::string path, const std::string& directory) {
  if (!directory.empty() && path.size() > directory.size() + 1 && path.compare(0, directory.size(), directory) == 0 &&
      path[directory.size()] == '/') {
    path.erase(0, directory.size() + 1);
  }
  while (path.size() > 2 && path.compare(0, 2, "./") == 0) path.erase(0, 2);
  return path;
}

// Where a procedure's DWARF frame base lies: that many bytes from ebp, or nowhere that
// ebp names (a naked or hand-written routine that does not set up ebp as the frame
// pointer), when the variables addressed from it cannot be written.
struct FrameBase {
  std::optional<std::int32_t> m_ebpOffset;
  std::string m_procedure;
};

struct LineRow {
  Dwarf_Addr m_address = 0;
  std::string m_file;
  int m_line = 0;
  bool m_startsSequence = false;
};

// Translates one module: its compilation units in order, each into one CodeView module.
class ModuleTranslator {
 public:
  ModuleTranslator(Dwarf* dwarf, const ModuleLayout& layout, CvProgram& program, std::vector<std::string>& warnings)
      : m_dwarf(dwarf), m_layout(layout), m_program(program), m_types(program), m_warnings(warnings) {}

  void Unit(Dwarf_Die* unit) {
    CvModule module;
    module.m_index = static_cast<std::uint16_t>(m_program.m_modules.size() + 1);
    m_compDir = [&] {
      Dwarf_Attribute attribute;
      const char* dir = dwarf_formstring(dwarf_attr(unit, DW_AT_comp_dir, &attribute));
      return std::string(dir != nullptr ? dir : "");
    }();
    module.m_name = RelativeTo(EntryName(unit), m_compDir);
    if (module.m_name.empty()) FailAt(unit, "the compilation unit has no name");
    module.m_segments = CodeSegments(unit);
    ReadLines(unit);

    std::vector<std::pair<std::uint32_t, CvProcedure>> procedures;
    ForEachChild(unit, [&](Dwarf_Die* child) {
      const int tag = dwarf_tag(child);
      if (tag == DW_TAG_variable && HasAttribute(child, DW_AT_location)) {
        const bool external = FlagAttribute(child, DW_AT_external);
        CvVariable variable = *Variable(child, nullptr);
        variable.m_storage = external ? CvStorage::GlobalData : CvStorage::LocalData;
        if (external) {
          m_program.m_globals.push_back(
              CvReference{.m_procedure = false, .m_module = module.m_index, .m_name = variable.m_name});
        }
        module.m_symbols.push_back(std::move(variable));
      } else if (tag == DW_TAG_subprogram && HasAttribute(child, DW_AT_low_pc)) {
        CvProcedure procedure = Procedure(child);
        if (procedure.m_global) {
          m_program.m_globals.push_back(
              CvReference{.m_procedure = true, .m_module = module.m_index, .m_name = procedure.m_name});
        }
        procedures.emplace_back(procedure.m_offset, std::move(procedure));
      }
    });
    // Procedures in address order, as a linker lists them.
    std::stable_sort(procedures.begin(), procedures.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [offset, procedure] : procedures) module.m_symbols.push_back(std::move(procedure));
    module.m_sourceFiles = SourceFiles(unit);
    m_program.m_modules.push_back(std::move(module));
  }

 private:
  std::uint32_t CodeOffset(Dwarf_Addr address, Dwarf_Die* die) const {
    if (address < m_layout.m_codeBase || address > m_layout.m_codeEnd) FailAt(die, "an address outside the code");
    return static_cast<std::uint32_t>(address - m_layout.m_codeBase);
  }

  std::vector<CvSegment> CodeSegments(Dwarf_Die* unit) const {
    std::vector<CvSegment> segments;
    Dwarf_Addr base = 0, start = 0, end = 0;
    for (ptrdiff_t at = 0; (at = dwarf_ranges(unit, at, &base, &start, &end)) > 0;) {
      if (end <= start) continue;
      CodeOffset(end, unit);
      segments.push_back(CvSegment{.m_segment = kCodeSegment,
                                   .m_offset = CodeOffset(start, unit),
                                   .m_size = static_cast<std::uint32_t>(end - start)});
    }
    return segments;
  }

  // The unit's line rows that cover code: a row followed by another at the same
  // address covers nothing and line 0 stands for no source line.
  void ReadLines(Dwarf_Die* unit) {
    m_rows.clear();
    Dwarf_Lines* lines = nullptr;
    size_t count = 0;
    if (dwarf_getsrclines(unit, &lines, &count) != 0) return;
    bool sequenceStart = true;
    for (size_t i = 0; i < count; ++i) {
      Dwarf_Line* line = dwarf_onesrcline(lines, i);
      Dwarf_Addr address = 0;
      int number = 0;
      bool endsSequence = false;
      if (line == nullptr || dwarf_lineaddr(line, &address) != 0 || dwarf_lineno(line, &number) != 0 ||
          dwarf_lineendsequence(line, &endsSequence) != 0) {
        FailAt(unit, "its line table is unreadable");
      }
      if (endsSequence) {
        sequenceStart = true;
        continue;
      }
      Dwarf_Line* next = i + 1 < count ? dwarf_onesrcline(lines, i + 1) : nullptr;
      Dwarf_Addr nextAddress = 0;
      if (next == nullptr || dwarf_lineaddr(next, &nextAddress) != 0) FailAt(unit, "its line table has no end");
      if (nextAddress == address || number == 0) continue;
      if (number > 0xFFFF) FailAt(unit, "a line number above 65535");
      const char* file = dwarf_linesrc(line, nullptr, nullptr);
      CodeOffset(address, unit);
      m_rows.push_back(LineRow{address, RelativeTo(file != nullptr ? file : "", m_compDir), number, sequenceStart});
      sequenceStart = false;
    }
  }

  // Each source file's lines, the unit's own file first. A row that repeats the line
  // of the row before it says nothing new and is left out.
  std::vector<CvSourceFile> SourceFiles(Dwarf_Die* unit) const {
    std::vector<CvSourceFile> files;
    auto fileNamed = [&](const std::string& name) -> CvSourceFile& {
      for (CvSourceFile& file : files) {
        if (file.m_name == name) return file;
      }
      files.push_back(CvSourceFile{.m_name = name, .m_segments = {CvLineSegment{.m_segment = kCodeSegment}}});
      return files.back();
    };
    fileNamed(RelativeTo(EntryName(unit), m_compDir));
    const LineRow* previous = nullptr;
    for (const LineRow& row : m_rows) {
      if (row.m_startsSequence || previous == nullptr || previous->m_file != row.m_file ||
          previous->m_line != row.m_line) {
        fileNamed(row.m_file).m_segments[0].m_lines.push_back(
            CvLine{.m_offset = CodeOffset(row.m_address, unit), .m_line = static_cast<std::uint16_t>(row.m_line)});
      }
      previous = &row;
    }
    for (CvSourceFile& file : files) {
      auto& lines = file.m_segments[0].m_lines;
      std::stable_sort(lines.begin(), lines.end(),
                       [](const CvLine& a, const CvLine& b) { return a.m_offset < b.m_offset; });
    }
    std::erase_if(files, [](const CvSourceFile& file) { return file.m_segments[0].m_lines.empty(); });
    return files;
  }

  // 1. The procedure's range and type.
  // 2. Its body starts at the first line row after its entry (the prologue lies
  //    before it) and its epilogue at its last line row.
  // 3. The frame base turned into an ebp offset at the body's start, where the frame
  //    is set up, then the parameters, locals and blocks. A routine that sets up no
  //    ebp frame keeps everything but what lies in its frame.
  CvProcedure Procedure(Dwarf_Die* die) {
    Dwarf_Addr low = 0, high = 0;
    if (dwarf_lowpc(die, &low) != 0 || dwarf_highpc(die, &high) != 0 || high <= low) {
      FailAt(die, "the procedure has no code range");
    }
    CvProcedure procedure{.m_name = EntryName(die),
                          .m_global = FlagAttribute(die, DW_AT_external),
                          .m_offset = CodeOffset(low, die),
                          .m_length = CodeOffset(high, die) - CodeOffset(low, die),
                          .m_segment = kCodeSegment,
                          .m_type = m_types.ProcedureTypeOf(die)};
    if (procedure.m_name.empty()) FailAt(die, "the procedure has no name");
    std::optional<Dwarf_Addr> body;
    for (const LineRow& row : m_rows) {
      if (row.m_address <= low || row.m_address >= high) continue;
      if (!body || row.m_address < *body) body = row.m_address;
      procedure.m_debugEnd =
          std::max<std::uint32_t>(procedure.m_debugEnd, static_cast<std::uint32_t>(row.m_address - low));
    }
    if (body) procedure.m_debugStart = static_cast<std::uint32_t>(*body - low);
    const FrameBase frameBase{FrameBaseToEbp(die, body), procedure.m_name};
    Scope(die, frameBase, &procedure.m_parameters, procedure.m_locals, procedure.m_labels, procedure.m_blocks);
    return procedure;
  }

  // The offset from ebp of the procedure's DWARF frame base; none when the frame is
  // not addressed through ebp where the body starts.
  std::optional<std::int32_t> FrameBaseToEbp(Dwarf_Die* die, std::optional<Dwarf_Addr> body) {
    Dwarf_Attribute attribute;
    Dwarf_Op* ops = nullptr;
    size_t count = 0;
    if (dwarf_attr(die, DW_AT_frame_base, &attribute) == nullptr) return 0;  // no frame: no locals either
    if (dwarf_getlocation(&attribute, &ops, &count) != 0 || count != 1) {
      FailAt(die, "its frame base is not one operation");
    }
    if (ops[0].atom == DW_OP_breg0 + kEbpRegister) return static_cast<std::int32_t>(ops[0].number);
    if (ops[0].atom == DW_OP_reg0 + kEbpRegister) return 0;
    if (ops[0].atom != DW_OP_call_frame_cfa || !body) return std::nullopt;
    Dwarf_CFI* cfi = dwarf_getcfi(m_dwarf);
    Dwarf_Frame* frame = nullptr;
    if (cfi == nullptr || dwarf_cfi_addrframe(cfi, *body, &frame) != 0) return std::nullopt;
    Dwarf_Op* cfa = nullptr;
    size_t cfaCount = 0;
    std::optional<std::int32_t> offset;
    if (dwarf_frame_cfa(frame, &cfa, &cfaCount) == 0 && cfaCount == 1) {
      if (cfa[0].atom == DW_OP_bregx && cfa[0].number == kEbpRegister) {
        offset = static_cast<std::int32_t>(cfa[0].number2);
      }
      if (cfa[0].atom == DW_OP_breg0 + kEbpRegister) offset = static_cast<std::int32_t>(cfa[0].number);
    }
    std::free(frame);
    return offset;
  }

  void Scope(Dwarf_Die* scope, const FrameBase& frameBase, std::vector<CvVariable>* parameters,
             std::vector<CvVariable>& locals, std::vector<CvLabel>& labels, std::vector<CvBlock>& blocks) {
    ForEachChild(scope, [&](Dwarf_Die* child) {
      switch (dwarf_tag(child)) {
        case DW_TAG_formal_parameter:
          if (parameters == nullptr) FailAt(child, "a parameter outside a procedure");
          if (std::optional<CvVariable> parameter = Variable(child, &frameBase)) parameters->push_back(*parameter);
          break;
        case DW_TAG_variable:
          if (!HasAttribute(child, DW_AT_location)) break;
          if (std::optional<CvVariable> local = Variable(child, &frameBase)) locals.push_back(*local);
          break;
        case DW_TAG_label: {
          Dwarf_Addr address = 0;
          if (dwarf_lowpc(child, &address) == 0) {
            labels.push_back(CvLabel{.m_name = EntryName(child), .m_offset = CodeOffset(address, child)});
          }
          break;
        }
        case DW_TAG_lexical_block:
          Block(child, frameBase, locals, labels, blocks);
          break;
        case DW_TAG_inlined_subroutine:
          FailAt(child, "inlined calls have no translation (build without optimisation)");
        case DW_TAG_subprogram:
          FailAt(child, "nested procedures have no translation");
        default:
          break;  // types and call sites: types are translated where they are used
      }
    });
  }

  // A block with one code range becomes a CodeView block; one without code has its
  // variables in the enclosing scope.
  void Block(Dwarf_Die* die, const FrameBase& frameBase, std::vector<CvVariable>& outerLocals,
             std::vector<CvLabel>& outerLabels, std::vector<CvBlock>& outerBlocks) {
    std::vector<std::pair<Dwarf_Addr, Dwarf_Addr>> ranges;
    Dwarf_Addr base = 0, start = 0, end = 0;
    for (ptrdiff_t at = 0; (at = dwarf_ranges(die, at, &base, &start, &end)) > 0;) {
      if (end > start) ranges.emplace_back(start, end);
    }
    if (ranges.empty()) {
      Scope(die, frameBase, nullptr, outerLocals, outerLabels, outerBlocks);
      return;
    }
    if (ranges.size() > 1) FailAt(die, "a block of several code ranges has no translation");
    CvBlock block{.m_offset = CodeOffset(ranges[0].first, die),
                  .m_length = CodeOffset(ranges[0].second, die) - CodeOffset(ranges[0].first, die),
                  .m_segment = kCodeSegment};
    Scope(die, frameBase, nullptr, block.m_locals, block.m_labels, block.m_blocks);
    outerBlocks.push_back(std::move(block));
  }

  // A variable at a fixed data address (static storage), in a register, or in the
  // frame of the procedure whose frame base `frameBase` gives (null at module level).
  // One in a frame that ebp does not address is left out with a warning (none).
  std::optional<CvVariable> Variable(Dwarf_Die* die, const FrameBase* frameBase) {
    CvVariable variable{.m_name = EntryName(die), .m_type = m_types.TypeOf(die)};
    if (variable.m_name.empty()) FailAt(die, "the variable has no name");
    Dwarf_Attribute attribute;
    Dwarf_Op* ops = nullptr;
    size_t count = 0;
    if (dwarf_attr_integrate(die, DW_AT_location, &attribute) == nullptr ||
        dwarf_getlocation(&attribute, &ops, &count) != 0 || count != 1) {
      FailAt(die, "its location is not a single operation");
    }
    const Dwarf_Op& op = ops[0];
    if (op.atom == DW_OP_addr) {
      if (m_layout.m_dataEnd == 0 || op.number < m_layout.m_dataBase || op.number >= m_layout.m_dataEnd) {
        FailAt(die, "static data outside the writable data (read-only data lies in the code space)");
      }
      variable.m_storage = CvStorage::LocalData;
      variable.m_offset = static_cast<std::uint32_t>(op.number - m_layout.m_dataBase);
      variable.m_segment = kDataSegment;
    } else if (op.atom == DW_OP_fbreg && frameBase != nullptr) {
      if (!frameBase->m_ebpOffset) {
        m_warnings.push_back(EntryLabel(die) + ": left out: the frame of '" + frameBase->m_procedure +
                             "' is not addressed through ebp");
        return std::nullopt;
      }
      variable.m_storage = CvStorage::FrameRelative;
      variable.m_frameOffset = static_cast<std::int32_t>(op.number) + *frameBase->m_ebpOffset;
    } else if (op.atom == DW_OP_breg0 + kEbpRegister) {
      variable.m_storage = CvStorage::FrameRelative;
      variable.m_frameOffset = static_cast<std::int32_t>(op.number);
    } else if (op.atom >= DW_OP_reg0 && op.atom <= DW_OP_reg0 + kLastGeneralRegister) {
      // A register local (a "register" variable kept there without optimisation):
      // DWARF and CodeView count eax..edi in the same order, CodeView from 17.
      variable.m_storage = CvStorage::Register;
      variable.m_register = static_cast<std::uint16_t>(kCodeViewEax + (op.atom - DW_OP_reg0));
    } else {
      FailAt(die, "its location is neither static, ebp-relative nor a register");
    }
    return variable;
  }

  Dwarf* m_dwarf;
  const ModuleLayout& m_layout;
  CvProgram& m_program;
  TypeTranslator m_types;
  std::vector<std::string>& m_warnings;
  std::string m_compDir;
  std::vector<LineRow> m_rows;  // of the unit being translated, in table order
};

}  // namespace

Conversion ConvertModule(const std::string& elfPath) {
  DwarfFile file(elfPath);
  Conversion conversion;
  conversion.m_layout = ReadLayout(dwarf_getelf(file.Get()), elfPath);
  ModuleTranslator translator(file.Get(), conversion.m_layout, conversion.m_program, conversion.m_warnings);
  Dwarf_CU* unit = nullptr;
  Dwarf_Die unitEntry;
  std::uint8_t unitType = 0;
  while (dwarf_get_units(file.Get(), unit, &unit, nullptr, &unitType, &unitEntry, nullptr) == 0) {
    if (unitType == DW_UT_compile) translator.Unit(&unitEntry);
  }
  if (conversion.m_program.m_modules.empty()) throw ConversionError(elfPath + ": no compilation unit");
  if (conversion.m_program.m_modules.size() > 0xFFFE) throw ConversionError(elfPath + ": too many compilation units");
  return conversion;
}

}  // namespace zentor::dwarf2cv
