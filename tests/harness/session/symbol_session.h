#pragma once
// The symbol side of a session as the target interface sets it up when it connects
// and loads a module: a viewpoint of the program with a symbol context of its own, a
// symbol file loaded through the load driver (reset, load, finish), and the modules
// whose symbols the load left in the file asked for, as the symbol tables ask when
// they first need them.

#include <cstdint>
#include <string>

namespace zentor {
class SymbolContext;
}

namespace zentor::testing_support {

inline constexpr uint32_t kProgramViewpoint = 0xC0DE0001u;
inline constexpr uint32_t kProgramCodeBase = 0x00400000u;
inline constexpr uint32_t kProgramDataBase = 0x00800000u;

// A viewpoint the target knows, with a fresh symbol context, made the base viewpoint.
void OpenProgramViewpoint(uint32_t value = kProgramViewpoint);
// The same, its context sharing the tables of `program` (a program loaded earlier).
void OpenProgramViewpoint(const SymbolContext& program, uint32_t value = kProgramViewpoint);

// What a load through the driver came to: its return value, the message number of the
// last error reported during it (0 for none) and a DVError it raised (0 for none).
struct SymbolLoadOutcome {
  uint32_t m_returned = 0;
  uint32_t m_reported = 0;
  uint32_t m_raised = 0;
};
SymbolLoadOutcome LoadSymbols(const std::string& path, uint32_t codeBase = kProgramCodeBase,
                              uint32_t dataBase = kProgramDataBase);

// Asks for every module that still waits for its symbols; the last message reported
// meanwhile (0 for none), or the number of an error raised.
uint32_t ForceDeferredModules();

}  // namespace zentor::testing_support
