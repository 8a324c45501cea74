#include "support/rw_collectable_string.h"

#include <new>

#include "support/rw_factory.h"
#include "support/rw_file.h"
#include "support/rw_messages.h"
#include "support/rw_vstream.h"

namespace zentor {

namespace {

RW_REGISTER_COLLECTABLE(RWCollectableString, kRWCollectableStringID);

// Characters are restored in pieces of this size, so a damaged length costs no more
// memory than the data actually present.
constexpr uint32_t kRestorePiece = 4096;

}  // namespace

RWCollectable* RWCollectableString::newSpecies() const { return new (std::nothrow) RWCollectableString(); }
RWCollectable* RWCollectableString::copy() const { return new (std::nothrow) RWCollectableString(*this); }
RWClassID RWCollectableString::isA() const { return kRWCollectableStringID; }

int RWCollectableString::compareTo(const RWCollectable* other) const {
  const auto* that = dynamic_cast<const RWCollectableString*>(other);
  if (that == nullptr) return RWCollectable::compareTo(other);
  return RWCString::compareTo(static_cast<const RWCString&>(*that), RWCString::exact);
}

uint32_t RWCollectableString::hash() const { return RWCString::hash(RWCString::exact); }

bool RWCollectableString::isEqual(const RWCollectable* other) const {
  if (other == nullptr || other->isA() != kRWCollectableStringID) return false;
  const auto* that = dynamic_cast<const RWCollectableString*>(other);
  return that != nullptr && RWCString::compareTo(static_cast<const RWCString&>(*that), RWCString::exact) == 0;
}

void RWCollectableString::saveGuts(RWFile& file) const {
  file.Write(static_cast<unsigned int>(length()));
  file.Write(data(), length());
}

void RWCollectableString::saveGuts(RWvostream& stream) const {
  stream << static_cast<unsigned int>(length());
  stream.put(data(), length());
}

void RWCollectableString::restoreGuts(RWFile& file) {
  RWCString text;
  unsigned int remaining = 0;
  bool complete = file.Read(remaining);
  char piece[kRestorePiece];
  while (complete && remaining > 0) {
    uint32_t n = remaining < kRestorePiece ? remaining : kRestorePiece;
    complete = file.Read(piece, n);
    if (!complete) break;
    text.append(piece, n);
    remaining -= n;
  }
  RWCString::operator=(text);
  if (!complete) {
    RWMessage message(RWTOOL_READERR());
    RWThrow(RWFileErr(message, &file, RWFileErr::readErr));
  }
}

void RWCollectableString::restoreGuts(RWvistream& stream) {
  RWCString text;
  unsigned int remaining = 0;
  stream >> remaining;
  bool complete = !stream.fail();
  char piece[kRestorePiece];
  while (complete && remaining > 0) {
    uint32_t n = remaining < kRestorePiece ? remaining : kRestorePiece;
    complete = stream.get(piece, n);
    if (!complete) break;
    text.append(piece, n);
    remaining -= n;
  }
  RWCString::operator=(text);
  if (!complete) stream.setFail();
}

}  // namespace zentor
