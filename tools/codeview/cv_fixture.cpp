#include "codeview/cv_fixture.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

namespace zentor::cvfixture {
namespace {

// ---- Bytes ---------------------------------------------------------------------------

// Little-endian output with back-patching of fields whose value is known only later
// (lengths, offsets of scope ends, directory offsets).
class ByteSink {
 public:
  void Put8(std::uint32_t value) { m_bytes.push_back(static_cast<std::uint8_t>(value)); }
  void Put16(std::uint32_t value) {
    Put8(value);
    Put8(value >> 8);
  }
  void Put32(std::uint32_t value) {
    Put16(value);
    Put16(value >> 16);
  }
  void PutBytes(std::span<const std::uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
  }
  void PutText(std::string_view text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }

  // Fields of one width in a row, in the order given.
  template <typename... Values>
  void Put16s(Values... values) {
    (Put16(values), ...);
  }
  template <typename... Values>
  void Put32s(Values... values) {
    (Put32(values), ...);
  }

  // A segmented address: the 32-bit offset, then the segment.
  void PutAddress(std::uint32_t offset, std::uint32_t segment) {
    Put32(offset);
    Put16(segment);
  }

  // A CodeView name: a length byte and the characters.
  void PutName(std::string_view name) {
    if (name.size() > 255) {
      throw std::invalid_argument("name longer than 255 characters: " + std::string(name.substr(0, 40)) +
                                  "...");
    }
    Put8(static_cast<std::uint32_t>(name.size()));
    PutText(name);
  }

  // Numeric leaf: values below 0x8000 stand for themselves, others follow a leaf that
  // says their width and sign.
  void PutNumeric(std::int64_t value) {
    if (value >= 0 && value < 0x8000) {
      Put16(static_cast<std::uint32_t>(value));
    } else if (value >= -128 && value < 0) {
      Put16(kLeafChar);
      Put8(static_cast<std::uint32_t>(value));
    } else if (value >= -32768 && value < 0) {
      Put16(kLeafShort);
      Put16(static_cast<std::uint32_t>(value));
    } else if (value >= 0x8000 && value <= 0xFFFF) {
      Put16(kLeafUShort);
      Put16(static_cast<std::uint32_t>(value));
    } else if (value >= std::numeric_limits<std::int32_t>::min() && value < 0) {
      Put16(kLeafLong);
      Put32(static_cast<std::uint32_t>(value));
    } else if (value > 0 && value <= 0xFFFFFFFFLL) {
      Put16(kLeafULong);
      Put32(static_cast<std::uint32_t>(value));
    } else {
      throw std::invalid_argument("numeric value does not fit in 32 bits: " + std::to_string(value));
    }
  }

  // How sized records and fields end: the size (or value) as a numeric leaf, then the name.
  void PutNumericAndName(std::int64_t value, std::string_view name) {
    PutNumeric(value);
    PutName(name);
  }

  void PadZerosTo(std::uint32_t alignment, std::uint32_t from = 0) {
    while ((Size() - from) % alignment != 0) Put8(0);
  }

  // Type-record padding: 0xF3 0xF2 0xF1, each byte saying how many bytes are left to
  // the boundary, counted from the record's length word.
  void PadLeafTo4(std::uint32_t recordStart) {
    while ((Size() - recordStart) % 4 != 0) Put8(0xF0 + (4 - (Size() - recordStart) % 4));
  }

  void Patch16(std::uint32_t at, std::uint32_t value) {
    m_bytes.at(at) = static_cast<std::uint8_t>(value);
    m_bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
  }
  void Patch32(std::uint32_t at, std::uint32_t value) {
    Patch16(at, value);
    Patch16(at + 2, value >> 16);
  }

  std::uint32_t Size() const { return static_cast<std::uint32_t>(m_bytes.size()); }
  std::vector<std::uint8_t>& Bytes() { return m_bytes; }

 private:
  std::vector<std::uint8_t> m_bytes;
};

void Store16(std::vector<std::uint8_t>& bytes, std::uint32_t at, std::uint32_t value) {
  bytes.at(at) = static_cast<std::uint8_t>(value);
  bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void Store32(std::vector<std::uint8_t>& bytes, std::uint32_t at, std::uint32_t value) {
  Store16(bytes, at, value);
  Store16(bytes, at + 2, value >> 16);
}

std::uint16_t CheckedU16(std::size_t value, const char* what) {
  if (value > 0xFFFF) throw std::invalid_argument(std::string(what) + " does not fit in 16 bits");
  return static_cast<std::uint16_t>(value);
}

// ---- Where things went: used to damage one field of a written file -------------------

struct RecordPlace {
  std::uint16_t m_type = 0;
  std::uint32_t m_offset = 0;  // of the length word, from the subsection start
  std::string m_name;
};

struct LinePlaces {
  std::optional<std::uint32_t> m_firstFileOffsetField;  // all from the subsection start
  std::optional<std::uint32_t> m_firstLineTableOffsetField;
  std::optional<std::uint32_t> m_firstPairCountField;
  std::optional<std::uint32_t> m_firstLineNumberField;
};

struct Subsection {
  std::uint16_t m_type = 0;
  std::uint16_t m_module = 0;
  std::vector<std::uint8_t> m_bytes;
  std::uint32_t m_offset = 0;  // from the base, once placed
};

struct ModulePlaces {
  std::uint16_t m_index = 0;
  std::optional<std::size_t> m_module;  // positions in the subsection list
  std::optional<std::size_t> m_symbols;
  std::optional<std::size_t> m_lines;
  std::vector<RecordPlace> m_records;
  LinePlaces m_linePlaces;
};

struct Layout {
  std::uint32_t m_base = 0;
  std::uint32_t m_directory = 0;  // file positions from here on
  std::uint32_t m_trailer = 0;
  std::vector<Subsection> m_subsections;
  std::vector<ModulePlaces> m_modules;
  std::optional<std::size_t> m_globalSymbols;
  std::vector<RecordPlace> m_globalRecords;
  std::optional<std::size_t> m_globalTypes;
  std::vector<std::uint32_t> m_typeRecords;  // from the sstGlobalTypes start

  std::uint32_t FileOffsetOf(std::size_t subsection) const {
    return m_base + m_subsections.at(subsection).m_offset;
  }
  std::uint32_t DirectoryEntryOf(std::size_t subsection) const {
    return m_directory + 16 + 12 * static_cast<std::uint32_t>(subsection);
  }
};

// ---- Symbols -------------------------------------------------------------------------

// Writes one symbol stream (a module's sstAlignSym or the records of sstGlobalSym) and
// notes where each record went. Scope records point at their parent and at their S_END
// by offsets from the subsection start, which the stream's sink starts at.
class SymbolWriter {
 public:
  SymbolWriter(ByteSink& sink, bool align, std::uint32_t alignFrom)
      : m_sink(sink), m_align(align), m_alignFrom(alignFrom) {}

  std::uint32_t Begin(std::uint16_t type) {
    std::uint32_t start = m_sink.Size();
    m_sink.Put16(0);
    m_sink.Put16(type);
    m_open = {type, start, {}};
    return start;
  }

  void End(std::string_view name) {
    if (m_align) m_sink.PadZerosTo(4, m_alignFrom);
    std::uint32_t length = m_sink.Size() - m_open.m_offset - 2;
    if (length > 0xFFFF) throw std::invalid_argument("symbol record longer than 65535 bytes");
    m_sink.Patch16(m_open.m_offset, length);
    m_open.m_name = name;
    m_records.push_back(m_open);
  }

  void Variable(const CvVariable& variable) {
    switch (variable.m_storage) {
      case CvStorage::FrameRelative:
        Begin(kSymBpRel32);
        m_sink.Put32(static_cast<std::uint32_t>(variable.m_frameOffset));
        m_sink.Put16(variable.m_type);
        break;
      case CvStorage::Register:
        Begin(kSymRegister);
        m_sink.Put16s(variable.m_type, variable.m_register);
        break;
      case CvStorage::LocalData:
      case CvStorage::GlobalData:
        Begin(variable.m_storage == CvStorage::LocalData ? kSymLData32 : kSymGData32);
        m_sink.PutAddress(variable.m_offset, variable.m_segment);
        m_sink.Put16(variable.m_type);
        break;
    }
    m_sink.PutName(variable.m_name);
    End(variable.m_name);
  }

  void Label(const CvLabel& label) {
    Begin(kSymLabel32);
    m_sink.PutAddress(label.m_offset, label.m_segment);
    m_sink.Put8(label.m_flags);
    m_sink.PutName(label.m_name);
    End(label.m_name);
  }

  void Block(const CvBlock& block, std::uint32_t parent) {
    std::uint32_t start = Begin(kSymBlock32);
    std::uint32_t endField = ScopeLinks(parent, false);
    m_sink.Put32(block.m_length);
    m_sink.PutAddress(block.m_offset, block.m_segment);
    m_sink.PutName(block.m_name);
    End(block.m_name);
    for (const CvVariable& local : block.m_locals) Variable(local);
    for (const CvLabel& label : block.m_labels) Label(label);
    for (const CvBlock& inner : block.m_blocks) Block(inner, start);
    m_sink.Patch32(endField, ScopeEnd());
  }

  void Procedure(const CvProcedure& procedure) {
    std::uint32_t start = Begin(procedure.m_global ? kSymGProc32 : kSymLProc32);
    std::uint32_t endField = ScopeLinks(0, true);  // parent: procedures sit at module level
    m_sink.Put32s(procedure.m_length, procedure.m_debugStart, procedure.m_debugEnd);
    m_sink.PutAddress(procedure.m_offset, procedure.m_segment);
    m_sink.Put16(procedure.m_type);
    m_sink.Put8(procedure.m_flags);
    m_sink.PutName(procedure.m_name);
    End(procedure.m_name);
    for (const CvVariable& parameter : procedure.m_parameters) Variable(parameter);
    for (const CvVariable& local : procedure.m_locals) Variable(local);
    for (const CvLabel& label : procedure.m_labels) Label(label);
    for (const CvBlock& block : procedure.m_blocks) Block(block, start);
    if (procedure.m_writeEnd) m_sink.Patch32(endField, ScopeEnd());
  }

  void Thunk(const CvThunk& thunk) {
    Begin(kSymThunk32);
    std::uint32_t endField = ScopeLinks(0, true);
    m_sink.PutAddress(thunk.m_offset, thunk.m_segment);
    m_sink.Put16(thunk.m_length);
    m_sink.Put8(thunk.m_ordinal);
    m_sink.PutName(thunk.m_name);
    End(thunk.m_name);
    m_sink.Patch32(endField, ScopeEnd());
  }

  void Raw(const CvRawSymbol& raw) {
    Begin(raw.m_type);
    m_sink.PutBytes(raw.m_body);
    End({});
  }

  void Reference(const CvReference& reference, const std::vector<ModulePlaces>& modules) {
    const ModulePlaces* target = nullptr;
    for (const ModulePlaces& module : modules) {
      if (module.m_index == reference.m_module && module.m_symbols) {
        target = &module;
        break;
      }
    }
    if (target == nullptr) {
      throw std::invalid_argument("reference to module " + std::to_string(reference.m_module) +
                                  ", which has no symbols");
    }
    auto named = std::find_if(target->m_records.begin(), target->m_records.end(), [&](const RecordPlace& r) {
      bool kindFits = reference.m_procedure ? (r.m_type == kSymLProc32 || r.m_type == kSymGProc32)
                                            : (r.m_type == kSymLData32 || r.m_type == kSymGData32);
      return kindFits && r.m_name == reference.m_name;
    });
    if (named == target->m_records.end()) {
      throw std::invalid_argument("reference to a symbol module " + std::to_string(reference.m_module) +
                                  " does not have: " + reference.m_name);
    }
    Begin(reference.m_procedure ? kSymProcRef : kSymDataRef);
    m_sink.Put32s(reference.m_checksum, named->m_offset);
    m_sink.Put16(reference.m_module);
    End(reference.m_name);
  }

  std::vector<RecordPlace>& Records() { return m_records; }

 private:
  // The links a scope record starts with: its parent, its S_END (written as 0 and
  // patched once the scope is closed; its place is returned) and, for procedures and
  // thunks, a next link left 0.
  std::uint32_t ScopeLinks(std::uint32_t parent, bool withNext) {
    m_sink.Put32(parent);
    std::uint32_t endField = m_sink.Size();
    m_sink.Put32(0);
    if (withNext) m_sink.Put32(0);
    return endField;
  }

  std::uint32_t ScopeEnd() {
    std::uint32_t at = Begin(kSymEnd);
    End({});
    return at;
  }

  ByteSink& m_sink;
  bool m_align;
  std::uint32_t m_alignFrom;
  RecordPlace m_open;
  std::vector<RecordPlace> m_records;
};

std::vector<std::uint8_t> ModuleRecordBytes(const CvModule& module) {
  ByteSink sink;
  sink.Put16s(module.m_overlay, module.m_library, CheckedU16(module.m_segments.size(), "segment count"),
              kModuleStyleCV);
  for (const CvSegment& segment : module.m_segments) {
    sink.Put16s(segment.m_segment, 0);
    sink.Put32s(segment.m_offset, segment.m_size);
  }
  sink.PutName(module.m_name);
  return std::move(sink.Bytes());
}

std::vector<std::uint8_t> ModuleSymbolBytes(const CvModule& module, bool align,
                                            std::vector<RecordPlace>& records) {
  ByteSink sink;
  sink.Put32(1);  // signature of 32-bit symbols
  SymbolWriter writer(sink, align, 0);
  for (const CvModuleSymbol& symbol : module.m_symbols) {
    if (const auto* variable = std::get_if<CvVariable>(&symbol)) {
      writer.Variable(*variable);
    } else if (const auto* procedure = std::get_if<CvProcedure>(&symbol)) {
      writer.Procedure(*procedure);
    } else if (const auto* thunk = std::get_if<CvThunk>(&symbol)) {
      writer.Thunk(*thunk);
    } else {
      writer.Raw(std::get<CvRawSymbol>(symbol));
    }
  }
  records = std::move(writer.Records());
  return std::move(sink.Bytes());
}

std::vector<std::uint8_t> GlobalSymbolBytes(const CvProgram& program,
                                            const std::vector<ModulePlaces>& modules,
                                            std::vector<RecordPlace>& records) {
  ByteSink sink;
  sink.Put16s(0, 0);     // no symbol hash, no address hash
  sink.Put32s(0, 0, 0);  // size of the symbol records (patched below), the two hash sizes
  const std::uint32_t recordsStart = sink.Size();
  SymbolWriter writer(sink, program.m_alignSymbolRecords, recordsStart);
  for (const CvGlobalSymbol& symbol : program.m_globals) {
    if (const auto* variable = std::get_if<CvVariable>(&symbol)) {
      writer.Variable(*variable);
    } else if (const auto* reference = std::get_if<CvReference>(&symbol)) {
      writer.Reference(*reference, modules);
    } else {
      writer.Raw(std::get<CvRawSymbol>(symbol));
    }
  }
  sink.Patch32(4, sink.Size() - recordsStart);
  records = std::move(writer.Records());
  return std::move(sink.Bytes());
}

// ---- Line numbers --------------------------------------------------------------------

struct SegmentRange {
  std::uint16_t m_segment = 0;
  std::uint32_t m_start = 0;
  std::uint32_t m_end = 0;
};

// Start and end of a segment's lines: the lowest and the highest line offset.
SegmentRange RangeOf(const CvLineSegment& segment) {
  SegmentRange range{segment.m_segment, 0, 0};
  if (!segment.m_lines.empty()) {
    auto [low, high] =
        std::minmax_element(segment.m_lines.begin(), segment.m_lines.end(),
                            [](const CvLine& a, const CvLine& b) { return a.m_offset < b.m_offset; });
    range.m_start = low->m_offset;
    range.m_end = high->m_offset;
  }
  return range;
}

// sstSrcModule: a header with the file tables' offsets and the module's segment ranges,
// then per file its table (line tables' offsets, ranges, name) followed by its line
// tables. Every table starts on a 4-byte boundary; every offset is from the subsection
// start.
std::vector<std::uint8_t> SourceLineBytes(const CvModule& module, LinePlaces& places) {
  std::vector<SegmentRange> moduleRanges;
  for (const CvSourceFile& file : module.m_sourceFiles) {
    for (const CvLineSegment& segment : file.m_segments) {
      SegmentRange range = RangeOf(segment);
      auto known = std::find_if(moduleRanges.begin(), moduleRanges.end(),
                                [&](const SegmentRange& r) { return r.m_segment == range.m_segment; });
      if (known == moduleRanges.end()) {
        moduleRanges.push_back(range);
      } else {
        known->m_start = std::min(known->m_start, range.m_start);
        known->m_end = std::max(known->m_end, range.m_end);
      }
    }
  }

  ByteSink sink;
  sink.Put16(CheckedU16(module.m_sourceFiles.size(), "source file count"));
  sink.Put16(CheckedU16(moduleRanges.size(), "line segment count"));
  const std::uint32_t fileOffsets = sink.Size();
  for (std::size_t i = 0; i < module.m_sourceFiles.size(); ++i) sink.Put32(0);
  for (const SegmentRange& range : moduleRanges) {
    sink.Put32(range.m_start);
    sink.Put32(range.m_end);
  }
  for (const SegmentRange& range : moduleRanges) sink.Put16(range.m_segment);
  sink.PadZerosTo(4);
  if (!module.m_sourceFiles.empty()) places.m_firstFileOffsetField = fileOffsets;

  for (std::size_t f = 0; f < module.m_sourceFiles.size(); ++f) {
    const CvSourceFile& file = module.m_sourceFiles[f];
    sink.Patch32(fileOffsets + 4 * static_cast<std::uint32_t>(f), sink.Size());
    sink.Put16(CheckedU16(file.m_segments.size(), "line segment count"));
    sink.Put16(0);
    const std::uint32_t tableOffsets = sink.Size();
    for (std::size_t i = 0; i < file.m_segments.size(); ++i) sink.Put32(0);
    for (const CvLineSegment& segment : file.m_segments) {
      SegmentRange range = RangeOf(segment);
      sink.Put32(range.m_start);
      sink.Put32(range.m_end);
    }
    sink.PutName(file.m_name);
    sink.PadZerosTo(4);
    if (f == 0 && !file.m_segments.empty()) places.m_firstLineTableOffsetField = tableOffsets;

    for (std::size_t s = 0; s < file.m_segments.size(); ++s) {
      const CvLineSegment& segment = file.m_segments[s];
      sink.Patch32(tableOffsets + 4 * static_cast<std::uint32_t>(s), sink.Size());
      sink.Put16(segment.m_segment);
      if (f == 0 && s == 0) places.m_firstPairCountField = sink.Size();
      sink.Put16(CheckedU16(segment.m_lines.size(), "line count"));
      for (const CvLine& line : segment.m_lines) sink.Put32(line.m_offset);
      if (f == 0 && s == 0 && !segment.m_lines.empty()) places.m_firstLineNumberField = sink.Size();
      for (const CvLine& line : segment.m_lines) sink.Put16(line.m_line);
      sink.PadZerosTo(4);
    }
  }
  return std::move(sink.Bytes());
}

// ---- Types ---------------------------------------------------------------------------

class TypeWriter {
 public:
  TypeWriter(ByteSink& sink, bool pad, std::uint32_t recordStart)
      : m_sink(sink), m_pad(pad), m_recordStart(recordStart) {}

  void operator()(const CvModifierType& type) {
    m_sink.Put16s(kLeafModifier, type.m_attribute, type.m_modified);
  }
  void operator()(const CvPointerType& type) {
    m_sink.Put16s(kLeafPointer, type.m_attribute, type.m_pointee);
  }
  void operator()(const CvArrayType& type) {
    m_sink.Put16s(kLeafArray, type.m_element, type.m_index);
    m_sink.PutNumericAndName(type.m_size, type.m_name);
  }
  void operator()(const CvStructType& type) {
    m_sink.Put16s(type.m_isClass ? kLeafClass : kLeafStructure, type.m_count, type.m_fieldList, type.m_property,
                  type.m_derived, type.m_vshape);
    m_sink.PutNumericAndName(type.m_size, type.m_name);
  }
  void operator()(const CvUnionType& type) {
    m_sink.Put16s(kLeafUnion, type.m_count, type.m_fieldList, type.m_property);
    m_sink.PutNumericAndName(type.m_size, type.m_name);
  }
  void operator()(const CvEnumType& type) {
    m_sink.Put16s(kLeafEnum, type.m_count, type.m_underlying, type.m_fieldList, type.m_property);
    m_sink.PutName(type.m_name);
  }
  void operator()(const CvProcedureType& type) {
    m_sink.Put16s(kLeafProcedure, type.m_return);
    m_sink.Put8(type.m_convention);
    m_sink.Put8(0);
    m_sink.Put16s(type.m_paramCount, type.m_argList);
  }
  void operator()(const CvMemberFunctionType& type) {
    m_sink.Put16s(kLeafMemberFunction, type.m_return, type.m_class, type.m_this);
    m_sink.Put8(type.m_convention);
    m_sink.Put8(0);
    m_sink.Put16s(type.m_paramCount, type.m_argList);
    m_sink.Put32(static_cast<std::uint32_t>(type.m_thisAdjust));
  }
  void operator()(const CvLabelType& type) {
    m_sink.Put16s(kLeafLabel, type.m_mode);
  }
  void operator()(const CvBitFieldType& type) {
    m_sink.Put16(kLeafBitField);
    m_sink.Put8(type.m_length);
    m_sink.Put8(type.m_position);
    m_sink.Put16(type.m_base);
  }
  void operator()(const CvArgListType& type) {
    m_sink.Put16(kLeafArgList);
    m_sink.Put16(CheckedU16(type.m_arguments.size(), "argument count"));
    for (std::uint16_t argument : type.m_arguments) m_sink.Put16(argument);
  }
  void operator()(const CvFieldListType& type) {
    m_sink.Put16(kLeafFieldList);
    for (const CvField& field : type.m_fields) {
      std::visit([this](const auto& f) { Field(f); }, field);
      // Each field starts on a 4-byte boundary of the record.
      if (m_pad) m_sink.PadLeafTo4(m_recordStart);
    }
  }
  void operator()(const CvRawType& type) {
    m_sink.Put16(type.m_leaf);
    m_sink.PutBytes(type.m_body);
  }

 private:
  void Field(const CvMember& member) {
    m_sink.Put16s(kLeafMember, member.m_type, member.m_attribute);
    m_sink.PutNumericAndName(member.m_offset, member.m_name);
  }
  void Field(const CvBaseClass& base) {
    m_sink.Put16s(kLeafBaseClass, base.m_type, base.m_attribute);
    m_sink.PutNumeric(base.m_offset);
  }
  void Field(const CvEnumerate& enumerate) {
    m_sink.Put16s(kLeafEnumerate, enumerate.m_attribute);
    m_sink.PutNumericAndName(enumerate.m_value, enumerate.m_name);
  }
  void Field(const CvRawField& raw) {
    m_sink.Put16(raw.m_leaf);
    m_sink.PutBytes(raw.m_body);
  }

  ByteSink& m_sink;
  bool m_pad;
  std::uint32_t m_recordStart;
};

// sstGlobalTypes: signature 1, the type count, one offset per type counted from the end
// of the offset array, then the records (u16 length, leaf, body).
std::vector<std::uint8_t> GlobalTypeBytes(const CvProgram& program, std::vector<std::uint32_t>& records) {
  ByteSink sink;
  sink.Put32(1);
  sink.Put32(static_cast<std::uint32_t>(program.m_types.size()));
  const std::uint32_t offsets = sink.Size();
  for (std::size_t i = 0; i < program.m_types.size(); ++i) sink.Put32(0);
  const std::uint32_t recordsStart = sink.Size();
  for (std::size_t i = 0; i < program.m_types.size(); ++i) {
    const std::uint32_t start = sink.Size();
    sink.Patch32(offsets + 4 * static_cast<std::uint32_t>(i), start - recordsStart);
    records.push_back(start);
    sink.Put16(0);
    std::visit(TypeWriter(sink, program.m_padTypeRecords, start), program.m_types[i]);
    if (program.m_padTypeRecords) sink.PadLeafTo4(start);
    const std::uint32_t length = sink.Size() - start - 2;
    if (length > 0xFFFF) throw std::invalid_argument("type record longer than 65535 bytes");
    sink.Patch16(start, length);
  }
  return std::move(sink.Bytes());
}

// ---- The whole file ------------------------------------------------------------------

std::vector<std::uint8_t> Assemble(const CvProgram& program, CvVariant variant, Layout& layout) {
  if (program.m_modules.size() >= kGlobalModuleIndex) throw std::invalid_argument("too many modules");
  std::vector<Subsection>& subsections = layout.m_subsections;

  for (std::size_t m = 0; m < program.m_modules.size(); ++m) {
    const CvModule& module = program.m_modules[m];
    ModulePlaces places;
    places.m_index = module.m_index != 0 ? module.m_index : static_cast<std::uint16_t>(m + 1);
    places.m_module = subsections.size();
    subsections.push_back({kSstModule, places.m_index, ModuleRecordBytes(module)});
    layout.m_modules.push_back(std::move(places));
  }
  for (std::size_t m = 0; m < program.m_modules.size(); ++m) {
    const CvModule& module = program.m_modules[m];
    ModulePlaces& places = layout.m_modules[m];
    if (module.m_writeSymbols) {
      places.m_symbols = subsections.size();
      subsections.push_back({kSstAlignSym, places.m_index,
                             ModuleSymbolBytes(module, program.m_alignSymbolRecords, places.m_records)});
    }
    if (!module.m_sourceFiles.empty()) {
      places.m_lines = subsections.size();
      subsections.push_back({kSstSrcModule, places.m_index, SourceLineBytes(module, places.m_linePlaces)});
    }
  }
  if (program.m_writeGlobalSymbols) {
    layout.m_globalSymbols = subsections.size();
    subsections.push_back({kSstGlobalSym, kGlobalModuleIndex,
                           GlobalSymbolBytes(program, layout.m_modules, layout.m_globalRecords)});
  } else if (!program.m_globals.empty()) {
    throw std::invalid_argument("global symbols described but no sstGlobalSym written");
  }
  if (program.m_writeGlobalTypes) {
    layout.m_globalTypes = subsections.size();
    subsections.push_back(
        {kSstGlobalTypes, kGlobalModuleIndex, GlobalTypeBytes(program, layout.m_typeRecords)});
  } else if (!program.m_types.empty()) {
    throw std::invalid_argument("types described but no sstGlobalTypes written");
  }
  for (const CvRawSubsection& extra : program.m_extraSubsections) {
    subsections.push_back({extra.m_type, extra.m_module, extra.m_bytes});
  }

  ByteSink out;
  out.PutBytes(program.m_leadingBytes);
  const std::uint32_t base = out.Size();
  layout.m_base = base;
  const std::string_view signature = SignatureOf(variant);
  out.PutText(signature);
  out.Put32(0);  // directory offset, patched below
  for (Subsection& subsection : subsections) {
    out.PadZerosTo(4, base);
    subsection.m_offset = out.Size() - base;
    out.PutBytes(subsection.m_bytes);
  }
  out.PadZerosTo(4, base);
  layout.m_directory = out.Size();
  out.Patch32(base + 4, out.Size() - base);
  out.Put16s(16, 12);
  out.Put32s(static_cast<std::uint32_t>(subsections.size()), 0, 0);
  for (const Subsection& subsection : subsections) {
    out.Put16s(subsection.m_type, subsection.m_module);
    out.Put32s(subsection.m_offset, static_cast<std::uint32_t>(subsection.m_bytes.size()));
  }
  layout.m_trailer = out.Size();
  out.PutText(signature);
  out.Put32(out.Size() + 4 - base);
  return std::move(out.Bytes());
}

// ---- Damage --------------------------------------------------------------------------

constexpr std::uint16_t kOutOfRangeTypeIndex = 40000;
constexpr std::uint16_t kMissingModuleIndex = 0x7FFF;
constexpr std::uint32_t kBeyondSubsection = 0x20;

[[noreturn]] void Lacks(const char* what) {
  throw std::invalid_argument(std::string("the program has no ") + what + " to damage");
}

const ModulePlaces& FirstModule(const Layout& layout) {
  if (layout.m_modules.empty()) Lacks("module");
  return layout.m_modules.front();
}

std::size_t FirstModuleSymbols(const Layout& layout) {
  const ModulePlaces& module = FirstModule(layout);
  if (!module.m_symbols) Lacks("symbols in its first module");
  return *module.m_symbols;
}

std::size_t FirstModuleLines(const Layout& layout) {
  const ModulePlaces& module = FirstModule(layout);
  if (!module.m_lines) Lacks("line numbers in its first module");
  return *module.m_lines;
}

const RecordPlace& FirstRecordOf(const std::vector<RecordPlace>& records,
                                 std::initializer_list<std::uint16_t> types, const char* what) {
  for (const RecordPlace& record : records) {
    if (std::find(types.begin(), types.end(), record.m_type) != types.end()) return record;
  }
  Lacks(what);
}

std::size_t FirstPointerType(const CvProgram& program) {
  for (std::size_t i = 0; i < program.m_types.size(); ++i) {
    if (std::holds_alternative<CvPointerType>(program.m_types[i])) return i;
  }
  Lacks("pointer type");
}

void PutSignature(std::vector<std::uint8_t>& bytes, std::uint32_t at, std::string_view signature) {
  std::copy(signature.begin(), signature.end(), bytes.begin() + at);
}

CvProcedure* FirstProcedure(CvModule& module) {
  for (CvModuleSymbol& symbol : module.m_symbols) {
    if (auto* procedure = std::get_if<CvProcedure>(&symbol)) return procedure;
  }
  return nullptr;
}

// Corruptions that change the description; the result is written the ordinary way.
std::optional<CvProgram> DamagedDescription(const CvProgram& program, CvCorruption corruption) {
  CvProgram changed = program;
  switch (corruption) {
    case CvCorruption::UnbalancedScopeEnd:
      if (changed.m_modules.empty() || !changed.m_modules.front().m_writeSymbols)
        Lacks("symbols in its first module");
      changed.m_modules.front().m_symbols.push_back(CvRawSymbol{kSymEnd, {}});
      return changed;
    case CvCorruption::MissingScopeEnd: {
      CvProcedure* procedure =
          changed.m_modules.empty() ? nullptr : FirstProcedure(changed.m_modules.front());
      if (procedure == nullptr || !changed.m_modules.front().m_writeSymbols)
        Lacks("procedure in its first module");
      procedure->m_writeEnd = false;
      return changed;
    }
    case CvCorruption::SixteenUnknownLeaves:
      if (!changed.m_writeGlobalTypes) Lacks("type table");
      for (int i = 0; i < 16; ++i) changed.m_types.push_back(CvRawType{kLeafUnknown, {0, 0}});
      return changed;
    case CvCorruption::TooManyUnionGroups: {
      if (!changed.m_writeGlobalTypes) Lacks("type table");
      std::vector<CvField> members;
      for (int i = 0; i < 128; ++i) {
        members.push_back(CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "m" + std::to_string(i)});
      }
      AddUnion(changed, "wide", 4, std::move(members));
      return changed;
    }
    default:
      return std::nullopt;
  }
}

void DamageBytes(const CvProgram& program, std::vector<std::uint8_t>& bytes, const Layout& layout,
                 CvCorruption corruption) {
  const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
  switch (corruption) {
    case CvCorruption::TruncatedTrailer:
      bytes.erase(bytes.end() - 4, bytes.end());  // the distance word
      return;
    case CvCorruption::TrailerDistanceBeyondFile:
      Store32(bytes, layout.m_trailer + 4, size + 0x100);
      return;
    case CvCorruption::NoCodeViewSignature:
      PutSignature(bytes, layout.m_trailer, std::string_view("\0\0\0\0", 4));
      return;
    case CvCorruption::SignatureNB04:
    case CvCorruption::SignatureNB08:
    case CvCorruption::SignatureNB10: {
      std::string_view signature = corruption == CvCorruption::SignatureNB04   ? "NB04"
                                   : corruption == CvCorruption::SignatureNB08 ? "NB08"
                                                                               : "NB10";
      PutSignature(bytes, layout.m_base, signature);
      PutSignature(bytes, layout.m_trailer, signature);
      return;
    }
    case CvCorruption::HeaderSignatureBad:
      PutSignature(bytes, layout.m_base, "XX");
      return;
    case CvCorruption::DirectoryEntrySizeSmall:
      Store16(bytes, layout.m_directory + 2, 8);
      return;
    case CvCorruption::DirectoryCountBeyondFile:
      Store32(bytes, layout.m_directory + 4,
              static_cast<std::uint32_t>(layout.m_subsections.size()) + 0x100000);
      return;
    case CvCorruption::DirectoryCountWraps:
      // 0x15555556 entries of 12 bytes are 0x1'0000'0008 bytes: 8 in 32-bit arithmetic.
      Store32(bytes, layout.m_directory + 4, 0x15555556);
      return;
    case CvCorruption::SubsectionBeyondFile:
      Store32(bytes, layout.DirectoryEntryOf(FirstModuleSymbols(layout)) + 4, size - layout.m_base + 0x1000);
      return;
    case CvCorruption::ModuleStyleBad:
      Store16(bytes, layout.FileOffsetOf(*FirstModule(layout).m_module) + 6, 0);
      return;
    case CvCorruption::AlignSymSignatureZero:
      Store32(bytes, layout.FileOffsetOf(FirstModuleSymbols(layout)), 0);
      return;
    case CvCorruption::RecordLengthBelowTypeWord: {
      std::uint32_t symbols = layout.FileOffsetOf(FirstModuleSymbols(layout));
      if (FirstModule(layout).m_records.empty()) Lacks("symbol record in its first module");
      Store16(bytes, symbols + FirstModule(layout).m_records.front().m_offset, 0);
      return;
    }
    case CvCorruption::RecordLengthBelowFixedBody: {
      std::uint32_t symbols = layout.FileOffsetOf(FirstModuleSymbols(layout));
      const RecordPlace& procedure = FirstRecordOf(FirstModule(layout).m_records, {kSymLProc32, kSymGProc32},
                                                   "procedure in its first module");
      Store16(bytes, symbols + procedure.m_offset, 2 + 10);  // the fixed body is 34 bytes
      return;
    }
    case CvCorruption::RecordLengthBeyondSubsection: {
      std::size_t subsection = FirstModuleSymbols(layout);
      if (FirstModule(layout).m_records.empty()) Lacks("symbol record in its first module");
      const RecordPlace& last = FirstModule(layout).m_records.back();
      std::uint32_t subsectionSize =
          static_cast<std::uint32_t>(layout.m_subsections[subsection].m_bytes.size());
      std::uint32_t length = subsectionSize - last.m_offset - 2 + 0x10;
      if (length > 0xFFFF) throw std::invalid_argument("last symbol record too long to stretch");
      Store16(bytes, layout.FileOffsetOf(subsection) + last.m_offset, length);
      return;
    }
    case CvCorruption::SymbolTypeIndexOutOfRange: {
      std::uint32_t symbols = layout.FileOffsetOf(FirstModuleSymbols(layout));
      const RecordPlace& local = FirstRecordOf(FirstModule(layout).m_records, {kSymBpRel32},
                                               "frame-relative symbol in its first module");
      Store16(bytes, symbols + local.m_offset + 8, kOutOfRangeTypeIndex);
      return;
    }
    case CvCorruption::ProcRefModuleMissing: {
      if (!layout.m_globalSymbols) Lacks("global symbols");
      for (const ModulePlaces& module : layout.m_modules) {
        if (module.m_index == kMissingModuleIndex) Lacks("free module index");
      }
      const RecordPlace& reference =
          FirstRecordOf(layout.m_globalRecords, {kSymProcRef}, "procedure reference");
      Store16(bytes, layout.FileOffsetOf(*layout.m_globalSymbols) + reference.m_offset + 12,
              kMissingModuleIndex);
      return;
    }
    case CvCorruption::LineFileOffsetBeyondSubsection:
    case CvCorruption::LineTableOffsetBeyondSubsection:
    case CvCorruption::LinePairCountBeyondSubsection:
    case CvCorruption::LineNumberZero: {
      std::size_t subsection = FirstModuleLines(layout);
      const LinePlaces& places = FirstModule(layout).m_linePlaces;
      const std::uint32_t start = layout.FileOffsetOf(subsection);
      const std::uint32_t beyond =
          static_cast<std::uint32_t>(layout.m_subsections[subsection].m_bytes.size()) + kBeyondSubsection;
      if (corruption == CvCorruption::LineFileOffsetBeyondSubsection) {
        Store32(bytes, start + *places.m_firstFileOffsetField, beyond);
      } else if (corruption == CvCorruption::LineTableOffsetBeyondSubsection) {
        if (!places.m_firstLineTableOffsetField) Lacks("line table in its first source file");
        Store32(bytes, start + *places.m_firstLineTableOffsetField, beyond);
      } else if (corruption == CvCorruption::LinePairCountBeyondSubsection) {
        if (!places.m_firstPairCountField) Lacks("line table in its first source file");
        Store16(bytes, start + *places.m_firstPairCountField, 0xFFFF);
      } else {
        if (!places.m_firstLineNumberField) Lacks("line in its first line table");
        Store16(bytes, start + *places.m_firstLineNumberField, 0);
      }
      return;
    }
    case CvCorruption::GlobalTypesSignatureBad:
      if (!layout.m_globalTypes) Lacks("type table");
      Store32(bytes, layout.FileOffsetOf(*layout.m_globalTypes), 0);
      return;
    case CvCorruption::UnknownLeaf:
    case CvCorruption::TypeIndexOutOfRange: {
      std::size_t pointer = FirstPointerType(program);
      std::uint32_t record = layout.FileOffsetOf(*layout.m_globalTypes) + layout.m_typeRecords.at(pointer);
      if (corruption == CvCorruption::UnknownLeaf) {
        Store16(bytes, record + 2, kLeafUnknown);
      } else {
        Store16(bytes, record + 6, kOutOfRangeTypeIndex);
      }
      return;
    }
    case CvCorruption::UnbalancedScopeEnd:
    case CvCorruption::MissingScopeEnd:
    case CvCorruption::SixteenUnknownLeaves:
    case CvCorruption::TooManyUnionGroups:
      return;  // damaged in the description
  }
}

constexpr std::array<CvCorruptionInfo, 29> kCorruptions = {{
    {CvCorruption::TruncatedTrailer, "truncated-trailer",
     "the file ends after the trailer's signature: the distance word is cut off"},
    {CvCorruption::TrailerDistanceBeyondFile, "trailer-distance-beyond-file",
     "the trailer's distance is 256 bytes more than the file size"},
    {CvCorruption::NoCodeViewSignature, "no-codeview-signature",
     "the trailer's signature is four zero bytes"},
    {CvCorruption::SignatureNB04, "signature-nb04", "header and trailer say NB04"},
    {CvCorruption::SignatureNB08, "signature-nb08", "header and trailer say NB08"},
    {CvCorruption::SignatureNB10, "signature-nb10", "header and trailer say NB10"},
    {CvCorruption::HeaderSignatureBad, "header-signature-bad",
     "the header's signature at the base begins with XX instead of NB"},
    {CvCorruption::DirectoryEntrySizeSmall, "directory-entry-size-small",
     "the directory header's entry size is 8"},
    {CvCorruption::DirectoryCountBeyondFile, "directory-count-beyond-file",
     "the directory's entry count is 0x100000 more than written"},
    {CvCorruption::DirectoryCountWraps, "directory-count-wraps",
     "the directory's entry count is 0x15555556, whose 12-byte entries wrap a 32-bit size to 8"},
    {CvCorruption::SubsectionBeyondFile, "subsection-beyond-file",
     "the directory entry of the first module's sstAlignSym points 4096 bytes past the end of the file"},
    {CvCorruption::ModuleStyleBad, "module-style-bad", "the first module's sstModule style word is 0"},
    {CvCorruption::AlignSymSignatureZero, "alignsym-signature-zero",
     "the first module's sstAlignSym signature is 0"},
    {CvCorruption::RecordLengthBelowTypeWord, "record-length-below-type-word",
     "the first symbol record of the first module has length 0"},
    {CvCorruption::RecordLengthBelowFixedBody, "record-length-below-fixed-body",
     "the first procedure record of the first module has length 12 (its fixed body is 34 bytes)"},
    {CvCorruption::RecordLengthBeyondSubsection, "record-length-beyond-subsection",
     "the last symbol record of the first module reaches 16 bytes past the end of its sstAlignSym"},
    {CvCorruption::UnbalancedScopeEnd, "unbalanced-scope-end",
     "an extra S_END at the end of the first module's symbols"},
    {CvCorruption::MissingScopeEnd, "missing-scope-end",
     "the first procedure of the first module has no S_END (its end field is 0)"},
    {CvCorruption::SymbolTypeIndexOutOfRange, "symbol-type-index-out-of-range",
     "the first frame-relative symbol of the first module has type index 40000"},
    {CvCorruption::ProcRefModuleMissing, "procref-module-missing",
     "the first S_PROCREF names module 0x7FFF, which does not exist"},
    {CvCorruption::LineFileOffsetBeyondSubsection, "line-file-offset-beyond-subsection",
     "the first file table's offset in the first module's sstSrcModule is 32 bytes past its end"},
    {CvCorruption::LineTableOffsetBeyondSubsection, "line-table-offset-beyond-subsection",
     "the first line table's offset in the first module's sstSrcModule is 32 bytes past its end"},
    {CvCorruption::LinePairCountBeyondSubsection, "line-count-beyond-subsection",
     "the first line table of the first module counts 65535 lines"},
    {CvCorruption::LineNumberZero, "line-number-zero",
     "the first line of the first module's first line table has number 0"},
    {CvCorruption::GlobalTypesSignatureBad, "global-types-signature-bad",
     "the sstGlobalTypes signature is 0"},
    {CvCorruption::UnknownLeaf, "unknown-leaf", "the first pointer type's leaf is 0x0017"},
    {CvCorruption::SixteenUnknownLeaves, "sixteen-unknown-leaves",
     "sixteen type records with leaf 0x0017 follow the program's types"},
    {CvCorruption::TypeIndexOutOfRange, "type-index-out-of-range",
     "the first pointer type points at type index 40000"},
    {CvCorruption::TooManyUnionGroups, "too-many-union-groups",
     "a field list of 128 int members and a union \"wide\" of them follow the program's types"},
}};

constexpr bool TableFollowsEnumeration() {
  for (std::size_t i = 0; i < kCorruptions.size(); ++i) {
    if (static_cast<std::size_t>(kCorruptions[i].m_corruption) != i) return false;
  }
  return true;
}
static_assert(TableFollowsEnumeration(), "one row per corruption, in the enumeration's order");

}  // namespace

std::string_view SignatureOf(CvVariant variant) {
  switch (variant) {
    case CvVariant::NB05:
      return "NB05";
    case CvVariant::NB06:
      return "NB06";
    case CvVariant::NB07:
      return "NB07";
    case CvVariant::NB09:
      return "NB09";
  }
  throw std::invalid_argument("unknown CodeView variant");
}

std::uint16_t AddType(CvProgram& program, CvType type) {
  std::size_t index = kFirstTypeIndex + program.m_types.size();
  if (index > 0xFFFF) throw std::invalid_argument("too many types");
  program.m_types.push_back(std::move(type));
  return static_cast<std::uint16_t>(index);
}

std::uint16_t AddStructure(CvProgram& program, std::string name, std::uint32_t size,
                           std::vector<CvField> fields, bool isClass) {
  std::uint16_t count = CheckedU16(fields.size(), "member count");
  std::uint16_t list = AddType(program, CvFieldListType{std::move(fields)});
  return AddType(program, CvStructType{.m_isClass = isClass,
                                       .m_count = count,
                                       .m_fieldList = list,
                                       .m_size = size,
                                       .m_name = std::move(name)});
}

std::uint16_t AddUnion(CvProgram& program, std::string name, std::uint32_t size,
                       std::vector<CvField> fields) {
  std::uint16_t count = CheckedU16(fields.size(), "member count");
  std::uint16_t list = AddType(program, CvFieldListType{std::move(fields)});
  return AddType(
      program, CvUnionType{.m_count = count, .m_fieldList = list, .m_size = size, .m_name = std::move(name)});
}

std::uint16_t AddEnum(CvProgram& program, std::string name, std::uint16_t underlying,
                      std::vector<CvField> enumerates) {
  std::uint16_t count = CheckedU16(enumerates.size(), "enumerate count");
  std::uint16_t list = AddType(program, CvFieldListType{std::move(enumerates)});
  return AddType(
      program,
      CvEnumType{
          .m_count = count, .m_underlying = underlying, .m_fieldList = list, .m_name = std::move(name)});
}

std::uint16_t AddProcedureType(CvProgram& program, std::uint16_t returnType,
                               std::vector<std::uint16_t> arguments, std::uint8_t convention) {
  std::uint16_t count = CheckedU16(arguments.size(), "argument count");
  std::uint16_t list = AddType(program, CvArgListType{std::move(arguments)});
  return AddType(
      program,
      CvProcedureType{
          .m_return = returnType, .m_convention = convention, .m_paramCount = count, .m_argList = list});
}

std::vector<std::uint8_t> WriteCodeView(const CvProgram& program, CvVariant variant) {
  Layout layout;
  return Assemble(program, variant, layout);
}

std::span<const CvCorruptionInfo> CorruptionTable() { return kCorruptions; }

std::vector<std::uint8_t> WriteCorruptCodeView(const CvProgram& program, CvVariant variant,
                                               CvCorruption corruption) {
  if (std::optional<CvProgram> changed = DamagedDescription(program, corruption)) {
    return WriteCodeView(*changed, variant);
  }
  Layout layout;
  std::vector<std::uint8_t> bytes = Assemble(program, variant, layout);
  DamageBytes(program, bytes, layout, corruption);
  return bytes;
}

CvProgram MakeSampleProgram() {
  CvProgram program;
  program.m_leadingBytes = {'M', 'Z', 0x90, 0x00, 0x03, 0x00, 0x00, 0x00};

  // Types. Primitive indices used: 0x0003 void, 0x0040 float, 0x0070 char,
  // 0x0074 int, 0x0075 unsigned int.
  const std::uint16_t flagsField =
      AddType(program, CvBitFieldType{.m_length = 3, .m_position = 2, .m_base = 0x0075});
  const std::uint16_t point = AddStructure(program, "point", 16,
                                           {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "x"},
                                            CvMember{.m_type = 0x0074, .m_offset = 4, .m_name = "y"},
                                            CvMember{.m_type = flagsField, .m_offset = 8, .m_name = "flags"},
                                            CvMember{.m_type = 0x0070, .m_offset = 15, .m_name = "tag"}});
  const std::uint16_t pointPtr =
      AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = point});
  const std::uint16_t constChar =
      AddType(program, CvModifierType{.m_attribute = kModifierConst, .m_modified = 0x0070});
  const std::uint16_t constCharPtr =
      AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = constChar});
  const std::uint16_t intArray =
      AddType(program, CvArrayType{.m_element = 0x0074, .m_index = 0x0075, .m_size = 40, .m_name = ""});
  const std::uint16_t colour = AddEnum(
      program, "colour", 0x0074,
      {CvEnumerate{.m_value = 0, .m_name = "RED"}, CvEnumerate{.m_value = 1, .m_name = "GREEN"},
       CvEnumerate{.m_value = 0x9000, .m_name = "BLUE"}, CvEnumerate{.m_value = -1, .m_name = "NONE"}});
  const std::uint16_t value = AddUnion(program, "value", 4,
                                       {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "i"},
                                        CvMember{.m_type = 0x0040, .m_offset = 0, .m_name = "f"},
                                        CvMember{.m_type = 0x0070, .m_offset = 0, .m_name = "c"}});
  const std::uint16_t point3 = AddStructure(program, "point3", 20,
                                            {CvBaseClass{.m_type = point, .m_offset = 0},
                                             CvMember{.m_type = 0x0074, .m_offset = 16, .m_name = "z"}},
                                            /*isClass=*/true);
  const std::uint16_t point3Ptr =
      AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = point3});
  const std::uint16_t mainType = AddProcedureType(program, 0x0074, {pointPtr, constCharPtr});
  const std::uint16_t voidProc = AddProcedureType(program, 0x0003, {});
  // AddProcedureType puts the argument list right before the procedure type.
  const std::uint16_t noArgs = static_cast<std::uint16_t>(voidProc - 1);
  AddType(program, CvMemberFunctionType{.m_return = 0x0074,
                                        .m_class = point3,
                                        .m_this = point3Ptr,
                                        .m_paramCount = 0,
                                        .m_argList = noArgs});
  AddType(program, CvLabelType{.m_mode = 0});
  AddType(
      program,
      CvStructType{.m_count = 0, .m_fieldList = 0, .m_property = 0x0080, .m_size = 0, .m_name = "opaque"});

  // Module 1: the main source with two procedures, module statics and a thunk.
  CvModule mainModule;
  mainModule.m_name = "C:\\NLM\\SRC\\_main.c";
  mainModule.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x0000, .m_size = 0x80}};
  mainModule.m_symbols.push_back(CvRawSymbol{kSymCompile, {0x04, 0x00, 0x00, 0x00, 0x03, 'c', 'c', '1'}});
  mainModule.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "counter", .m_type = 0x0074, .m_offset = 0x10});
  CvProcedure mainProcedure{.m_name = "main",
                            .m_global = true,
                            .m_offset = 0x00,
                            .m_length = 0x40,
                            .m_debugStart = 0x03,
                            .m_debugEnd = 0x3E,
                            .m_type = mainType};
  mainProcedure.m_parameters = {
      CvVariable{
          .m_storage = CvStorage::FrameRelative, .m_name = "origin", .m_type = pointPtr, .m_frameOffset = 8},
      CvVariable{.m_storage = CvStorage::FrameRelative,
                 .m_name = "label",
                 .m_type = constCharPtr,
                 .m_frameOffset = 12}};
  mainProcedure.m_locals = {
      CvVariable{
          .m_storage = CvStorage::FrameRelative, .m_name = "total", .m_type = 0x0074, .m_frameOffset = -4},
      // CodeView register 20 is EBX.
      CvVariable{.m_storage = CvStorage::Register, .m_name = "p", .m_type = pointPtr, .m_register = 20},
      CvVariable{
          .m_storage = CvStorage::FrameRelative, .m_name = "shade", .m_type = colour, .m_frameOffset = -8}};
  mainProcedure.m_labels = {CvLabel{.m_name = "retry", .m_offset = 0x20}};
  CvBlock inner{.m_name = "",
                .m_offset = 0x14,
                .m_length = 0x08,
                // CodeView register 23 is ESI.
                .m_locals = {CvVariable{
                    .m_storage = CvStorage::Register, .m_name = "tmp", .m_type = 0x0070, .m_register = 23}}};
  CvBlock outer{
      .m_name = "",
      .m_offset = 0x10,
      .m_length = 0x18,
      .m_locals = {CvVariable{
          .m_storage = CvStorage::FrameRelative, .m_name = "k", .m_type = 0x0074, .m_frameOffset = -12}},
      .m_blocks = {inner}};
  mainProcedure.m_blocks = {outer};
  mainModule.m_symbols.push_back(mainProcedure);
  CvProcedure helper{
      .m_name = "helper", .m_global = false, .m_offset = 0x40, .m_length = 0x30, .m_type = voidProc};
  helper.m_locals = {
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "calls", .m_type = 0x0074, .m_offset = 0x14},
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "v", .m_type = value, .m_frameOffset = -4}};
  mainModule.m_symbols.push_back(helper);
  mainModule.m_symbols.push_back(CvThunk{.m_name = "adjustor", .m_offset = 0x70, .m_length = 0x10});
  mainModule.m_sourceFiles = {
      CvSourceFile{.m_name = "C:\\NLM\\SRC\\main.c",
                   .m_segments = {CvLineSegment{
                       .m_segment = 1,
                       .m_lines = {{0x00, 10}, {0x08, 11}, {0x10, 12}, {0x20, 14}, {0x40, 20}, {0x48, 21}}}}},
      CvSourceFile{.m_name = "C:\\NLM\\SRC\\main.h",
                   .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x60, 5}}}}}};
  program.m_modules.push_back(mainModule);

  // Module 2: a second source with global data and one procedure.
  CvModule utilModule;
  utilModule.m_name = "C:\\NLM\\SRC\\util.c";
  utilModule.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x80, .m_size = 0x40}};
  utilModule.m_symbols.push_back(CvVariable{
      .m_storage = CvStorage::GlobalData, .m_name = "_table", .m_type = intArray, .m_offset = 0x20});
  CvProcedure utilInit{.m_name = "util_init", .m_offset = 0x80, .m_length = 0x40, .m_type = voidProc};
  utilInit.m_locals = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "c", .m_type = colour, .m_frameOffset = -4},
      CvVariable{
          .m_storage = CvStorage::FrameRelative, .m_name = "where", .m_type = point3, .m_frameOffset = -24}};
  utilModule.m_symbols.push_back(utilInit);
  utilModule.m_sourceFiles = {CvSourceFile{
      .m_name = "C:\\NLM\\SRC\\util.c",
      .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x80, 3}, {0x90, 4}, {0xB0, 6}}}}}};
  program.m_modules.push_back(utilModule);

  program.m_globals = {
      CvVariable{
          .m_storage = CvStorage::GlobalData, .m_name = "__g_count", .m_type = 0x0074, .m_offset = 0x00},
      CvReference{.m_procedure = true, .m_module = 1, .m_name = "main"},
      CvReference{.m_procedure = true, .m_module = 2, .m_name = "util_init"},
      CvReference{.m_procedure = false, .m_module = 1, .m_name = "counter"},
      CvReference{.m_procedure = false, .m_module = 2, .m_name = "_table"},
      CvRawSymbol{kSymUdt,
                  {static_cast<std::uint8_t>(point), static_cast<std::uint8_t>(point >> 8), 5, 'p', 'o', 'i',
                   'n', 't'}}};

  // A subsection of a kind the symbol readers do not read (the segment map's type);
  // its contents are never looked at.
  program.m_extraSubsections = {CvRawSubsection{kSstSegMap, kGlobalModuleIndex, {2, 0, 2, 0, 0, 0, 0, 0}}};
  return program;
}

}  // namespace zentor::cvfixture
