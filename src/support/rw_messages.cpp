#include "support/rw_messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/alert.h"

namespace zentor {

namespace {

// The records of a catalogue lie in id order, one after another.
constexpr const char* kTools = "rwtools6.0";
constexpr const char* kCore = "rwcore6.0";

const RWMsgRecord kToolsCatalog[] = {
    {kTools, 8192, "[ALLOCOUT] %s destructor called with allocation outstanding", 0},
    {kTools, 8193, "[BADRE] Attempt to use invalid regular expression", 0},
    {kTools, 8194, "[CRABS] RWFactory: attempting to create abstract class with ID %hu (0x%hx)", 0},
    {kTools, 8195, "[FLIST] Free list size error: expected %ld, got %ld", 0},
    {kTools, 8196, "[ID] Unexpected class ID %hu; should be %hu", 0},
    {kTools, 8197, "[INDEX] Index (%u) out of range [0->%u]", 0},
    {kTools, 8198, "[LOCK] Locked object deleted", 0},
    {kTools, 8199, "[LONGINDEX] Long index (%lu) out of range [0->%lu]", 0},
    {kTools, 8200, "[MAGIC] Bad magic number: %ld (should be %ld)", 0},
    {kTools, 8201, "[NEVECL] Unequal vector lengths: %u versus %u", 0},
    {kTools, 8202, "[NOCREATE] RWFactory: no create function for class with ID %hu (0x%hx)", 0},
    {kTools, 8203, "[NOTALLOW] Function not allowed for derived class", 0},
    {kTools, 8204, "[READERR] Read error", 0},
    {kTools, 8205, "[REF] Bad persistence reference", 0},
    {kTools, 8206, "[SEEKERR] Seek error", 0},
    {kTools, 8207, "[STREAM] Bad input stream", 0},
    {kTools, 8208, "[SUBSTRING] Illegal substring (%d, %u) from %u element RWCString", 0},
    {kTools, 8209, "[UNLOCK] Improper use of locked object", 0},
    {kTools, 8210, "[WRITEERR] Write error", 0},
    {kTools, 8211, "[INDEXERR] Illegal Index (%u) for collection with %u elements", 0},
};

const RWMsgRecord kCoreCatalog[] = {
    {kCore, 4096, "[EOF] EOF on input", 0},
    {kCore, 4097, "[GENERIC] Generic error number %d; %s", 0},
    {kCore, 4098, "[INVADDR] Invalid address: %lx", 0},
    {kCore, 4099, "[LOCK] Unable to lock memory", 0},
    {kCore, 4100, "[NOINIT] Memory allocated without being initialized", 0},
    {kCore, 4101, "[NOMEM] No memory", 0},
    {kCore, 4102, "[OPERR] Could not open file %s", 0},
    {kCore, 4103, "[OUTALLOC] Memory released with allocations still outstanding", 0},
    {kCore, 4104, "[OVFLOW] Overflow error -> \"%.*s\" <- (%u max characters)", 0},
    {kCore, 4105, "[STREAM] Bad input stream", 0},
    {kCore, 4106, "[SYNSTREAM] Syntax error in input stream: expected %s, got %s", 0},
};

char* CopyText(const char* text) {
  size_t length = std::strlen(text);
  char* copy = new char[length + 1];
  std::memcpy(copy, text, length + 1);
  return copy;
}

RWErrHandler g_errHandler = &RWDefaultErrHandler;

}  // namespace

#define ZENTOR_RW_RECORD(name, table, index) \
  const RWMsgRecord* name() { return &table[index]; }
ZENTOR_RW_RECORD(RWTOOL_ALLOCOUT, kToolsCatalog, 0)
ZENTOR_RW_RECORD(RWTOOL_BADRE, kToolsCatalog, 1)
ZENTOR_RW_RECORD(RWTOOL_CRABS, kToolsCatalog, 2)
ZENTOR_RW_RECORD(RWTOOL_FLIST, kToolsCatalog, 3)
ZENTOR_RW_RECORD(RWTOOL_ID, kToolsCatalog, 4)
ZENTOR_RW_RECORD(RWTOOL_INDEX, kToolsCatalog, 5)
ZENTOR_RW_RECORD(RWTOOL_LOCK, kToolsCatalog, 6)
ZENTOR_RW_RECORD(RWTOOL_LONGINDEX, kToolsCatalog, 7)
ZENTOR_RW_RECORD(RWTOOL_MAGIC, kToolsCatalog, 8)
ZENTOR_RW_RECORD(RWTOOL_NEVECL, kToolsCatalog, 9)
ZENTOR_RW_RECORD(RWTOOL_NOCREATE, kToolsCatalog, 10)
ZENTOR_RW_RECORD(RWTOOL_NOTALLOW, kToolsCatalog, 11)
ZENTOR_RW_RECORD(RWTOOL_READERR, kToolsCatalog, 12)
ZENTOR_RW_RECORD(RWTOOL_REF, kToolsCatalog, 13)
ZENTOR_RW_RECORD(RWTOOL_SEEKERR, kToolsCatalog, 14)
ZENTOR_RW_RECORD(RWTOOL_STREAM, kToolsCatalog, 15)
ZENTOR_RW_RECORD(RWTOOL_SUBSTRING, kToolsCatalog, 16)
ZENTOR_RW_RECORD(RWTOOL_UNLOCK, kToolsCatalog, 17)
ZENTOR_RW_RECORD(RWTOOL_WRITEERR, kToolsCatalog, 18)
ZENTOR_RW_RECORD(RWTOOL_INDEXERR, kToolsCatalog, 19)
ZENTOR_RW_RECORD(RWCORE_EOF, kCoreCatalog, 0)
ZENTOR_RW_RECORD(RWCORE_GENERIC, kCoreCatalog, 1)
ZENTOR_RW_RECORD(RWCORE_INVADDR, kCoreCatalog, 2)
ZENTOR_RW_RECORD(RWCORE_LOCK, kCoreCatalog, 3)
ZENTOR_RW_RECORD(RWCORE_NOINIT, kCoreCatalog, 4)
ZENTOR_RW_RECORD(RWCORE_NOMEM, kCoreCatalog, 5)
ZENTOR_RW_RECORD(RWCORE_OPERR, kCoreCatalog, 6)
ZENTOR_RW_RECORD(RWCORE_OUTALLOC, kCoreCatalog, 7)
ZENTOR_RW_RECORD(RWCORE_OVFLOW, kCoreCatalog, 8)
ZENTOR_RW_RECORD(RWCORE_STREAM, kCoreCatalog, 9)
ZENTOR_RW_RECORD(RWCORE_SYNSTREAM, kCoreCatalog, 10)
#undef ZENTOR_RW_RECORD

RWMessage::RWMessage(const RWMsgRecord* record, ...) {
  char buffer[kBufferSize];
  va_list args;
  va_start(args, record);
  // vsnprintf never writes past the buffer: a longer text is cut at 503 characters.
  int written = std::vsnprintf(buffer, sizeof buffer, record->text, args);
  va_end(args);
  if (written < 0) buffer[0] = '\0';
  m_text = CopyText(buffer);
}

RWMessage::RWMessage(const char* text) : m_text(CopyText(text)) {}
RWMessage::RWMessage(const RWMessage& other) : m_text(CopyText(other.m_text)) {}

RWMessage& RWMessage::operator=(const RWMessage& other) {
  if (this != &other) {
    char* copy = CopyText(other.m_text);
    delete[] m_text;
    m_text = copy;
  }
  return *this;
}

RWMessage::~RWMessage() { delete[] m_text; }

RWxmsg::RWxmsg(const char* text) : m_text(CopyText(text)), m_ownsText(1) {}
RWxmsg::RWxmsg(const RWMessage& message) : m_text(CopyText(message.str())), m_ownsText(1) {}
RWxmsg::RWxmsg(const char* text, bool copy)
    : m_text(copy ? CopyText(text) : text), m_ownsText(copy ? 1 : 0) {}
RWxmsg::RWxmsg(const RWxmsg& other)
    : m_text(other.m_ownsText ? CopyText(other.m_text) : other.m_text), m_ownsText(other.m_ownsText) {}

RWxmsg::~RWxmsg() {
  if (m_ownsText) delete[] m_text;
}

void RWxmsg::raise() const { RWThrow(*this); }

RWxalloc::RWxalloc(uint32_t requestedSize) : RWxmsg(RWCORE_NOMEM()->text, false), m_requestedSize(requestedSize) {}

RWErrHandler rwSetErrHandler(RWErrHandler handler) {
  RWErrHandler previous = g_errHandler;
  g_errHandler = handler ? handler : &RWDefaultErrHandler;
  return previous;
}

void RWDefaultErrHandler(const RWxmsg& error) {
  platform::AlertRequest request;
  request.title = "Fatal Error";
  request.text = error.why();
  request.buttons = platform::AlertButtons::Ok;
  platform::ShowAlert(request);
  std::exit(1);
}

void RWThrow(const RWxmsg& error) { g_errHandler(error); }
void RWThrow(const RWxalloc& error) { g_errHandler(error); }
void RWThrow(const RWExternalErr& error) { g_errHandler(error); }
void RWThrow(const RWFileErr& error) { g_errHandler(error); }
void RWThrow(const RWStreamErr& error) { g_errHandler(error); }
void RWThrow(const RWInternalErr& error) { g_errHandler(error); }
void RWThrow(const RWBoundsErr& error) { g_errHandler(error); }

void RWRaiseIndex(uint32_t index, uint32_t largestValid) {
  RWMessage message(RWTOOL_INDEX(), static_cast<unsigned>(index), static_cast<unsigned>(largestValid));
  RWBoundsErr error(message);
  RWThrow(error);
}

void RWRaiseIndexErr(uint32_t index, uint32_t entries) {
  RWMessage message(RWTOOL_INDEXERR(), static_cast<unsigned>(index), static_cast<unsigned>(entries));
  RWBoundsErr error(message);
  RWThrow(error);
}

}  // namespace zentor
