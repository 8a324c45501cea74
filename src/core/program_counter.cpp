#include "core/program_counter.h"

namespace zentor {
namespace {

ProgramCounterRegister::Reader g_reader = nullptr;

}  // namespace

AddressDescriptor ProgramCounterRegister::Read() { return g_reader != nullptr ? g_reader() : AddressDescriptor(); }

ProgramCounterRegister::Reader ProgramCounterRegister::InstallReader(Reader reader) {
  Reader previous = g_reader;
  g_reader = reader;
  return previous;
}

}  // namespace zentor
