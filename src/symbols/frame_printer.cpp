#include "symbols/frame_printer.h"

#include "symbols/address_lookup.h"
#include "symbols/interpreter_services.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_lookup.h"
#include "symbols/symbol_values.h"

#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

// The columns of the block lines and of the locals.
constexpr uint8_t kBlockColumn = 4;
constexpr uint8_t kLocalColumn = 7;
// The column from which an aggregate's members are written.
constexpr uint32_t kMembersColumn = 7;

bool Holds(const AddressDescriptor& start, const OrdinalValue& length, const AddressDescriptor& address) {
  if (start.IsNull() || length == 0u) return false;
  return address.IsWithinLength(start, length) != kOutsideRange;
}

// Where a frame's texts go: to the output writer, or kept in turn to be written later.
class FrameSink {
 public:
  explicit FrameSink(FrameOutput* kept) : m_kept(kept) {}
  void Write(const char* text) {
    if (m_kept != nullptr) {
      // An empty text writes nothing; kept, it would stand for a fresh line.
      if (*text != '\0') m_kept->emplace_back(text);
    } else {
      OutputWriter::WriteString(text);
    }
  }
  void FreshLine() {
    if (m_kept != nullptr) {
      m_kept->emplace_back();
    } else {
      OutputWriter::FreshLine();
    }
  }

 private:
  FrameOutput* m_kept;
};

void WriteLocation(FrameSink& sink, const AddressDescriptor& address) {
  sink.Write("location ");
  sink.Write(address.Text().data());
  sink.FreshLine();
}

void WriteScopeLine(FrameSink& sink, const AddressDescriptor& at, RecordHandle scope) {
  sink.Write(LineInfoText(AddressLineInfo(at, nullptr)).data());
  sink.Write(" ");
  RWCString path;
  ProcedurePathText(scope, false, false, true, path);
  sink.Write(path.data());
  sink.FreshLine();
}

// A local's line: its name, then its value read on this frame. The symbol is made
// current for the module and the procedure, its place rebased on the frame's base
// (a register stays the register), and its value pushed, fetched and shown.
void WriteLocal(ModuleDescriptor& module, RecordHandle procedure, RecordHandle symbol,
                const AddressDescriptor& frameBase) {
  OutputWriter::TabToColumn(kLocalColumn);
  OutputWriter::WriteString(SymbolRecordView::At(GetCurrentSymbolContext()->Cache(), symbol).Name().NameText().data());
  OutputWriter::WriteString("  ");
  const uint32_t depth = ValueStack::Depth();
  try {
    BracketedLookupScope bracket;
    SetLookupTarget(&module);
    SetCurrentScopeRecord(procedure);
    SetCurrentSymbolRecord(symbol);
    SymbolEntry& entry = CurrentEntry();
    entry.SetLookupMode(kLookupSymbol);
    AddressExtent& location = entry.m_symbol.m_location;
    location = SymbolRecordView::At(GetCurrentSymbolContext()->Cache(), symbol).Location();
    if ((location.m_flags & kLocationRegister) == 0) {
      if (frameBase.IsNull()) throw DVError(kMsgSymbolNotActive, kSeverityError);
      location.m_address = frameBase + location.m_ordinal;
      location.m_flags |= kLocationResolved;
    }
    entry.m_symbol.m_active = 1;
    DVErrorCode status;
    DecodeSymbolRecordLocation(status, kMembersColumn);
    if (status.IsOkay()) {
      InstalledSymbolInterpreter().DereferenceTopValue();
      InstalledSymbolInterpreter().DisplayTopValue(0);
    }
  } catch (const DVError&) {
    // The name alone says that the value could not be read.
  }
  while (ValueStack::Depth() > depth) ValueStack::Drop();
  OutputWriter::FreshLine();
}

// One frame:
// 1. An address in no module is its location text; a module without records gives
//    its line information.
// 2. The module's records are walked: a procedure that holds the address gives its
//    line (and becomes the scope of the locals), a block that holds it gives an
//    indented line when locals are wanted, and after the procedure every frame-relative
//    symbol is written with its value.
// 3. The walk ends at the first scope end after the procedure or a block was written;
//    records that run out before say the location only.
void WriteFrame(FrameSink& sink, const AddressDescriptor& address, const AddressDescriptor& frameBase,
                bool withLocals) {
  DVErrorCode ignored;
  ModuleDescriptor* module = FindModuleAtAddress(address, ignored);
  if (module == nullptr) {
    WriteLocation(sink, address);
    return;
  }
  if (module->FirstRecord().IsNone()) {
    sink.Write(LineInfoText(AddressLineInfo(address, nullptr)).data());
    sink.FreshLine();
    return;
  }
  bool procedureReached = false;
  bool blockWritten = false;
  RecordHandle procedure;
  ChainWalk walk(GetCurrentSymbolContext()->Cache(), module->FirstRecord());
  for (;;) {
    uint32_t type = 0;
    RecordHandle handle;
    AddressDescriptor start;
    OrdinalValue length;
    bool frameRelative = false;
    {
      const RecordView view = walk.Next();
      if (view.IsNull()) break;
      type = view.U32At(0);
      handle = view.Handle();
      if (!ReadScopeExtent(view, start, length) && type == kSymbolRecordType) {
        frameRelative = IsFrameRelative(AddressExtent::ReadFrom(view, SymbolRecordLayout::kLocation));
      }
    }
    switch (type) {
      case kBlockRecordType:
        if (withLocals && Holds(start, length, address)) {
          OutputWriter::TabToColumn(kBlockColumn);
          WriteScopeLine(sink, start, handle);
          blockWritten = true;
        }
        break;
      case kProcedureRecordType:
        if (Holds(start, length, address)) {
          procedureReached = true;
          procedure = handle;
          WriteScopeLine(sink, address, handle);
        }
        break;
      case kSymbolRecordType:
        if (procedureReached && withLocals && frameRelative) WriteLocal(*module, procedure, handle, frameBase);
        break;
      case kScopeEndRecordType:
        if (procedureReached || blockWritten) return;
        break;
      default:
        break;
    }
  }
  WriteLocation(sink, address);
}

}  // namespace

void PrintFrameLocation(DVErrorCode& status, const AddressDescriptor& address, const AddressDescriptor& frameBase,
                        bool withLocals) {
  status.SetOkay();
  FrameSink direct(nullptr);
  WriteFrame(direct, address, frameBase, withLocals);
}

void CollectFrameOutput(const AddressDescriptor& address, FrameOutput* output) {
  FrameSink kept(output);
  WriteFrame(kept, address, AddressDescriptor(), false);
}

void WriteFrameOutput(const FrameOutput& output) {
  for (const std::string& text : output) {
    if (text.empty()) {
      OutputWriter::FreshLine();
    } else {
      OutputWriter::WriteString(std::string_view(text));
    }
  }
}

}  // namespace zentor
