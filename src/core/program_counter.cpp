#include "core/program_counter.h"

#include "core/dv_error.h"
#include "core/target_memory.h"

namespace zentor {
namespace {

ProgramCounterRegister::Reader g_reader = nullptr;
ProgramCounterRegister::Writer g_writer = nullptr;
FramePointerRegister::Reader g_framePointerReader = nullptr;
FramePointerRegister::SavedFrameReader g_savedFrameReader = nullptr;

}  // namespace

AddressDescriptor ProgramCounterRegister::Read() { return g_reader != nullptr ? g_reader() : AddressDescriptor(); }

ProgramCounterRegister::Reader ProgramCounterRegister::InstallReader(Reader reader) {
  Reader previous = g_reader;
  g_reader = reader;
  return previous;
}

void ProgramCounterRegister::Write(const AddressDescriptor& address) {
  if (g_writer == nullptr) throw DVError(kNoProgramLoaded, kSeverityError, kDisplayByFocus);
  g_writer(address);
}

ProgramCounterRegister::Writer ProgramCounterRegister::InstallWriter(Writer writer) {
  Writer previous = g_writer;
  g_writer = writer;
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

AddressDescriptor FramePointerRegister::ReadSavedFrame(const AddressDescriptor& frame) {
  return g_savedFrameReader != nullptr ? g_savedFrameReader(frame) : AddressDescriptor();
}

FramePointerRegister::SavedFrameReader FramePointerRegister::InstallSavedFrameReader(SavedFrameReader reader) {
  SavedFrameReader previous = g_savedFrameReader;
  g_savedFrameReader = reader;
  return previous;
}

}  // namespace zentor
