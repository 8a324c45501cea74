#pragma once
// The class library's catalogued messages and its exception classes. Every error of
// the library (an index out of range, a bad persistence reference, a missing create
// function) is built from a catalogue record and handed to one replaceable error
// handler; the default handler shows "Fatal Error" and ends the program with code 1.

#include <cstdint>

namespace zentor {

// One catalogued message: a printf-style format behind a bracketed tag.
struct RWMsgRecord {
  const char* catalog;
  uint32_t id;
  const char* text;
  uint32_t reserved;
};

inline constexpr uint16_t kRWLibraryVersion = 0x0610;

// Catalogue "rwtools6.0" (ids 8192..8211).
const RWMsgRecord* RWTOOL_ALLOCOUT();
const RWMsgRecord* RWTOOL_BADRE();
const RWMsgRecord* RWTOOL_CRABS();
const RWMsgRecord* RWTOOL_FLIST();
const RWMsgRecord* RWTOOL_ID();
const RWMsgRecord* RWTOOL_INDEX();
const RWMsgRecord* RWTOOL_LOCK();
const RWMsgRecord* RWTOOL_LONGINDEX();
const RWMsgRecord* RWTOOL_MAGIC();
const RWMsgRecord* RWTOOL_NEVECL();
const RWMsgRecord* RWTOOL_NOCREATE();
const RWMsgRecord* RWTOOL_NOTALLOW();
const RWMsgRecord* RWTOOL_READERR();
const RWMsgRecord* RWTOOL_REF();
const RWMsgRecord* RWTOOL_SEEKERR();
const RWMsgRecord* RWTOOL_STREAM();
const RWMsgRecord* RWTOOL_SUBSTRING();
const RWMsgRecord* RWTOOL_UNLOCK();
const RWMsgRecord* RWTOOL_WRITEERR();
const RWMsgRecord* RWTOOL_INDEXERR();

// Catalogue "rwcore6.0" (ids 4096..4106).
const RWMsgRecord* RWCORE_EOF();
const RWMsgRecord* RWCORE_GENERIC();
const RWMsgRecord* RWCORE_INVADDR();
const RWMsgRecord* RWCORE_LOCK();
const RWMsgRecord* RWCORE_NOINIT();
const RWMsgRecord* RWCORE_NOMEM();
const RWMsgRecord* RWCORE_OPERR();
const RWMsgRecord* RWCORE_OUTALLOC();
const RWMsgRecord* RWCORE_OVFLOW();
const RWMsgRecord* RWCORE_STREAM();
const RWMsgRecord* RWCORE_SYNSTREAM();

// The formatted text of a message. Formatting is bounded: a text longer than 503
// characters is cut there.
class RWMessage {
 public:
  static constexpr int kBufferSize = 504;

  // Formats the record's text with printf rules. The arguments must have the types
  // the format names: %u/%d take (unsigned) int, %ld/%lu/%lx take (unsigned) long,
  // %hu takes an int holding a 16-bit value.
  explicit RWMessage(const RWMsgRecord* record, ...);
  explicit RWMessage(const char* text);
  RWMessage(const RWMessage& other);
  RWMessage& operator=(const RWMessage& other);
  ~RWMessage();

  const char* str() const { return m_text; }
  operator const char*() const { return m_text; }

 private:
  char* m_text;
};

// Exception objects. They are never thrown as C++ exceptions: raising hands them to
// the error handler (RWThrow), which by default ends the program.
class RWxmsg {
 public:
  explicit RWxmsg(const char* text);
  explicit RWxmsg(const RWMessage& message);
  RWxmsg(const char* text, bool copy);
  RWxmsg(const RWxmsg& other);
  RWxmsg& operator=(const RWxmsg&) = delete;
  virtual ~RWxmsg();

  const char* why() const { return m_text; }
  bool ownsText() const { return m_ownsText != 0; }
  void raise() const;

 private:
  const char* m_text;
  uint32_t m_ownsText;
};

class RWxalloc : public RWxmsg {
 public:
  explicit RWxalloc(uint32_t requestedSize);
  uint32_t requested() const { return m_requestedSize; }

 private:
  uint32_t m_requestedSize;
};

class RWExternalErr : public RWxmsg {
 public:
  explicit RWExternalErr(const char* text) : RWxmsg(text) {}
  explicit RWExternalErr(const RWMessage& message) : RWxmsg(message) {}
};

class RWFileErr : public RWExternalErr {
 public:
  enum ErrorType : uint32_t { unknown, seekErr, readErr, writeErr };
  RWFileErr(const char* text, void* file, ErrorType type) : RWExternalErr(text), m_file(file), m_type(type) {}
  RWFileErr(const RWMessage& message, void* file, ErrorType type)
      : RWExternalErr(message), m_file(file), m_type(type) {}
  void* file() const { return m_file; }
  ErrorType errorType() const { return m_type; }

 private:
  void* m_file;
  ErrorType m_type;
};

class RWStreamErr : public RWExternalErr {
 public:
  RWStreamErr(const char* text, void* stream) : RWExternalErr(text), m_stream(stream) {}
  RWStreamErr(const RWMessage& message, void* stream) : RWExternalErr(message), m_stream(stream) {}
  void* stream() const { return m_stream; }

 private:
  void* m_stream;
};

class RWInternalErr : public RWxmsg {
 public:
  explicit RWInternalErr(const char* text) : RWxmsg(text) {}
  explicit RWInternalErr(const RWMessage& message) : RWxmsg(message) {}
};

class RWBoundsErr : public RWInternalErr {
 public:
  explicit RWBoundsErr(const char* text) : RWInternalErr(text) {}
  explicit RWBoundsErr(const RWMessage& message) : RWInternalErr(message) {}
};

using RWErrHandler = void (*)(const RWxmsg&);

// Installs a handler and returns the previous one; the first call returns the default.
RWErrHandler rwSetErrHandler(RWErrHandler handler);
// The default handler: "Fatal Error" alert with the text, then exit code 1.
void RWDefaultErrHandler(const RWxmsg& error);

void RWThrow(const RWxmsg& error);
void RWThrow(const RWxalloc& error);
void RWThrow(const RWExternalErr& error);
void RWThrow(const RWFileErr& error);
void RWThrow(const RWStreamErr& error);
void RWThrow(const RWInternalErr& error);
void RWThrow(const RWBoundsErr& error);

// The raising patterns of the library, written once: build the message, build the
// exception from it, hand it to the handler. They return only when a replaced
// handler returns.
void RWRaiseIndex(uint32_t index, uint32_t largestValid);     // [INDEX]
void RWRaiseIndexErr(uint32_t index, uint32_t entries);       // [INDEXERR]

}  // namespace zentor
