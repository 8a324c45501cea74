// The sample modules' ".SYM" files, loaded as the target interface loads a server
// module's symbols (at the code and data bases the stand-in agent reports, those of
// the module's manifest), against the DWARF of the modules themselves, read here on
// its own: every procedure, variable and source line the DWARF has, the symbol table
// has at the same address or frame offset, with a type of the same kind and size;
// only the frame's variables of a routine that sets up no ebp frame are left out, each
// with the converter's warning. The load of DEMO.SYM is kept as a golden dump too, and
// modules the converter cannot take end in its error.

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <fcntl.h>
#include <gelf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cv_load_test_support.h"
#include "dwarf2cv/dwarf_entry.h"
#include "dwarf2cv/dwarf_to_codeview.h"

namespace zentor {
namespace {

using testing_support::CvLoadOutcome;
using testing_support::CvHex;
using testing_support::CvLoadTest;
using dwarf2cv::EntryName;
using dwarf2cv::ForEachChild;

std::string SamplePath(const std::string& name) { return (std::filesystem::path(ZENTOR_SAMPLES_DIR) / name).string(); }

struct SampleModule {
  const char* m_image;
  const char* m_symbols;
  const char* m_manifest;
};

// BARE has no initialised data (its data base is that of .bss) and a naked routine.
const SampleModule kSamples[] = {
    {"demo.elf", "DEMO.SYM", "demo.mod"},
    {"hello.elf", "HELLO.SYM", "hello.mod"},
    {"views.elf", "VIEWS.SYM", "views.mod"},
    {"bare.elf", "BARE.SYM", "bare.mod"},
};

// The code and data of a manifest: base and length of each.
struct ManifestSpaces {
  uint32_t m_code[2] = {};
  uint32_t m_data[2] = {};
};

ManifestSpaces ReadManifest(const std::string& path) {
  ManifestSpaces spaces;
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  for (std::string line; std::getline(in, line);) {
    uint32_t* pair = line.rfind("code = ", 0) == 0 ? spaces.m_code : line.rfind("data = ", 0) == 0 ? spaces.m_data : nullptr;
    if (pair == nullptr) continue;
    char* end = nullptr;
    pair[0] = static_cast<uint32_t>(std::strtoul(line.c_str() + 7, &end, 0));
    pair[1] = static_cast<uint32_t>(std::strtoul(end, nullptr, 0));
  }
  return spaces;
}

// ---- What the DWARF says

struct DwarfVariable {
  std::string m_procedure;  // "" at module level
  std::string m_name;
  bool m_static = false;    // at m_address, else at m_frameOffset from ebp
  bool m_external = false;
  uint32_t m_address = 0;
  int32_t m_frameOffset = 0;
  std::optional<uint32_t> m_register;  // DWARF's number (eax 0 .. edi 7), else in memory
  std::string m_type;  // as TypeText describes it
};

struct DwarfProcedure {
  std::string m_name;
  uint32_t m_low = 0;
  uint32_t m_high = 0;
};

struct DwarfLine {
  uint32_t m_address = 0;
  std::string m_file;  // the file's own name, without directories
  uint32_t m_line = 0;
};

struct DwarfUnit {
  std::string m_module;  // as the loader names it: bare file name, upper case
  uint32_t m_low = 0;
  uint32_t m_high = 0;
  std::vector<DwarfProcedure> m_procedures;
  std::vector<DwarfVariable> m_variables;
  // "procedure variable" of each frame variable of a routine without an ebp frame.
  std::vector<std::string> m_leftOut;
  std::vector<DwarfLine> m_lines;
};

struct DwarfModule {
  std::vector<DwarfUnit> m_units;
  // The bytes of .text from its address on.
  uint32_t m_textAddress = 0;
  std::vector<uint8_t> m_text;
};

// A routine sets up its ebp frame with push ebp; mov ebp, esp as its first bytes.
bool SetsUpAnEbpFrame(const DwarfModule& module, uint32_t low) {
  static const uint8_t kPrologue[] = {0x55, 0x89, 0xE5};
  if (low < module.m_textAddress || low - module.m_textAddress + 3 > module.m_text.size()) return false;
  return std::equal(std::begin(kPrologue), std::end(kPrologue), module.m_text.begin() + (low - module.m_textAddress));
}

std::string BareName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string ModuleNameOf(const std::string& path) {
  std::string name = std::filesystem::path(path).stem().string();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

std::optional<Dwarf_Die> TypeOf(Dwarf_Die* die) {
  Dwarf_Attribute attribute;
  Dwarf_Die type;
  if (dwarf_attr_integrate(die, DW_AT_type, &attribute) == nullptr || dwarf_formref_die(&attribute, &type) == nullptr) {
    return std::nullopt;
  }
  return type;
}

// The type of a value as the symbol table should know it: its kind, name and size in
// bytes, what a pointer points to and what an array holds. Typedefs and qualifiers say
// nothing about that.
std::string TypeText(Dwarf_Die* die) {
  std::optional<Dwarf_Die> type = TypeOf(die);
  while (type && (dwarf_tag(&*type) == DW_TAG_typedef || dwarf_tag(&*type) == DW_TAG_const_type ||
                  dwarf_tag(&*type) == DW_TAG_volatile_type)) {
    type = TypeOf(&*type);
  }
  if (!type) return "void";
  Dwarf_Word size = 0;
  dwarf_aggregate_size(&*type, &size);
  const std::string sized = EntryName(&*type) + " " + std::to_string(size);
  switch (dwarf_tag(&*type)) {
    case DW_TAG_base_type:
      return "primitive " + std::to_string(size);
    case DW_TAG_pointer_type:
      return "pointer to " + TypeText(&*type);
    case DW_TAG_structure_type:
      return "structure " + sized;
    case DW_TAG_enumeration_type:
      return "enumeration " + sized;
    case DW_TAG_array_type:
      return "array " + std::to_string(size) + " of " + TypeText(&*type);
    case DW_TAG_subroutine_type:
      return "procedure";
    default:
      return "tag " + std::to_string(dwarf_tag(&*type));
  }
}

bool IsExternal(Dwarf_Die* die) {
  Dwarf_Attribute attribute;
  bool flag = false;
  return dwarf_attr_integrate(die, DW_AT_external, &attribute) != nullptr && dwarf_formflag(&attribute, &flag) == 0 &&
         flag;
}

// A variable with a location. In a procedure of the i386 frame the samples are built
// with (push ebp; mov ebp, esp), the DWARF frame base, the canonical frame address,
// lies 8 bytes above ebp.
std::optional<DwarfVariable> VariableOf(Dwarf_Die* die, const std::string& procedure) {
  Dwarf_Attribute attribute;
  Dwarf_Op* ops = nullptr;
  size_t count = 0;
  if (dwarf_attr(die, DW_AT_location, &attribute) == nullptr) return std::nullopt;
  if (dwarf_getlocation(&attribute, &ops, &count) != 0 || count != 1) {
    ADD_FAILURE() << dwarf_diename(die) << " has a location of several operations";
    return std::nullopt;
  }
  DwarfVariable variable{.m_procedure = procedure, .m_name = EntryName(die), .m_external = IsExternal(die),
                         .m_register = std::nullopt, .m_type = TypeText(die)};
  if (ops[0].atom == DW_OP_addr) {
    variable.m_static = true;
    variable.m_address = static_cast<uint32_t>(ops[0].number);
  } else if (ops[0].atom == DW_OP_fbreg) {
    variable.m_frameOffset = static_cast<int32_t>(ops[0].number) + 8;
  } else if (ops[0].atom == DW_OP_breg5) {
    variable.m_frameOffset = static_cast<int32_t>(ops[0].number);
  } else if (ops[0].atom >= DW_OP_reg0 && ops[0].atom <= DW_OP_reg7) {
    variable.m_register = ops[0].atom - DW_OP_reg0;
  } else {
    ADD_FAILURE() << variable.m_name << " has location operation " << int(ops[0].atom);
    return std::nullopt;
  }
  return variable;
}

void CollectScope(Dwarf_Die* scope, const std::string& procedure, bool ebpFrame, DwarfUnit& unit) {
  ForEachChild(scope, [&](Dwarf_Die* child) {
    const int tag = dwarf_tag(child);
    if (tag == DW_TAG_formal_parameter || tag == DW_TAG_variable) {
      std::optional<DwarfVariable> variable = VariableOf(child, procedure);
      if (!variable) return;
      if (!ebpFrame && !variable->m_static && !variable->m_register) {
        unit.m_leftOut.push_back(procedure + " " + variable->m_name);
      } else {
        unit.m_variables.push_back(*variable);
      }
    } else if (tag == DW_TAG_lexical_block) {
      CollectScope(child, procedure, ebpFrame, unit);
    }
  });
}

void CollectLines(Dwarf_Die* cu, DwarfUnit& unit) {
  Dwarf_Lines* lines = nullptr;
  size_t count = 0;
  ASSERT_EQ(dwarf_getsrclines(cu, &lines, &count), 0);
  for (size_t i = 0; i + 1 < count; ++i) {
    Dwarf_Line* line = dwarf_onesrcline(lines, i);
    Dwarf_Addr address = 0, next = 0;
    int number = 0;
    bool end = false;
    dwarf_lineaddr(line, &address);
    dwarf_lineaddr(dwarf_onesrcline(lines, i + 1), &next);
    dwarf_lineno(line, &number);
    dwarf_lineendsequence(line, &end);
    // A row that covers no code tells nothing about an address.
    if (end || next == address || number == 0) continue;
    unit.m_lines.push_back(DwarfLine{static_cast<uint32_t>(address), BareName(dwarf_linesrc(line, nullptr, nullptr)),
                                     static_cast<uint32_t>(number)});
  }
}

DwarfModule ReadDwarf(const std::string& path) {
  DwarfModule module;
  const int fd = open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0) << path;
  Dwarf* dwarf = dwarf_begin(fd, DWARF_C_READ);
  EXPECT_NE(dwarf, nullptr) << path;
  if (dwarf == nullptr) return module;
  // The bases the module is linked at: the first bytes of its code and of its data.
  Elf* elf = dwarf_getelf(dwarf);
  size_t names = 0;
  elf_getshdrstrndx(elf, &names);
  for (Elf_Scn* section = elf_nextscn(elf, nullptr); section != nullptr; section = elf_nextscn(elf, section)) {
    GElf_Shdr header;
    gelf_getshdr(section, &header);
    const std::string name = elf_strptr(elf, names, header.sh_name);
    Elf_Data* data = elf_getdata(section, nullptr);
    if (name == ".text" && data != nullptr && data->d_buf != nullptr) {
      module.m_textAddress = static_cast<uint32_t>(header.sh_addr);
      const auto* bytes = static_cast<const uint8_t*>(data->d_buf);
      module.m_text.assign(bytes, bytes + data->d_size);
    }
  }
  Dwarf_CU* cu = nullptr;
  Dwarf_Die cuDie;
  while (dwarf_get_units(dwarf, cu, &cu, nullptr, nullptr, &cuDie, nullptr) == 0) {
    DwarfUnit unit;
    Dwarf_Addr low = 0, high = 0;
    dwarf_lowpc(&cuDie, &low);
    dwarf_highpc(&cuDie, &high);
    unit.m_module = ModuleNameOf(dwarf_diename(&cuDie));
    unit.m_low = static_cast<uint32_t>(low);
    unit.m_high = static_cast<uint32_t>(high);
    ForEachChild(&cuDie, [&](Dwarf_Die* child) {
      if (dwarf_tag(child) == DW_TAG_variable) {
        if (std::optional<DwarfVariable> variable = VariableOf(child, "")) unit.m_variables.push_back(*variable);
      } else if (dwarf_tag(child) == DW_TAG_subprogram && dwarf_lowpc(child, &low) == 0) {
        dwarf_highpc(child, &high);
        unit.m_procedures.push_back({dwarf_diename(child), static_cast<uint32_t>(low), static_cast<uint32_t>(high)});
        CollectScope(child, dwarf_diename(child), SetsUpAnEbpFrame(module, static_cast<uint32_t>(low)), unit);
      }
    });
    CollectLines(&cuDie, unit);
    module.m_units.push_back(std::move(unit));
  }
  dwarf_end(dwarf);
  close(fd);
  return module;
}

// ---- What the symbol table holds

struct LoadedSymbol {
  std::string m_procedure;  // the procedure whose scope holds it, "" at module level
  std::string m_name;
  uint32_t m_typeIndex = 0;
  AddressExtent m_location;
};

class SampleSymbolsTest : public CvLoadTest {
 protected:
  static uint32_t Offset(const AddressDescriptor& address) { return address.Record().m_offset; }

  static ModuleDescriptor* ModuleNamed(const std::string& name) {
    LoaderState& loader = CurrentLoaderState();
    for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
      ModuleDescriptor* module = loader.ModuleById(id);
      if (module != nullptr && name == module->NameText().data()) return module;
    }
    return nullptr;
  }

  // The symbols of a chain, each with the procedure whose scope it is in.
  static std::vector<LoadedSymbol> SymbolsOfChain(RecordHandle start) {
    std::vector<LoadedSymbol> symbols;
    std::vector<std::string> scopes;
    RecordRef ref;
    ref.Init(start);
    for (;;) {
      RecordView view = ref.NextSymbolRecord(Cache());
      if (view.IsNull()) break;
      const std::string procedure = scopes.empty() ? "" : scopes.back();
      switch (view.U32At(0)) {
        case kProcedureRecordType:
          scopes.push_back(ProcedureRecordView(std::move(view)).Name().NameText(Cache()).data());
          break;
        case kBlockRecordType:
          scopes.push_back(procedure);
          break;
        case kSymbolRecordType: {
          const SymbolRecordView symbol(std::move(view));
          symbols.push_back(
              {procedure, symbol.Name().NameText(Cache()).data(), symbol.TypeIndex(), symbol.Location()});
          break;
        }
        default:
          if (!scopes.empty()) scopes.pop_back();
          break;
      }
    }
    return symbols;
  }

  // The loaded type as TypeText describes a DWARF type. A pointer is a primitive
  // that refers to its target.
  static std::string LoadedTypeText(uint32_t index) {
    const TypeEntryView entry = CurrentLoaderState().Types().GetTypeEntry(Cache(), index);
    const std::string name = entry.Name().NameHandle().IsNone() ? "" : entry.Name().NameText(Cache()).data();
    const std::string sized = name + " " + std::to_string(entry.Size());
    switch (entry.Category()) {
      case kTypePrimitive:
        return entry.Reference() == 0xFFFFFFFFu ? "primitive " + std::to_string(entry.Size())
                                                 : "pointer to " + LoadedTypeText(entry.Reference());
      case kTypeStructure:
        return "structure " + sized;
      case kTypeSubrange:
        return "subrange " + sized;
      case kTypeEnumeration:
        return "enumeration " + sized;
      case kTypeArray:
        return "array " + std::to_string(entry.Size()) + " of " +
               LoadedTypeText(ArrayTypeRecordView::At(Cache(), RecordHandle(entry.Reference())).ElementType());
      case kTypeProcedure:
        return "procedure";
      default:
        return "category " + std::to_string(entry.Category());
    }
  }

  // Loads a sample's symbol file at the bases its manifest gives the agent and asks
  // for every module.
  void LoadSample(const SampleModule& sample) {
    const ManifestSpaces spaces = ReadManifest(SamplePath(sample.m_manifest));
    const CvLoadOutcome outcome = Load(SamplePath(sample.m_symbols), spaces.m_code[0], spaces.m_data[0]);
    ASSERT_EQ(outcome.m_raised, 0u);
    ASSERT_EQ(outcome.m_returned, 0u);
    ASSERT_EQ(outcome.m_reported, 0u);
    ASSERT_EQ(ForceDeferredModules(), 0u);
  }
};

TEST_F(SampleSymbolsTest, EveryProcedureVariableAndLineOfTheDwarfIsLoadedWhereTheDwarfPutsIt) {
  for (const SampleModule& sample : kSamples) {
    SCOPED_TRACE(sample.m_symbols);
    const DwarfModule dwarf = ReadDwarf(SamplePath(sample.m_image));
    ASSERT_FALSE(dwarf.m_units.empty());
    LoadSample(sample);
    const ManifestSpaces spaces = ReadManifest(SamplePath(sample.m_manifest));
    const std::vector<std::string> warnings = dwarf2cv::ConvertModule(SamplePath(sample.m_image)).m_warnings;
    size_t leftOut = 0;
    const std::vector<LoadedSymbol> globals = SymbolsOfChain(CurrentLoaderState().GlobalChainHead());

    for (const DwarfUnit& unit : dwarf.m_units) {
      SCOPED_TRACE(unit.m_module);
      ModuleDescriptor* module = ModuleNamed(unit.m_module);
      ASSERT_NE(module, nullptr);
      EXPECT_EQ(Offset(module->Start()), unit.m_low);
      EXPECT_EQ(module->Extent().Low(), unit.m_high - unit.m_low - 1);

      std::map<std::string, std::pair<uint32_t, uint32_t>> procedures;
      CurrentLoaderState().ForEachProcedure(*module, [&](const ProcedureSpan& span) {
        procedures[span.m_name.NameText(Cache()).data()] = {Offset(span.m_first), Offset(span.m_last)};
        return true;
      });
      EXPECT_EQ(procedures.size(), unit.m_procedures.size());
      for (const DwarfProcedure& procedure : unit.m_procedures) {
        SCOPED_TRACE(procedure.m_name);
        ASSERT_TRUE(procedures.count(procedure.m_name));
        EXPECT_EQ(procedures[procedure.m_name].first, procedure.m_low);
        EXPECT_EQ(procedures[procedure.m_name].second, procedure.m_high - 1);
      }

      const std::vector<LoadedSymbol> symbols = SymbolsOfChain(module->FirstRecord());
      EXPECT_EQ(symbols.size(), unit.m_variables.size());
      for (const DwarfVariable& variable : unit.m_variables) {
        SCOPED_TRACE(variable.m_procedure + " " + variable.m_name);
        auto loaded = std::find_if(symbols.begin(), symbols.end(), [&](const LoadedSymbol& symbol) {
          return symbol.m_procedure == variable.m_procedure && symbol.m_name == variable.m_name;
        });
        ASSERT_NE(loaded, symbols.end());
        if (variable.m_static) {
          EXPECT_EQ(loaded->m_location.m_flags, 0u);
          EXPECT_EQ(Offset(loaded->m_location.m_address), variable.m_address);
          EXPECT_GE(variable.m_address, spaces.m_data[0]) << "below the manifest's data";
          EXPECT_LT(variable.m_address - spaces.m_data[0], spaces.m_data[1]) << "beyond the manifest's data";
        } else if (variable.m_register) {
          // The target counts eax..edi from 16, in DWARF's order.
          EXPECT_TRUE(loaded->m_location.m_address.IsRegister());
          EXPECT_EQ(Offset(loaded->m_location.m_address), 16 + *variable.m_register);
        } else {
          EXPECT_EQ(loaded->m_location.m_flags, kStorageStackRelative);
          EXPECT_EQ(static_cast<int32_t>(loaded->m_location.m_ordinal.Low()), variable.m_frameOffset);
        }
        EXPECT_EQ(LoadedTypeText(loaded->m_typeIndex), variable.m_type);
        if (variable.m_external) {
          const bool global = std::any_of(globals.begin(), globals.end(), [&](const LoadedSymbol& symbol) {
            return symbol.m_name == variable.m_name && Offset(symbol.m_location.m_address) == variable.m_address;
          });
          EXPECT_TRUE(global) << "not among the global symbols";
        }
      }

      // Each line keeps the first address the DWARF gives it; every line entry is a
      // row of the DWARF.
      std::map<std::pair<std::string, uint32_t>, uint32_t> firstAddress;
      for (const DwarfLine& line : unit.m_lines) {
        auto [at, added] = firstAddress.try_emplace({line.m_file, line.m_line}, line.m_address);
        if (!added) at->second = std::min(at->second, line.m_address);
      }
      std::map<std::pair<std::string, uint32_t>, uint32_t> loadedAddress;
      LineTable& lines = module->Lines();
      for (uint32_t i = 0; i < lines.Count(); ++i) {
        const LineAddressEntry& entry = lines.EntryAt(i);
        if (!entry.HasLine()) continue;
        const uint32_t address = Offset(module->Start()) + entry.Offset().Low();
        const std::string file = BareName(SourceFileNameOf(entry.Source()).data());
        loadedAddress[{file, entry.Source().Line()}] = address;
        const bool isRow = std::any_of(unit.m_lines.begin(), unit.m_lines.end(), [&](const DwarfLine& line) {
          return line.m_address == address && line.m_file == file && line.m_line == entry.Source().Line();
        });
        EXPECT_TRUE(isRow) << file << "#" << entry.Source().Line() << " at " << CvHex(address);
      }
      EXPECT_EQ(loadedAddress, firstAddress);

      for (const std::string& variable : unit.m_leftOut) {
        const std::string procedure = variable.substr(0, variable.find(' '));
        const std::string said = "'" + variable.substr(procedure.size() + 1) + "': left out: the frame of '" + procedure + "'";
        EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(),
                                [&](const std::string& warning) { return warning.find(said) != std::string::npos; }))
            << said;
      }
      leftOut += unit.m_leftOut.size();
    }
    EXPECT_EQ(warnings.size(), leftOut);
  }
}

TEST_F(SampleSymbolsTest, DemoModuleMatchesItsGoldenDump) {
  LoadSample(kSamples[0]);
  const std::string dump = testing_support::DumpWithoutNullPrimitives(Dump());
  EXPECT_EQ(dump.find("error "), std::string::npos) << "a walk of the dump failed";
  EXPECT_TRUE(testing_support::MatchesGolden(
      std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "tools" / "demo_sym.dump", dump));
}

// Input the converter cannot take ends in its error, whatever the damage.
TEST(Dwarf2SymInput, ModulesItCannotConvertEndInItsError) {
  testing_support::ScratchDirectory scratch("dwarf2sym");
  std::ifstream in(SamplePath("demo.elf"), std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 1000u);
  scratch.Write("text.elf", "not a module\n");
  const struct {
    const char* m_name;
    std::string m_path;
    const char* m_error;
  } cases[] = {
      {"missing file", scratch.File("missing.elf"), "cannot open"},
      {"not an ELF file", scratch.File("text.elf"), "no DWARF"},
      {"a 64-bit program", "/proc/self/exe", "not a 32-bit x86 ELF module"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_name);
    try {
      dwarf2cv::ConvertModule(test.m_path);
      ADD_FAILURE() << "converted";
    } catch (const dwarf2cv::ConversionError& error) {
      EXPECT_NE(std::string(error.what()).find(test.m_error), std::string::npos) << error.what();
    }
  }
  // Every cut of the image either converts (a cut in what follows the debugging
  // information) or fails with a ConversionError.
  for (size_t size = 0; size < image.size(); size += 61) {
    SCOPED_TRACE("cut at " + std::to_string(size));
    scratch.Write("cut.elf", std::string_view(image).substr(0, size));
    try {
      dwarf2cv::ConvertModule(scratch.File("cut.elf"));
    } catch (const dwarf2cv::ConversionError&) {
    }
  }
}

}  // namespace
}  // namespace zentor
