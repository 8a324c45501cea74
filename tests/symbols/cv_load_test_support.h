#pragma once
// Scaffolding of the CodeView loader tests: a viewpoint with a symbol context of the
// loader library, symbol files written by the fixture writer into a scratch
// directory and loaded through the load driver as the target interface loads them,
// every deferred module forced, and a readable dump of what the symbol table then
// holds (every chain and type through the dump utility, and each module's range,
// lines and procedures).

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "symbols/cv_loader.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/search_path.h"
#include "symbols/source_files.h"
#include "symbols/symbol_context.h"
#include "symbols/type_translation.h"
#include "vst_dump.h"
#include "codeview/cv_fixture.h"
#include "core/core_test_support.h"
#include "harness/transcript.h"
#include "harness/session/symbol_session.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_counter.h"
#include "core/viewpoint_manager.h"
#include "platform/user_break.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "target/tmi_viewpoint.h"

namespace zentor::testing_support {

using CvLoadOutcome = SymbolLoadOutcome;

inline std::string CvHex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

// The dump without the primitive types that are null (most of the 4096), which say
// nothing about the file.
inline std::string DumpWithoutNullPrimitives(const std::string& dump) {
  static const std::regex kNullPrimitive("^#([0-9]+) @[0-9a-f]+ null size 0 code 0 name - ref none qualifier 0$");
  std::istringstream lines(dump);
  std::string kept;
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch match;
    if (std::regex_match(line, match, kNullPrimitive)) {
      const unsigned long index = std::stoul(match[1].str());
      if (index >= 2 && index <= 0x1001) continue;
    }
    kept += line + "\n";
  }
  return kept;
}

class CvLoadTest : public CoreTestEnvironment {
 protected:
  static constexpr uint32_t kViewpoint = 0xC0DE0001u;
  static constexpr uint32_t kCodeBase = 0x00400000u;
  static constexpr uint32_t kDataBase = 0x00800000u;

  void SetUp() override {
    CoreTestEnvironment::SetUp();
    *GetGlobalSearchPath() = RWCString();
    GetDefaultSymbolContext()->SourcePathList() = RWCString();
    InstallLoaderLibrary();
    InstallCodeViewReader();
    TmiSetServerSymbolsLoaded(0);
    ProgramCounterRegister::InstallReader(nullptr);
    SetViewSymbols(0);
    platform::TakeUserBreak();
    ResetSymbolLoad();
    LoadableRegistry::Instance().TakeReset();
    AddViewpoint(kViewpoint);
    PushViewpoint(ViewpointHandle(kViewpoint));
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
    PopViewpoint();
    SetBaseViewpoint(ViewpointHandle(kViewpoint));
  }

  void TearDown() override {
    ResetSymbolLoad();
    ResetViewpointStack();
    SymbolContext* context = ViewpointManager::SymbolContextOf(ViewpointHandle(kViewpoint));
    PushViewpoint(ViewpointHandle(kViewpoint));
    ViewpointManager::SetCurrentSymbolContext(nullptr);
    PopViewpoint();
    if (context != nullptr && context != GetDefaultSymbolContext()) delete context;
    LoadableRegistry::Instance().ClearAll();
    TmiSetServerSymbolsLoaded(0);
    SetViewSymbols(0);
    platform::TakeUserBreak();
    CoreTestEnvironment::TearDown();
  }

  // The target interface's viewSymbols option.
  static void SetViewSymbols(uint32_t level) {
    const std::string value = std::to_string(level);
    const char* arguments[] = {"-viewSymbols", value.c_str(), nullptr};
    TargetStatus status;
    uint32_t result = 0;
    TmiHandleOption(&status, 0, 0, arguments, &result);
  }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = m_scratch.File(name);
    m_scratch.Write(name, std::string(bytes.begin(), bytes.end()));
    return path;
  }

  // Loads a file as the target interface loads a server module's symbols: reset,
  // load, finish.
  CvLoadOutcome Load(const std::string& path, uint32_t codeBase = kCodeBase, uint32_t dataBase = kDataBase) {
    return LoadSymbols(path, codeBase, dataBase);
  }

  // Asks for every module that still waits for its symbols, as the symbol tables do
  // when they first need it; the last message reported meanwhile (0 for none), or the
  // number of an error raised.
  uint32_t ForceDeferredModules() { return testing_support::ForceDeferredModules(); }

  // The CodeView loader the driver made for the file loaded last.
  static CodeViewLoader* LastLoader() {
    auto* loadable = dynamic_cast<FileLoadable*>(CurrentLoadable());
    return loadable != nullptr ? dynamic_cast<CodeViewLoader*>(loadable->Symbolics()) : nullptr;
  }

  static PageCache& Cache() { return GetCurrentSymbolContext()->Cache(); }

  // Each module: name, range, main source, the sorted line table and the procedures.
  static std::string ModuleText() {
    LoaderState& loader = CurrentLoaderState();
    std::string text;
    for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
      ModuleDescriptor& module = *loader.ModuleById(id);
      text += "module " + std::string(module.NameText().data()) + " start " + AddressText(module.Start()) +
              " extent " + CvHex(module.Extent().Low()) + " main " + SourceText(module.MainSource()) +
              (module.HasDeferredToken() ? " deferred" : "") + "\n";
      LineTable& lines = module.Lines();
      for (uint32_t i = 0; i < lines.Count(); ++i) {
        const LineAddressEntry& entry = lines.EntryAt(i);
        text += "  +" + CvHex(entry.Offset().Low()) + " " + (entry.HasLine() ? SourceText(entry.Source()) : "end") +
                "\n";
      }
      loader.ForEachProcedure(module, [&](const ProcedureSpan& procedure) {
        text += "  procedure " + std::string(procedure.m_name.NameText(Cache()).data()) + " " +
                AddressText(procedure.m_first) + ".." + AddressText(procedure.m_last) + "\n";
        return true;
      });
    }
    return text;
  }

  // The whole symbol table: chains, types, modules.
  static std::string Dump() {
    LoaderState& loader = CurrentLoaderState();
    VstDumpSource source;
    source.m_cache = &Cache();
    source.m_globalChain = loader.GlobalChainHead();
    for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
      const ModuleDescriptor& module = *loader.ModuleById(id);
      source.m_modules.emplace_back(module.NameText().data(), module.FirstRecord());
    }
    source.m_types = &loader.Types();
    return DumpVst(source) + "== modules\n" + ModuleText();
  }

  static std::string AddressText(const AddressDescriptor& address) {
    return address.IsNull() ? "null" : address.Text().data();
  }

  static std::string SourceText(const SourceFileRef& ref) {
    if (!ref.HasFile()) return "-";
    return std::string(SourceFileNameOf(ref).data()) + "#" + std::to_string(ref.Line());
  }

  ScratchDirectory m_scratch{"cvload"};
};

}  // namespace zentor::testing_support
