#pragma once
// Shared scaffolding of the core tests: a scripted window system standing in for the
// console backend (focus window, window types, message boxes and beeps recorded), a
// capture of the command output, and a clean viewpoint state per test.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/message_table.h"
#include "core/startup_settings_words.h"
#include "core/target_interface.h"
#include "core/target_status.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "console/output_writer.h"
#include "target/tmi_viewpoint.h"

namespace zentor::testing_support {

struct ShownMessageBox {
  int32_t owner;
  uint32_t kind;
  std::string text;
};

// A window system with one scripted focus window.
class ScriptedWindows : public WindowLayerBackend {
 public:
  int32_t GetFocusWindow() override { return m_focus; }
  int32_t GetWindowType(int32_t id) override {
    auto it = m_types.find(id);
    return it == m_types.end() ? -1 : it->second;
  }
  int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char*) override {
    m_boxes.push_back({owner, kind, text});
    return kMessageBoxAnswerOk;
  }
  void Beep() override { ++m_beeps; }

  // Gives the focus to a window of that type (id 7); -1 takes the focus away.
  void FocusWindowOfType(int32_t type) {
    if (type < 0) {
      m_focus = -1;
      return;
    }
    m_focus = 7;
    m_types[7] = type;
  }

  int32_t m_focus = -1;
  std::map<int32_t, int32_t> m_types;
  std::vector<ShownMessageBox> m_boxes;
  int m_beeps = 0;
};

// Installs the scripted windows and an output capture for the life of a test, and
// starts from no viewpoint, no batch mode and no last error.
class CoreTestEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previousBackend = WindowLayer::SetBackend(&m_windows);
    OutputWriter::Reset();
    OutputWriter::InstallHook([this](char c) { m_output.push_back(c); });
    GetStartupSettingsWords().m_batch = 0;
    ViewpointManager::RemoveAllViewpoints();
    TmiClearKnownViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
    LastError() = DVError(0, 0, kDisplayByFocus);
  }

  void TearDown() override {
    OutputWriter::RemoveHook();
    WindowLayer::SetBackend(m_previousBackend);
    GetStartupSettingsWords().m_batch = 0;
    ViewpointManager::RemoveAllViewpoints();
    TmiClearKnownViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
  }

  // A viewpoint the target knows and the GUI has a record of; returns its index. The
  // tests push the viewpoints they work in, so the first one added does not stay the
  // base as it would in the program.
  int32_t AddViewpoint(uint32_t value, const char* alias = nullptr) {
    TmiAddKnownViewpoint(value);
    int32_t index = ViewpointManager::AddViewpoint(ViewpointHandle(value));
    if (alias != nullptr) ViewpointManager::SetAlias(index, alias);
    ViewpointManager::SelectIfNeeded(-1, false);
    return index;
  }

  std::string TakeOutput() {
    std::string out;
    out.swap(m_output);
    return out;
  }

  ScriptedWindows m_windows;
  std::string m_output;
  WindowLayerBackend* m_previousBackend = nullptr;
};

// For its life, a target that refuses to select the given viewpoint (message 251)
// and leaves every other operation to the target installed before it.
class RefusedViewpointSelect final : public TargetInterface {
 public:
  explicit RefusedViewpointSelect(uint32_t refused)
      : m_refused(refused), m_before(&InstalledTarget()), m_installedBefore(InstallTargetInterface(this)) {}
  ~RefusedViewpointSelect() override { InstallTargetInterface(m_installedBefore); }
  RefusedViewpointSelect(const RefusedViewpointSelect&) = delete;
  RefusedViewpointSelect& operator=(const RefusedViewpointSelect&) = delete;

  uint32_t SelectViewpoint(TargetStatus* status, uint32_t value) override {
    if (value != m_refused) return m_before->SelectViewpoint(status, value);
    ++m_refusals;
    status->m_number = kMsgViewpointNotValid;
    status->m_severity = kSeverityError;
    status->m_argumentCount = 0;
    return 1;
  }
  // The rest as the target before it answers.
  uint32_t CreateAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                         const AddressSpecification* specification) override {
    return m_before->CreateAddress(status, viewpoint, out, specification);
  }
  uint32_t CreatePointerAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                                uint32_t targetTypeId, const uint32_t* offset) override {
    return m_before->CreatePointerAddress(status, viewpoint, out, targetTypeId, offset);
  }
  uint32_t AddOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                     const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh) override {
    return m_before->AddOffset(status, viewpoint, out, source, countLow, countHigh);
  }
  uint32_t SubtractOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                          const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh) override {
    return m_before->SubtractOffset(status, viewpoint, out, source, countLow, countHigh);
  }
  uint32_t AddressDifference(TargetStatus* status, uint32_t viewpoint, uint64_t* difference,
                             const TargetAddressRecord* a, const TargetAddressRecord* b) override {
    return m_before->AddressDifference(status, viewpoint, difference, a, b);
  }
  uint32_t CheckAddressClass(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                             uint32_t addressClass, uint32_t* flag) override {
    return m_before->CheckAddressClass(status, viewpoint, record, addressClass, flag);
  }
  uint32_t CompareAddresses(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* a,
                            const TargetAddressRecord* b, uint32_t* relation, uint32_t* notComparable) override {
    return m_before->CompareAddresses(status, viewpoint, a, b, relation, notComparable);
  }
  uint32_t AddressToText(TargetStatus* status, uint32_t viewpoint, const char** text,
                         const TargetAddressRecord* record) override {
    return m_before->AddressToText(status, viewpoint, text, record);
  }
  uint32_t IsZeroAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                         uint32_t* flag) override {
    return m_before->IsZeroAddress(status, viewpoint, record, flag);
  }
  uint32_t AddressOffset(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                         uint32_t* offset) override {
    return m_before->AddressOffset(status, viewpoint, record, offset);
  }
  uint32_t AddressSpace(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                        TargetAddressSpace* space) override {
    return m_before->AddressSpace(status, viewpoint, record, space);
  }
  uint32_t IsRegisterAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                             uint32_t* flag) override {
    return m_before->IsRegisterAddress(status, viewpoint, record, flag);
  }
  uint32_t SameViewpoint(TargetStatus* status, uint32_t unused, uint32_t a, uint32_t b, uint32_t* result) override {
    return m_before->SameViewpoint(status, unused, a, b, result);
  }
  uint32_t ViewpointToText(TargetStatus* status, uint32_t unused, uint32_t value, const char** text) override {
    return m_before->ViewpointToText(status, unused, value, text);
  }
  uint32_t ViewpointFromText(TargetStatus* status, uint32_t unused, const char* text, uint32_t* value) override {
    return m_before->ViewpointFromText(status, unused, text, value);
  }
  uint32_t GetTargetDescription(TargetStatus* status, uint32_t viewpoint, TargetDescription* description) override {
    return m_before->GetTargetDescription(status, viewpoint, description);
  }
  uint32_t Notify(TargetStatus* status, uint32_t viewpoint, uint32_t code, const char* text) override {
    return m_before->Notify(status, viewpoint, code, text);
  }
  uint32_t HandleOption(TargetStatus* status, uint32_t viewpoint, uint32_t unused, const char* const* argumentSlot,
                        uint32_t* result) override {
    return m_before->HandleOption(status, viewpoint, unused, argumentSlot, result);
  }
  uint32_t Disconnect(TargetStatus* status, uint32_t viewpoint) override {
    return m_before->Disconnect(status, viewpoint);
  }

  int m_refusals = 0;

 private:
  uint32_t m_refused;
  TargetInterface* m_before;
  TargetInterface* m_installedBefore;
};

// A watcher of one kind of change, registered for the life of the object.
class ChangeWatch {
 public:
  explicit ChangeWatch(uint32_t kind) : m_record(kind) { m_record.Register(); }
  bool Changed() { return m_record.TestAndClearChanged() != 0; }

 private:
  CollectableRecord m_record;
};

// The error a body throws; fails the test when it throws none.
template <typename Body>
DVError ErrorThrownBy(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error;
  }
  ADD_FAILURE() << "no DVError was thrown";
  return DVError();
}

}  // namespace zentor::testing_support
