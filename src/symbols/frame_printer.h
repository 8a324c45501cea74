#pragma once
// The call-stack frame printer: one frame of the call stack written through the
// output writer for the engine's call-stack listing. The frame's code address is
// named by module, line and offset with its procedure path (and the blocks that hold
// it); with locals wanted, the name and value of every local and parameter of the
// procedure, read relative to the frame's base address. Values are fetched and shown
// by the command language's interpreter (interpreter_services.h).

#include <string>
#include <vector>

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"

namespace zentor {

// Writes one frame; frames without symbols are written as "location" and their
// address. Nothing is reported: a value that cannot be read leaves its line with the
// name alone.
void PrintFrameLocation(DVErrorCode& status, const AddressDescriptor& address, const AddressDescriptor& frameBase,
                        bool withLocals);
// What PrintFrameLocation writes for a frame without its locals, as the texts it
// writes in turn, an empty one where it ends a line (a fresh line). It depends on the
// code address alone and the loaded symbols, so a listing of many frames at one
// address (a recursion) collects it once and writes it for each. A failure on the way
// is thrown with the texts before it collected, so that they can be written first.
using FrameOutput = std::vector<std::string>;
void CollectFrameOutput(const AddressDescriptor& address, FrameOutput* output);
void WriteFrameOutput(const FrameOutput& output);

}  // namespace zentor
