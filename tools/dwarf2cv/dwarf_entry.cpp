#include "dwarf_entry.h"

#include <dwarf.h>

#include <cstdio>

#include "dwarf_to_codeview.h"

namespace zentor::dwarf2cv {

std::string EntryName(Dwarf_Die* die) {
  const char* name = dwarf_diename(die);
  return name != nullptr ? name : "";
}

std::string EntryLabel(Dwarf_Die* die) {
  char text[64];
  std::snprintf(text, sizeof text, "entry 0x%llx (tag 0x%x)", static_cast<unsigned long long>(dwarf_dieoffset(die)),
                static_cast<unsigned>(dwarf_tag(die)));
  const std::string name = EntryName(die);
  return name.empty() ? text : std::string(text) + " '" + name + "'";
}

bool HasAttribute(Dwarf_Die* die, unsigned int name) {
  Dwarf_Attribute attribute;
  return dwarf_attr_integrate(die, name, &attribute) != nullptr;
}

std::optional<std::uint64_t> UnsignedAttribute(Dwarf_Die* die, unsigned int name) {
  Dwarf_Attribute attribute;
  Dwarf_Word value = 0;
  if (dwarf_attr_integrate(die, name, &attribute) == nullptr) return std::nullopt;
  if (dwarf_formudata(&attribute, &value) != 0) FailAt(die, "attribute 0x" + std::to_string(name) + " is no number");
  return value;
}

bool FlagAttribute(Dwarf_Die* die, unsigned int name) {
  Dwarf_Attribute attribute;
  bool flag = false;
  if (dwarf_attr_integrate(die, name, &attribute) == nullptr) return false;
  return dwarf_formflag(&attribute, &flag) == 0 && flag;
}

std::optional<Dwarf_Die> TypeEntry(Dwarf_Die* die) {
  Dwarf_Attribute attribute;
  if (dwarf_attr_integrate(die, DW_AT_type, &attribute) == nullptr) return std::nullopt;
  Dwarf_Die type;
  if (dwarf_formref_die(&attribute, &type) == nullptr) FailAt(die, "its type reference leads nowhere");
  return type;
}

void ForEachChild(Dwarf_Die* die, const std::function<void(Dwarf_Die*)>& visit) {
  Dwarf_Die child;
  if (dwarf_child(die, &child) != 0) return;
  do {
    visit(&child);
  } while (dwarf_siblingof(&child, &child) == 0);
}

void FailAt(Dwarf_Die* die, const std::string& what) { throw ConversionError(EntryLabel(die) + ": " + what); }

}  // namespace zentor::dwarf2cv
