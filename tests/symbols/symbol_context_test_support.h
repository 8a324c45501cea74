#pragma once
// Shared scaffolding of the symbol-context, search-path and source-file tests: a clean
// viewpoint, search-path, status-line and value-stack state per test, the captured
// command output, viewpoints that own a symbol context, and a scratch directory tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "symbols/symbol_context.h"
#include "core/collectable_record.h"
#include "core/core_test_support.h"
#include "core/status_line.h"
#include "core/stop_report.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"
#include "platform/file_system.h"
#include "platform/path_adapter.h"

namespace zentor::testing_support {

inline std::string Text(const RWCString& text) { return std::string(text.data(), text.length()); }

inline void ResetSymbolContextState() {
  *GetGlobalSearchPath() = RWCString();
  GetDefaultSymbolContext()->SourcePathList() = RWCString();
  BrowseHistory::Clear();
  ClearLastStopText();
  SetStatusText("");
  platform::ClearDriveMap();
  ValueStack::Reset();
}

class SymbolContextEnvironment : public CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    m_loaderStateFactory = InstalledLoaderStateFactory();
    m_typeDescriptionFactory = InstalledTypeDescriptionFactory();
    ResetSymbolContextState();
  }
  void TearDown() override {
    ResetViewpointStack();
    ResetSymbolContextState();
    m_viewpointContexts.clear();
    RestoreFactories();
    CoreTestEnvironment::TearDown();
  }

  // The makers of shared parts as they were when the test began.
  void RestoreFactories() {
    SetLoaderStateFactory(m_loaderStateFactory);
    SetTypeDescriptionFactory(m_typeDescriptionFactory);
  }

  // A viewpoint with a symbol context of its own, made current; the context.
  SymbolContext& MakeViewpointWithContext(uint32_t value) {
    AddViewpoint(value);
    PushViewpoint(ViewpointHandle(value));
    m_viewpointContexts.push_back(SymbolContext::CreateForViewpoint());
    SetCurrentSymbolContext_Checked(m_viewpointContexts.back().get());
    return *m_viewpointContexts.back();
  }

  std::vector<std::unique_ptr<SymbolContext>> m_viewpointContexts;
  LoaderStateFactory m_loaderStateFactory = nullptr;
  TypeDescriptionFactory m_typeDescriptionFactory = nullptr;
};

// A fresh directory tree under the temporary directory, removed with its contents.
class ScratchTree {
 public:
  ScratchTree() {
    m_marker = platform::CreateTemporaryFile("zsf");
    EXPECT_FALSE(m_marker.empty());
    m_root = std::filesystem::path(m_marker + ".d");
    std::filesystem::create_directories(m_root);
  }
  ~ScratchTree() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
    platform::RemoveFile(m_marker);
  }
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  // Writes a file (making its directories); its host path.
  std::string Write(const std::string& relative, const std::string& text) const {
    const std::filesystem::path path = m_root / std::filesystem::path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  void Remove(const std::string& relative) const {
    std::error_code ignored;
    std::filesystem::remove(m_root / std::filesystem::path(relative), ignored);
  }
  std::string Root() const { return m_root.string(); }

 private:
  std::string m_marker;
  std::filesystem::path m_root;
};

// A host path as a user on Windows writes it: backslashes, upper case, and on POSIX
// an unmapped drive letter in front (which stands for the root).
inline std::string ForeignSpelling(const std::string& hostPath) {
  std::string text = hostPath;
  std::replace(text.begin(), text.end(), '/', '\\');
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return platform::HostPathStyle() == platform::PathStyle::Posix ? "c:" + text : text;
}

}  // namespace zentor::testing_support
