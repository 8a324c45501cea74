#pragma once
// The console's standard input as the command reader meets it: whether a descriptor is
// an interactive terminal (a Windows console), which echoes what the user types by
// itself, so the console input must not write those characters again; and a bounded
// wait for input, which lets the reader do other work (the target's event poll) while
// the user has typed nothing.

#include <cstdint>

namespace zentor::platform {

bool IsTerminal(int hostDescriptor);

// Waits at most `milliseconds` for the descriptor to have something to read. True when
// a read will not block: bytes are there, or the input has ended or failed (the read
// then tells which); false when the time passed first, or a signal (Ctrl+C) cut the
// wait short. A file is always ready. A Windows console is ready once a key waits in
// its buffer (its other events are dropped); its line mode may still hold the read
// until the line ends.
bool WaitForInput(int hostDescriptor, uint32_t milliseconds);

}  // namespace zentor::platform
