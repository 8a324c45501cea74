#include "target/tmi_session.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace zentor {
namespace {

constexpr uint32_t kMsgOptionNeedsArgument = 90;
constexpr uint32_t kSeverityFatal = 6;

const TargetVersionBlock kVersionBlock = {"", "Zentor", "2.03", "", "", 0};

const TargetTypeRow kTypeTable[] = {
    {0x13, 4, 0, "<invalid>"}, {0x14, 4, 0, "pointer"},   {0x15, 0, 0, "<invalid>"},
    {0x16, 0, 0, "<invalid>"}, {0x17, 0, 0, "<invalid>"}, {0x18, 0, 0, "<invalid>"},
    {0x19, 0, 0, "<invalid>"}, {0x1A, 0, 0, "<invalid>"}, {0x1B, 4, 0, "register"},
    {kTargetTypeTableEnd, 0, 0, "<invalid>"},
};

struct OptionState {
  TmiOptionSettings settings;
  std::string linkName = "COM1";
  // The argument of a status 90: the option's name (stable until the next option).
  std::string failedOption;
  const char* failedArguments[1] = {nullptr};
};

OptionState& Options() {
  static OptionState state;
  return state;
}

uint32_t DecimalValue(const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 10)); }

void OptionBaud(const char* value) {
  static constexpr uint32_t kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
  uint32_t rate = DecimalValue(value);
  Options().settings.m_baudRate = 0;
  for (uint32_t known : kRates) {
    if (rate == known) Options().settings.m_baudRate = rate;
  }
}

void OptionLink(const char* value) {
  Options().linkName = value;
  Options().settings.m_linkName = Options().linkName.c_str();
}

void OptionViewSymbols(const char* value) { Options().settings.m_viewSymbols = DecimalValue(value); }
void OptionUnicode(const char*) { Options().settings.m_unicode = 1; }
void OptionEval(const char*) { Options().settings.m_eval = 1; }

struct OptionRow {
  const char* name;
  bool takesValue;
  void (*handler)(const char* value);
};

constexpr OptionRow kOptionTable[] = {
    {"baud", true, &OptionBaud},          {"ip", true, &OptionLink},       {"port", true, &OptionLink},
    {"viewSymbols", true, &OptionViewSymbols}, {"unicode", false, &OptionUnicode}, {"eval", false, &OptionEval},
};

}  // namespace

uint32_t TmiGetTargetDescription(TargetStatus* status, uint32_t, TargetDescription* description) {
  description->m_versionBlock = &kVersionBlock;
  description->m_targetName = 0;
  description->m_typeTable = kTypeTable;
  description->m_secondTable = nullptr;
  description->m_computed = 0;
  status->m_number = 0;
  return 0;
}

uint32_t TmiNotify(TargetStatus* status, uint32_t, uint32_t, const char*) {
  status->m_number = 0;
  return 0;
}

uint32_t TmiHandleOption(TargetStatus* status, uint32_t, uint32_t, const char* const* argumentSlot,
                         uint32_t* result) {
  *result = kTmiOptionUnknown;
  status->m_number = 0;
  if (argumentSlot == nullptr || argumentSlot[0] == nullptr || argumentSlot[0][0] == '\0') return 0;
  const char* name = argumentSlot[0] + 1;
  for (const OptionRow& row : kOptionTable) {
    if (std::strcmp(row.name, name) != 0) continue;
    *result = kTmiOptionTakenAlone;
    const char* value = nullptr;
    if (row.takesValue) {
      value = argumentSlot[1];
      if (value == nullptr || value[0] == '\0' || value[0] == '-' || value[0] == '/') {
        OptionState& state = Options();
        state.failedOption = name;
        state.failedArguments[0] = state.failedOption.c_str();
        status->m_number = kMsgOptionNeedsArgument;
        status->m_severity = kSeverityFatal;
        status->m_argumentCount = 1;
        status->m_arguments = state.failedArguments;
        return status->m_number;
      }
      *result = kTmiOptionTakenWithValue;
    }
    row.handler(value);
    return 0;
  }
  return 0;
}

uint32_t TmiDisconnect(TargetStatus* status, uint32_t) {
  status->m_number = 0;
  return 0;
}

// Without a link there is nothing the target could still need: the session always
// ends.
uint32_t TmiEndSession(TargetStatus* status, uint32_t* declined) {
  *declined = 0;
  status->m_number = 0;
  return 0;
}

const TmiOptionSettings& TmiOptions() { return Options().settings; }

}  // namespace zentor
