#pragma once
// The large program of the symbol benchmarks, written by the CodeView fixture writer:
// 1,000 modules of ten procedures each (two parameters, six locals, a label and four
// lines per procedure, a static per module), about 100,000 symbols, 20,000 types and
// a global variable per module plus a reference per procedure in the global symbols.
// The file is written once to the temporary directory, and a viewpoint is made whose
// symbol context the loads use.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codeview/cv_fixture.h"
#include "symbols/cv_loader.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"

#include "core/current_viewpoint.h"
#include "core/viewpoint_manager.h"
#include "target/target_services.h"
#include "target/tmi_symbol_load.h"
#include "target/tmi_viewpoint.h"

namespace zentor::bench {

using namespace cvfixture;

inline constexpr uint32_t kModules = 1000;
inline constexpr uint32_t kProceduresPerModule = 10;
inline constexpr uint32_t kTypeGroups = 2000;  // ten types each
// Symbols of the modules: per module a static and per procedure itself, two
// parameters, six locals and a label (101,000 in all).
inline constexpr uint32_t kProgramSymbols = kModules * (1 + kProceduresPerModule * 10);
inline constexpr uint32_t kViewpoint = 0xBE7C0001u;

inline std::string Numbered(const char* stem, uint32_t number) {
  char text[48];
  std::snprintf(text, sizeof text, "%s_%05u", stem, number);
  return text;
}

// Ten types per group: a field list and its structure, pointers to it and to that
// pointer, a const structure, an array of it, an argument list and a procedure type,
// a bit field and a label. Each group opens four lists, which keeps every list
// within the indices the type descriptions can address.
inline void AddTypes(CvProgram& program, std::vector<uint16_t>& structures, std::vector<uint16_t>& procedures) {
  for (uint32_t group = 0; group < kTypeGroups; ++group) {
    const uint16_t structure =
        AddStructure(program, Numbered("record", group), 12,
                     {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "key"},
                      CvMember{.m_type = 0x0040, .m_offset = 4, .m_name = "weight"},
                      CvMember{.m_type = 0x0070, .m_offset = 8, .m_name = "tag"}});
    const uint16_t pointer = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = structure});
    AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = pointer});
    AddType(program, CvModifierType{.m_attribute = kModifierConst, .m_modified = structure});
    AddType(program, CvArrayType{.m_element = structure, .m_index = 0x0075, .m_size = 120, .m_name = ""});
    const uint16_t procedure = AddProcedureType(program, 0x0074, {pointer});
    AddType(program, CvBitFieldType{.m_length = 4, .m_position = 3, .m_base = 0x0075});
    AddType(program, CvLabelType{.m_mode = 0});
    structures.push_back(structure);
    procedures.push_back(procedure);
  }
}

// Per module: one static and ten procedures of two parameters, six locals (one in a
// register) and a label, four lines each; per procedure a procedure reference and per
// module a global variable in the global symbols.
inline CvProgram LargeProgram() {
  CvProgram program;
  std::vector<uint16_t> structures;
  std::vector<uint16_t> procedures;
  AddTypes(program, structures, procedures);
  uint32_t serial = 0;
  for (uint32_t m = 0; m < kModules; ++m) {
    CvModule module;
    module.m_name = "C:\\NLM\\SRC\\" + Numbered("mod", m) + ".c";
    const uint32_t base = m * 0x1000;
    module.m_segments = {CvSegment{.m_segment = 1, .m_offset = base, .m_size = 0x1000}};
    module.m_symbols.push_back(CvVariable{.m_storage = CvStorage::LocalData,
                                          .m_name = Numbered("static", m),
                                          .m_type = 0x0074,
                                          .m_offset = m * 16});
    CvSourceFile source{.m_name = module.m_name, .m_segments = {CvLineSegment{.m_segment = 1}}};
    for (uint32_t p = 0; p < kProceduresPerModule; ++p, ++serial) {
      const uint16_t structure = structures[serial % structures.size()];
      const uint32_t offset = base + p * 0x100;
      CvProcedure procedure{.m_name = Numbered("proc", serial),
                            .m_offset = offset,
                            .m_length = 0x100,
                            .m_type = procedures[serial % procedures.size()]};
      for (uint32_t a = 0; a < 2; ++a) {
        procedure.m_parameters.push_back(CvVariable{.m_storage = CvStorage::FrameRelative,
                                                    .m_name = Numbered("arg", a),
                                                    .m_type = structure,
                                                    .m_frameOffset = static_cast<int32_t>(8 + 4 * a)});
      }
      for (uint32_t l = 0; l < 5; ++l) {
        procedure.m_locals.push_back(CvVariable{.m_storage = CvStorage::FrameRelative,
                                                .m_name = Numbered("local", l),
                                                .m_type = 0x0074,
                                                .m_frameOffset = -4 * static_cast<int32_t>(l + 1)});
      }
      procedure.m_locals.push_back(
          CvVariable{.m_storage = CvStorage::Register, .m_name = "cursor", .m_type = 0x0474, .m_register = 20});
      procedure.m_labels.push_back(CvLabel{.m_name = Numbered("again", serial), .m_offset = offset + 0x20});
      module.m_symbols.push_back(procedure);
      for (uint32_t line = 0; line < 4; ++line) {
        source.m_segments[0].m_lines.push_back(
            CvLine{.m_offset = offset + line * 0x40, .m_line = static_cast<uint16_t>(10 * p + line + 1)});
      }
      program.m_globals.emplace_back(std::in_place_type<CvReference>, true, static_cast<uint16_t>(m + 1),
                                     procedure.m_name);
    }
    module.m_sourceFiles = {source};
    program.m_modules.push_back(module);
    program.m_globals.push_back(CvVariable{.m_storage = CvStorage::GlobalData,
                                           .m_name = "_" + Numbered("global", m),
                                           .m_type = structures[m % structures.size()],
                                           .m_offset = 0x100000 + m * 16});
  }
  return program;
}

// The large file, written once, and a viewpoint whose symbol context the loads use.
class LargeSymbolFile {
 public:
  explicit LargeSymbolFile(const char* fileName) {
    m_path = (std::filesystem::temp_directory_path() / fileName).string();
    const std::vector<uint8_t> bytes = WriteCodeView(LargeProgram(), CvVariant::NB09);
    std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));
    m_size = bytes.size();
    InstallTargetServices();
    InstallLoaderLibrary();
    InstallCodeViewReader();
    TmiAddKnownViewpoint(kViewpoint);
    ViewpointManager::AddViewpoint(ViewpointHandle(kViewpoint));
    PushViewpoint(ViewpointHandle(kViewpoint));
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
    PopViewpoint();
    SetBaseViewpoint(ViewpointHandle(kViewpoint));
  }
  ~LargeSymbolFile() { std::filesystem::remove(m_path); }

  const std::string& Path() const { return m_path; }
  size_t Size() const { return m_size; }

 private:
  std::string m_path;
  size_t m_size = 0;
};

// The median of five runs of `body`, in seconds.
template <typename Body>
double MedianSeconds(Body&& body) {
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Runs the benchmarks the command line asks for, then `after` (the printed ratio).
template <typename After>
int RunBenchmarksThen(int argc, char** argv, After&& after) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  after();
  benchmark::Shutdown();
  return 0;
}

}  // namespace zentor::bench
