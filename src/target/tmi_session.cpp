#include "target/tmi_session.h"

#include <cstring>
#include <string>

#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/breakpoint_slots.h"
#include "target/register_model.h"
#include "target/target_gui.h"
#include "target/target_keywords.h"
#include "target/target_state.h"
#include "target/tmi_connect.h"
#include "target/tmi_memory.h"
#include "core/current_viewpoint.h"
#include "core/window_layer.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgOptionNeedsArgument = 90;
constexpr uint32_t kSeverityFatal = 6;
constexpr uint32_t kNoViewpoint = 0xFFFFFFFFu;
constexpr uint32_t kProcessorOptionBit = 0x10;
constexpr uint32_t kPollIntervalMilliseconds = 10;

// The product record the About box shows; the version is the build's. It has no
// further text.
const TargetVersionBlock kVersionBlock = {"The Zentor developers", "Zentor", ZENTOR_VERSION_TEXT,
                                          "A source-level remote debugger for NetWare server modules, "
                                          "connected to its debug agent over a serial line or UDP.",
                                          nullptr, 0};

// Rows {id, size, the high half of the flags word, name}.
const TargetTypeRow kTypeTable[] = {
    {0x13, 4, 0, "<invalid>"},   {0x14, 4, 0xA, "pointer"},   {0x15, 0, 0, "<invalid>"},
    {0x16, 0, 0, "<invalid>"},   {0x17, 0, 0, "<invalid>"},   {0x18, 0, 0, "<invalid>"},
    {0x19, 0, 0, "<invalid>"},   {0x1A, 0, 0, "<invalid>"},   {0x1B, 4, 0x6, "register"},
    {kTargetTypeTableEnd, 0, 0, "<invalid>"},
};

struct OptionState {
  TmiOptionSettings settings;
  std::string linkName = "COM1";
  uint32_t processorWord = 0;
  // The argument of a status 90: the option's name (stable until the next option).
  std::string failedOption;
  const char* failedArguments[1] = {nullptr};
};

OptionState& Options() {
  static OptionState state;
  return state;
}

// A decimal number the whole value spells; false for anything else (no digits,
// a sign, trailing characters, more than 32 bits).
bool DecimalValue(const char* text, uint32_t* value) {
  uint64_t parsed = 0;
  if (*text == '\0') return false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    parsed = parsed * 10 + static_cast<uint32_t>(*p - '0');
    if (parsed > 0xFFFFFFFFull) return false;
  }
  *value = static_cast<uint32_t>(parsed);
  return true;
}

bool TmiOptionBaud(const char* value) {
  static constexpr uint32_t kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
  uint32_t rate = 0;
  if (!DecimalValue(value, &rate)) return false;
  for (uint32_t known : kRates) {
    if (rate == known) {
      Options().settings.m_baudRate = rate;
      return true;
    }
  }
  return false;
}

bool TmiOptionLink(const char* value) {
  Options().linkName = value;
  Options().settings.m_linkName = Options().linkName.c_str();
  return true;
}

bool TmiOptionViewSymbols(const char* value) { return DecimalValue(value, &Options().settings.m_viewSymbols); }
bool TmiOptionUnicode(const char*) {
  Options().settings.m_unicode = 1;
  return true;
}
bool TmiOptionEval(const char*) {
  Options().settings.m_eval = 1;
  return true;
}

struct OptionRow {
  const char* name;
  bool takesValue;
  // False when the value is not one the option can take.
  bool (*handler)(const char* value);
};

constexpr OptionRow OptionTable[] = {
    {"baud", true, &TmiOptionBaud},          {"ip", true, &TmiOptionLink},       {"port", true, &TmiOptionLink},
    {"viewSymbols", true, &TmiOptionViewSymbols}, {"unicode", false, &TmiOptionUnicode}, {"eval", false, &TmiOptionEval},
};

uint32_t FailOption(TargetStatus* status, const char* name) {
  OptionState& state = Options();
  state.failedOption = name;
  state.failedArguments[0] = state.failedOption.c_str();
  status->m_number = kMsgOptionNeedsArgument;
  status->m_severity = kSeverityFatal;
  status->m_argumentCount = 1;
  status->m_arguments = state.failedArguments;
  return status->m_number;
}

struct PollTimer {
  int32_t id = -1;
};

PollTimer& Timer() {
  static PollTimer timer;
  return timer;
}

void PollTimerTick() { TmiPollEvents(GetCurrentViewpointValue()); }

}  // namespace

uint32_t TmiGetTargetDescription(TargetStatus* status, uint32_t, TargetDescription* description) {
  description->m_versionBlock = &kVersionBlock;
  description->m_targetName = 0;
  description->m_typeTable = kTypeTable;
  description->m_secondTable = TmiBreakpointTypeTable();
  description->m_registerTable = GetRegisterTable();
  status->m_number = 0;
  return 0;
}

const char* TmiProductName() { return kVersionBlock.m_productName; }

uint32_t TmiNotify(TargetStatus* status, uint32_t, uint32_t code, const char*) {
  if (code == kTmiNotifyAddKeywords) AddTargetKeywords();
  if (code == kTmiNotifyConnect) TmiConnect();
  status->m_number = 0;
  return 0;
}

uint32_t TmiHandleOption(TargetStatus* status, uint32_t, uint32_t, const char* const* argumentSlot,
                         uint32_t* result) {
  *result = kTmiOptionUnknown;
  status->m_number = 0;
  if (argumentSlot == nullptr || argumentSlot[0] == nullptr || argumentSlot[0][0] == '\0') return 0;
  const char* name = argumentSlot[0] + 1;
  for (const OptionRow& row : OptionTable) {
    if (std::strcmp(row.name, name) != 0) continue;
    *result = kTmiOptionTakenAlone;
    const char* value = nullptr;
    if (row.takesValue) {
      value = argumentSlot[1];
      if (value == nullptr || value[0] == '\0' || value[0] == '-' || value[0] == '/') return FailOption(status, name);
      *result = kTmiOptionTakenWithValue;
    }
    if (!row.handler(value)) return FailOption(status, name);
    return 0;
  }
  return 0;
}

uint32_t TmiDisconnect(TargetStatus* status, uint32_t) {
  if (TheAgentLink().IsOpen()) {
    if (Options().settings.m_eval == 0) AgentEnd();
    CloseLink();
  }
  StopPollTimer();
  return TmiSetStatus(status, kNoViewpoint, 0);
}

uint32_t TmiEndSession(TargetStatus* status, uint32_t* declined) {
  *declined = 0;
  if (TgtProcessorCount() != 0) {
    TargetGui& gui = InstalledTargetGui();
    gui.PushArrowCursor();
    StopPollTimer();
    const int32_t answer =
        WindowLayer::ShowMessageBox(-1, kMessageBoxOkCancel, "This will end your debug session.", TmiProductName());
    StartPollTimer();
    gui.PopCursor();
    *declined = answer == kMessageBoxAnswerOk ? 0 : 1;
  }
  return TmiSetStatus(status, kNoViewpoint, 0);
}

uint32_t TmiSelectProcessor(TargetStatus* status, uint32_t on) {
  uint32_t& word = Options().processorWord;
  word = on != 0 ? (word | kProcessorOptionBit) : (word & ~kProcessorOptionBit);
  AgentSelectProcessor(word);
  status->m_number = 0;
  return 0;
}

uint32_t TmiProcessorOptionSet() { return (Options().processorWord & kProcessorOptionBit) != 0 ? 1 : 0; }

const TmiOptionSettings& TmiOptions() { return Options().settings; }

std::string& TmiLinkName() { return Options().linkName; }

uint32_t& TmiProcessorWord() { return Options().processorWord; }

void StartPollTimer() {
  PollTimer& timer = Timer();
  if (timer.id < 0) timer.id = InstalledTargetGui().SetTimer(kPollIntervalMilliseconds, &PollTimerTick);
}

void StopPollTimer() {
  PollTimer& timer = Timer();
  if (timer.id >= 0) InstalledTargetGui().KillTimer(timer.id);
  timer.id = -1;
}

bool PollTimerRunning() { return Timer().id >= 0; }

void ResetTmiOptions() {
  Options() = OptionState{};
  Options().settings.m_linkName = Options().linkName.c_str();
}

}  // namespace zentor
