#pragma once
// Indexes that answer the symbol searches without walking every record: the first
// global symbol of a name, the type-directory entries of a name, the symbols of each
// pass of the nearest-symbol search by place, the module whose code range holds an
// address, and the nearest global code symbol of the procedure search. They run at
// every stop and every window refresh, where a walk over a large program's chains
// would be felt. Each index is built from the same walk it replaces, when it is
// first needed after the tables changed (a load, a module loaded on demand), and
// answers exactly what the walk answers. Switched off, the searches walk as before
// (the benchmark compares both).

#include <cstdint>
#include <vector>

#include "symbols/vst_file.h"

#include "core/address_descriptor.h"

namespace zentor {

class LoaderState;
class ModuleDescriptor;

// A symbol record the nearest-symbol search looks at, with what the walk knows when
// it reaches it: the innermost enclosing block or procedure (none at module level and
// in the global list) and whether the scope address lies in it.
struct AddressCandidate {
  RecordHandle m_record;
  RecordHandle m_enclosing;
  bool m_inside = false;
};

class SymbolIndexes {
 public:
  // On by default; off makes every search walk.
  static void SetEnabled(bool enabled);
  static bool Enabled();

  // The global-list pass of FindSymbolInContext: the first global symbol record of the
  // name becomes current, its module's symbols loaded first when they still wait in
  // the symbol file. False when none has the name.
  static bool FindGlobalByName(const NameKey& key);

  // The symbol records of one pass of the nearest-symbol search (a module's records,
  // or the global list when `module` is null) that can change its outcome for
  // `address`, in record order: of the symbols at fixed places those nearest at or
  // below the address (in the global list, the nearest whose module reaches the
  // address), and the frame-relative ones of the scopes that hold the scope address.
  // Symbols at fixed places farther from the address than `best` (the search's best
  // distance so far) are left out: they cannot change the outcome. False when the
  // index is off (the caller walks).
  static bool AddressCandidates(const ModuleDescriptor* module, const AddressDescriptor& address,
                                const AddressDescriptor& scope, const OrdinalValue& best,
                                std::vector<AddressCandidate>& candidates);

  // A bound for the nearest-symbol search: the least distance from the address down
  // to a symbol at a fixed memory place that the search takes when it meets it (in a
  // module pass, within the module's range; in the global pass, within the reach of
  // the place's module, when that is known). Symbols farther than it never are the
  // answer and can be left out. All ones when the index is off or knows none.
  static OrdinalValue NearestFixedBound(const AddressDescriptor& address);

  // The search of LoaderState::ModuleAtAddress through the module collection: the
  // first module in collection order whose code range holds `address`, null when none
  // does. False when the index is off or cannot answer (a module range, or the
  // address, not a memory place of the one kind the ranges share); the caller walks.
  static bool ModuleHolding(LoaderState& loader, const AddressDescriptor& address, ModuleDescriptor*& module);

  // Whether one module's code range holds `address`, as ModuleDescriptor::Holds
  // weighs it (the check of the current module before the search above). False when
  // the index cannot answer; the caller asks the module.
  static bool ModuleHoldsAddress(LoaderState& loader, const ModuleDescriptor& module, const AddressDescriptor& address,
                                 bool& holds);

  // The global-list walk of the procedure search (address_lookup.cpp): of the global
  // symbol records of `category` at or below `address` whose module reaches it, the
  // nearest, of equal ones the first in the list; none, at the largest distance, when
  // no record qualifies. False when the index cannot answer: it is off, the address is
  // not a memory place of the kind the global places share, or the walk could load a
  // module on the way or meet overlapping module ranges (the caller walks).
  static bool NearestGlobalOfCategory(uint32_t category, const AddressDescriptor& address, RecordHandle& found,
                                      OrdinalValue& distance);

  // The label search's walk over a module's records (address_lookup.cpp): of the
  // symbol records of `category` at or below `address`, the nearest, of equal ones the
  // first in record order; none, at the largest distance, when no record qualifies.
  // False when the index cannot answer (it is off, or the address is not a memory
  // place of the kind the module's places share); the caller walks.
  static bool NearestInModuleOfCategory(const ModuleDescriptor& module, uint32_t category,
                                        const AddressDescriptor& address, RecordHandle& found,
                                        OrdinalValue& distance);

  // The procedure search's walk over a module's records: the first procedure record
  // in record order whose code range holds `address` (none when no range does). False
  // when the index is off; the caller walks.
  static bool FirstProcedureHolding(const ModuleDescriptor& module, const AddressDescriptor& address,
                                    RecordHandle& procedure);

  // The type-directory indices (1 through the type count, ascending) whose raw entry
  // is named `name` exactly, or every index when the index is switched off.
  static std::vector<uint32_t> TypeIndicesNamed(const RWCString& name);
};

// The walk the global-name index replaces.
bool SearchGlobalChainForName(const NameKey& key);

}  // namespace zentor
