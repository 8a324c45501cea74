#include "target/server_listings.h"

#include "target/agent_requests.h"

#include "console/output_writer.h"

#include <cstdint>

namespace zentor {
namespace {

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

struct ScreenModeRow {
  uint16_t mode;
  const char* text;
};
constexpr ScreenModeRow kScreenModes[] = {{0x00, "TTY"}, {0x01, "80X25"}, {0x02, "80X43"}, {0x03, "80X50"},
                                          {0x0D, "D"},   {0x0E, "E"},     {0x0F, "F"},     {0x10, "10"},
                                          {0x11, "11"},  {0x12, "12"},    {0x13, "13"}};

// What a process waits for, the worker list first, then the lowest wait bit.
const char* WaitSuffix(const ProcessRecord& record) {
  static constexpr const char* kWaitTexts[] = {" (Wait for Semaphore)\n", " (Wait for Interrupt)\n",
                                               " (Wait in Handicapped)\n", " (Wait in WorkToDo)\n",
                                               " (Wait in FastWorkToDo)\n"};
  if (record.m_workerListFlag != 0) return " (On WorkerThreadAvailList)\n";
  for (uint32_t bit = 0; bit < 5; ++bit) {
    if ((record.m_waitBits >> bit) & 1u) return kWaitTexts[bit];
  }
  return nullptr;
}

const char* ScreenModeText(uint16_t mode) {
  for (const ScreenModeRow& row : kScreenModes) {
    if (row.mode == mode) return row.text;
  }
  return "Unknown";
}

// The frame of every listing: the list, the header, the entries in list order and a
// fresh line. An entry whose record request the agent refuses prints an empty record
// (the refusal is printed before it). A link that fails ends the listing there: every
// further entry would wait out twenty sends only to print zeros as if they were
// the server's.
template <typename PrintEntry>
void ListEntries(uint8_t kind, const char* header, PrintEntry printEntry) {
  AgentList list;
  uint32_t count = 0;
  if (AgentGetList(kind, &count, &list) != 0) return;
  if (header != nullptr) OutputWriter::Printf(header);
  for (uint32_t i = 0; i < count; ++i) {
    if (printEntry(list[i]) == kLinkFailureStatus) break;
  }
  OutputWriter::FreshLine();
}

void ListProcesses(uint8_t kind, const char* header, bool showAll) {
  ListEntries(kind, header, [showAll](uint32_t id) {
    ProcessRecord record;
    const uint32_t status = AgentGetProcessInfo(id, &record);
    if (status == kLinkFailureStatus) return status;
    const char* suffix = WaitSuffix(record);
    if (!showAll && suffix == nullptr) return status;
    OutputWriter::Printf("%08lx  %s", id, record.m_name);
    OutputWriter::Printf(suffix != nullptr ? suffix : "\n");
    return status;
  });
}

}  // namespace

void ListAllProcesses() {
  ListRunningProcesses();
  ListWaitingProcesses();
}

void ListRunningProcesses() { ListProcesses(kAgentListRunningProcesses, "Running processes:\n", true); }

void ListWaitingProcesses() { ListProcesses(kAgentListWaitingProcesses, "Processes not on the run queue:\n", false); }

// A month above 12 has no name: its number is shown in its place.
void ListServerModules() {
  ListEntries(kAgentListModules, nullptr, [](uint32_t handle) {
    ModuleRecord record;
    const uint32_t status = AgentGetModuleInfo(handle, &record);
    if (status == kLinkFailureStatus) return status;
    OutputWriter::Printf("%s      %s\n", record.m_name, record.m_description);
    OutputWriter::Printf("  Version %ld.%02ld%lc", record.m_majorVersion, record.m_minorVersion, record.m_revision);
    if (record.m_month == 0) {
      OutputWriter::Printf("\n");
    } else if (record.m_month <= 12) {
      OutputWriter::Printf("    %s %ld, %ld\n", kMonthNames[record.m_month - 1], record.m_day, record.m_year);
    } else {
      OutputWriter::Printf("    %ld %ld, %ld\n", record.m_month, record.m_day, record.m_year);
    }
    OutputWriter::Printf("  Code Address: %08lx  Length: %08lx\n", record.m_codeAddress, record.m_codeLength);
    OutputWriter::Printf("  Data Address: %08lx  Length: %08lx\n", record.m_dataAddress, record.m_dataLength);
    return status;
  });
}

void ListScreens() {
  ListEntries(kAgentListScreens, nullptr, [](uint32_t id) {
    ScreenRecord record;
    const uint32_t status = AgentGetScreenInfo(id, &record);
    if (status == kLinkFailureStatus) return status;
    OutputWriter::Printf("%08lx  %s", id, record.m_name);
    if (record.m_keyboardThread == 0) {
      OutputWriter::Printf(" (Not active)\n");
    } else {
      ProcessRecord waiting;
      if (AgentGetProcessInfo(record.m_keyboardThread, &waiting) == kLinkFailureStatus) return kLinkFailureStatus;
      OutputWriter::Printf(" ('%s' thread is waiting on keyboard)\n", waiting.m_name);
    }
    OutputWriter::Printf("          Type ahead buffer count: %d", record.m_typeAheadCount);
    OutputWriter::Printf("  Mode: %s", ScreenModeText(record.m_videoMode));
    OutputWriter::Printf("\n          Screen buffer address: %08lx\n", record.m_bufferAddress);
    return status;
  });
}

}  // namespace zentor
