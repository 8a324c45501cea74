#pragma once
// Class IDs of the class library's persistent classes. Persistence writes an object's
// ID in front of its data and the factory maps the ID back to a create function, so
// these numbers are part of every stored file and never change.

#include <cstdint>

namespace zentor {

using RWClassID = uint16_t;

inline constexpr RWClassID kRWCollectableID = 0x8007;
inline constexpr RWClassID kRWCollectableAssociationID = 0x8008;
inline constexpr RWClassID kRWCollectableIntID = 0x800A;
inline constexpr RWClassID kRWCollectableStringID = 0x800B;
inline constexpr RWClassID kRWBagID = 0x801B;
// Answered by the abstract collection bases, which are never stored.
inline constexpr RWClassID kRWCollectionID = 0x801D;
inline constexpr RWClassID kRWHashDictionaryID = 0x8022;
inline constexpr RWClassID kRWIdentitySetID = 0x8025;
inline constexpr RWClassID kRWOrderedID = 0x8028;
inline constexpr RWClassID kRWSetID = 0x802B;
inline constexpr RWClassID kRWSlistCollectablesID = 0x8033;
inline constexpr RWClassID kRWSlistCollectablesStackID = 0x8036;
inline constexpr RWClassID kRWSortedVectorID = 0x804A;
inline constexpr RWClassID kRWHashTableID = 0x805E;
inline constexpr RWClassID kRWCollectableIDAssociationID = 0x805F;

// The marker a stored reference to an already written object begins with; no class
// may use it as its ID.
inline constexpr RWClassID kRWReferenceMarker = 0xFFFF;

}  // namespace zentor
