#pragma once
// The engine's view of the target's program counter and frame pointer as addresses. The symbol
// loaders read it when a load ends, so that the program's current execution address
// is where the target stands. Until the engine's register model is connected to the
// target, a reader can be installed in its place; without one the program counter is
// a null address (nothing is known about the target's state).

#include "core/address_descriptor.h"

namespace zentor {

class ProgramCounterRegister {
 public:
  using Reader = AddressDescriptor (*)();

  // The program counter of the current viewpoint; null when it cannot be known.
  static AddressDescriptor Read();
  // Installs a reader (null restores the default); returns the one installed before.
  static Reader InstallReader(Reader reader);

  // Moves the execution to an address (the "$" variable assigned). Without an
  // installed writer there is no program to move: 2006.
  using Writer = void (*)(const AddressDescriptor& address);
  static void Write(const AddressDescriptor& address);
  static Writer InstallWriter(Writer writer);
};

// The frame pointer of the current viewpoint's thread as an address (stack segment :
// frame pointer), read the same way: through an installed reader, a null address
// without one.
class FramePointerRegister {
 public:
  using Reader = AddressDescriptor (*)();

  static AddressDescriptor ReadAsAddress();
  static Reader InstallReader(Reader reader);

  // The frame pointer saved at a frame address (the next frame of the chain): null
  // when the frame address's offset is 0 or the saved value is 0. Installed by the
  // engine; without a reader every chain ends at once (null).
  using SavedFrameReader = AddressDescriptor (*)(const AddressDescriptor& frame);
  static AddressDescriptor ReadSavedFrame(const AddressDescriptor& frame);
  static SavedFrameReader InstallSavedFrameReader(SavedFrameReader reader);
};

}  // namespace zentor
