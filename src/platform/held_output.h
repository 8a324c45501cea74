#pragma once
// Output that a higher layer gathers before writing it: the console's standard output,
// when it is a file or a pipe, goes out a block at a time. Code that writes to the
// standard error, or through the C library's own standard output, has the held
// output written first, so that a reader of both streams sees the program's order.

namespace zentor::platform {

// Writes whatever the holder keeps back; null when nothing is held back any more.
using HeldOutputWriter = void (*)();
void SetHeldOutputWriter(HeldOutputWriter writer);

// Writes the held output now (nothing when no holder is set).
void WriteHeldOutput();

}  // namespace zentor::platform
