// The made-up parts of the stand-in server: processes with every kind of wait, screens
// in several modes, and the server's own modules. Listings of the debugger are tested
// against these.
#include "server_model.h"

namespace zentor::agent {

const std::vector<ProcessEntry>& BuiltInProcesses() {
  static const std::vector<ProcessEntry> processes = {
      {0x00D40C20, "Server 00", true, 0x00, 0},
      {0x00D41A80, "Console Command", true, 0x00, 0},
      {0x00D42400, "Sample Main", true, 0x00, 0},
      {0x00D43300, "Server 01", false, 0x00, 1},
      {0x00D44100, "RSPX Process", false, 0x01, 0},
      {0x00D44B60, "Timer Process", false, 0x02, 0},
      {0x00D45520, "Cache Update", false, 0x0C, 0},
      {0x00D45D80, "Disk Process", false, 0x08, 0},
      {0x00D46000, "Polling Process", false, 0x10, 0},
      {0x00D46A40, "Sleeping Thread", false, 0x00, 0},
      {0x00D47400, "Remote Worker", false, 0x09, 1},
  };
  return processes;
}

const std::vector<ScreenEntry>& BuiltInScreens() {
  static const std::vector<ScreenEntry> screens = {
      {0x00C91000, "System Console", 0, 0x01, 0x000B8000, 0x00D41A80},
      {0x00C92000, "Zentor Sample", 3, 0x03, 0x000B9000, 0},
      {0x00C93000, "Monitor Screen", 0, 0x13, 0x000BA000, 0},
      {0x00C94000, "Graphics Test", 1, 0x07, 0x000A0000, 0},
      {0x00C95000, "Install Screen", 0, 0x00, 0x000BB000, 0x00D42400},
  };
  return screens;
}

std::vector<ModuleImage> BuiltInModules() {
  auto make = [](const char* name, const char* description, uint32_t major, uint32_t minor, char revision,
                 uint32_t year, uint32_t month, uint32_t day, uint32_t code, uint32_t codeLength, uint32_t data,
                 uint32_t dataLength) {
    ModuleImage module;
    module.m_name = name;
    module.m_description = description;
    module.m_majorVersion = major;
    module.m_minorVersion = minor;
    module.m_revision = static_cast<unsigned char>(revision);
    module.m_year = year;
    module.m_month = month;
    module.m_day = day;
    module.m_codeBase = code;
    module.m_codeLength = codeLength;
    module.m_dataBase = data;
    module.m_dataLength = dataLength;
    return module;
  };
  return {
      make("SERVER.NLM", "NetWare Server Operating System", 4, 11, 'a', 1996, 9, 16, 0xFC000000, 0x0004A000,
           0xFC100000, 0x00012000),
      make("CLIB.NLM", "(Clib) NetWare C Library for 4.11", 4, 11, 'b', 1997, 2, 27, 0xFC200000, 0x00031C40,
           0xFC240000, 0x00004A10),
      make("SPXS.NLM", "NetWare SPX/SPXII Protocol", 4, 10, '\0', 0, 0, 0, 0xFC300000, 0x00009E00, 0xFC310000,
           0x00000820),
  };
}

}  // namespace zentor::agent
