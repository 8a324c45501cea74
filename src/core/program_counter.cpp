#include "core/program_counter.h"

namespace zentor {
namespace {

ProgramCounterRegister::Reader g_reader = nullptr;
FramePointerRegister::Reader g_framePointerReader = nullptr;

}  // namespace

AddressDescriptor ProgramCounterRegister::Read() { return g_reader != nullptr ? g_reader() : AddressDescriptor(); }

ProgramCounterRegister::Reader ProgramCounterRegister::InstallReader(Reader reader) {
  Reader previous = g_reader;
  g_reader = reader;
  return previous;
}

AddressDescriptor FramePointerRegister::ReadAsAddress() {
  return g_framePointerReader != nullptr ? g_framePointerReader() : AddressDescriptor();
}

FramePointerRegister::Reader FramePointerRegister::InstallReader(Reader reader) {
  Reader previous = g_framePointerReader;
  g_framePointerReader = reader;
  return previous;
}

}  // namespace zentor
