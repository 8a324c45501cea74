#pragma once
// Small readers over libdw's debugging information entries, shared by the type and
// the module translation: attributes through DW_AT_specification and
// DW_AT_abstract_origin, children, and errors that name the entry they are about.

#include <elfutils/libdw.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zentor::dwarf2cv {

// The entry's name ("" for none), following specifications.
std::string EntryName(Dwarf_Die* die);
// "entry 0x2f (tag 0x34) 'total'", for messages.
std::string EntryLabel(Dwarf_Die* die);
bool HasAttribute(Dwarf_Die* die, unsigned int name);
std::optional<std::uint64_t> UnsignedAttribute(Dwarf_Die* die, unsigned int name);
bool FlagAttribute(Dwarf_Die* die, unsigned int name);
// The entry DW_AT_type refers to; none for void.
std::optional<Dwarf_Die> TypeEntry(Dwarf_Die* die);
// Calls `visit` for each child of `die`.
void ForEachChild(Dwarf_Die* die, const std::function<void(Dwarf_Die*)>& visit);

// Throws ConversionError with the entry's label and `what`.
[[noreturn]] void FailAt(Dwarf_Die* die, const std::string& what);

}  // namespace zentor::dwarf2cv
