#pragma once
// CodeView fixture writer: builds symbol files with CodeView NB05, NB06, NB07 or NB09
// debug information from a small description of a program, and deliberately damaged
// variants of them. The symbol-file loader's tests use it to get inputs whose every
// byte is known; the `cvfixture` program writes the sample program to a file.
//
// What is written (all numbers little-endian, every offset relative to the base, the
// first byte of the debug information):
//   [leading bytes] header ("NBxx", u32 directory offset) | all sstModule subsections |
//   per module its sstAlignSym and sstSrcModule | sstGlobalSym | sstGlobalTypes |
//   extra subsections | directory (16-byte header, 12-byte entries) |
//   trailer ("NBxx", u32 distance from the end of the file back to the base).
// Every subsection starts on a 4-byte boundary counted from the base; the directory's
// size fields give the unpadded sizes. The four versions share one layout and differ
// only in the signature written in the header and the trailer.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zentor::cvfixture {

enum class CvVariant { NB05, NB06, NB07, NB09 };

// "NB05", "NB06", "NB07" or "NB09".
std::string_view SignatureOf(CvVariant variant);

// Subsection types.
inline constexpr std::uint16_t kSstModule = 0x0120;
inline constexpr std::uint16_t kSstAlignSym = 0x0125;
inline constexpr std::uint16_t kSstSrcModule = 0x0127;
inline constexpr std::uint16_t kSstGlobalSym = 0x0129;
inline constexpr std::uint16_t kSstGlobalTypes = 0x012B;
inline constexpr std::uint16_t kSstSegMap = 0x012D;
inline constexpr std::uint16_t kGlobalModuleIndex = 0xFFFF;  // module index of the global subsections
inline constexpr std::uint16_t kModuleStyleCV = 0x5643;      // "CV"

// Symbol record types.
inline constexpr std::uint16_t kSymCompile = 0x0001;
inline constexpr std::uint16_t kSymRegister = 0x0002;
inline constexpr std::uint16_t kSymConstant = 0x0003;
inline constexpr std::uint16_t kSymUdt = 0x0004;
inline constexpr std::uint16_t kSymEnd = 0x0006;
inline constexpr std::uint16_t kSymBpRel32 = 0x0200;
inline constexpr std::uint16_t kSymLData32 = 0x0201;
inline constexpr std::uint16_t kSymGData32 = 0x0202;
inline constexpr std::uint16_t kSymLProc32 = 0x0204;
inline constexpr std::uint16_t kSymGProc32 = 0x0205;
inline constexpr std::uint16_t kSymThunk32 = 0x0206;
inline constexpr std::uint16_t kSymBlock32 = 0x0207;
inline constexpr std::uint16_t kSymLabel32 = 0x0209;
inline constexpr std::uint16_t kSymProcRef = 0x0400;
inline constexpr std::uint16_t kSymDataRef = 0x0401;
inline constexpr std::uint16_t kSymAlign = 0x0402;

// Type leaves.
inline constexpr std::uint16_t kLeafModifier = 0x0001;
inline constexpr std::uint16_t kLeafPointer = 0x0002;
inline constexpr std::uint16_t kLeafArray = 0x0003;
inline constexpr std::uint16_t kLeafClass = 0x0004;
inline constexpr std::uint16_t kLeafStructure = 0x0005;
inline constexpr std::uint16_t kLeafUnion = 0x0006;
inline constexpr std::uint16_t kLeafEnum = 0x0007;
inline constexpr std::uint16_t kLeafProcedure = 0x0008;
inline constexpr std::uint16_t kLeafMemberFunction = 0x0009;
inline constexpr std::uint16_t kLeafLabel = 0x000E;
inline constexpr std::uint16_t kLeafArgList = 0x0201;
inline constexpr std::uint16_t kLeafFieldList = 0x0204;
inline constexpr std::uint16_t kLeafBitField = 0x0206;
inline constexpr std::uint16_t kLeafBaseClass = 0x0400;
inline constexpr std::uint16_t kLeafEnumerate = 0x0403;
inline constexpr std::uint16_t kLeafMember = 0x0406;
// Numeric leaves that prefix values which do not fit below 0x8000.
inline constexpr std::uint16_t kLeafChar = 0x8000;
inline constexpr std::uint16_t kLeafShort = 0x8001;
inline constexpr std::uint16_t kLeafUShort = 0x8002;
inline constexpr std::uint16_t kLeafLong = 0x8003;
inline constexpr std::uint16_t kLeafULong = 0x8004;
// A leaf no reader of these versions knows.
inline constexpr std::uint16_t kLeafUnknown = 0x0017;

// First index of the types in the global type table; lower indices are primitives.
inline constexpr std::uint16_t kFirstTypeIndex = 0x1000;
// Pointer attribute words: bits 0-4 pointer type, bits 5-7 pointer mode.
inline constexpr std::uint16_t kPointerNear32 = 0x000A;
inline constexpr std::uint16_t kPointerFar32 = 0x000B;
// Modifier attribute bits.
inline constexpr std::uint16_t kModifierConst = 0x0001;
inline constexpr std::uint16_t kModifierVolatile = 0x0002;
// Access attribute of a public member.
inline constexpr std::uint16_t kMemberPublic = 0x0003;

// ---- Symbols -------------------------------------------------------------------------

enum class CvStorage {
  FrameRelative,  // S_BPREL32: a parameter or local at a frame offset
  Register,       // S_REGISTER
  LocalData,      // S_LDATA32: static data of the module or the procedure
  GlobalData,     // S_GDATA32
};

struct CvVariable {
  CvStorage m_storage = CvStorage::FrameRelative;
  std::string m_name{};
  std::uint16_t m_type = 0;
  std::int32_t m_frameOffset = 0;  // FrameRelative
  std::uint16_t m_register = 0;    // Register: CodeView register number
  std::uint32_t m_offset = 0;      // LocalData, GlobalData: offset in the data space
  std::uint16_t m_segment = 2;     // LocalData, GlobalData
};

struct CvLabel {
  std::string m_name{};
  std::uint32_t m_offset = 0;
  std::uint16_t m_segment = 1;
  std::uint8_t m_flags = 0;
};

// A lexical block (S_BLOCK32 ... S_END).
struct CvBlock {
  std::string m_name{};
  std::uint32_t m_offset = 0;
  std::uint32_t m_length = 0;
  std::uint16_t m_segment = 1;
  std::vector<CvVariable> m_locals{};
  std::vector<CvLabel> m_labels{};
  std::vector<CvBlock> m_blocks{};
};

// A procedure (S_GPROC32 or S_LPROC32 ... S_END). Inside the scope the records come in
// this order: parameters, locals, labels, blocks.
struct CvProcedure {
  std::string m_name{};
  bool m_global = true;
  std::uint32_t m_offset = 0;
  std::uint32_t m_length = 0;
  std::uint32_t m_debugStart = 0;
  std::uint32_t m_debugEnd = 0;
  std::uint16_t m_segment = 1;
  std::uint16_t m_type = 0;
  std::uint8_t m_flags = 0;  // bit 2: far return
  std::vector<CvVariable> m_parameters{};
  std::vector<CvVariable> m_locals{};
  std::vector<CvLabel> m_labels{};
  std::vector<CvBlock> m_blocks{};
  bool m_writeEnd = true;  // false leaves the scope open (a damaged file)
};

// A thunk (S_THUNK32 ... S_END).
struct CvThunk {
  std::string m_name{};
  std::uint32_t m_offset = 0;
  std::uint16_t m_segment = 1;
  std::uint16_t m_length = 0;
  std::uint8_t m_ordinal = 0;
};

// Any record written as given: its type and the bytes after the type word.
struct CvRawSymbol {
  std::uint16_t m_type = 0;
  std::vector<std::uint8_t> m_body{};
};

using CvModuleSymbol = std::variant<CvVariable, CvProcedure, CvThunk, CvRawSymbol>;

// S_PROCREF or S_DATAREF in the global symbols: names the first procedure (data)
// record called `m_name` in the symbols of module `m_module`.
struct CvReference {
  bool m_procedure = true;
  std::uint16_t m_module = 1;
  std::string m_name{};
  std::uint32_t m_checksum = 0;
};

using CvGlobalSymbol = std::variant<CvVariable, CvReference, CvRawSymbol>;

// ---- Line numbers --------------------------------------------------------------------

struct CvLine {
  std::uint32_t m_offset = 0;
  std::uint16_t m_line = 0;
};

struct CvLineSegment {
  std::uint16_t m_segment = 1;
  std::vector<CvLine> m_lines{};
};

struct CvSourceFile {
  std::string m_name{};
  std::vector<CvLineSegment> m_segments{};
};

// ---- Modules -------------------------------------------------------------------------

struct CvSegment {
  std::uint16_t m_segment = 1;
  std::uint32_t m_offset = 0;
  std::uint32_t m_size = 0;
};

struct CvModule {
  std::string m_name{};
  std::uint16_t m_index = 0;  // 0: its position in the program + 1
  std::uint16_t m_overlay = 0;
  std::uint16_t m_library = 0;
  std::vector<CvSegment> m_segments{};
  std::vector<CvModuleSymbol> m_symbols{};
  bool m_writeSymbols = true;                 // write an sstAlignSym (even an empty one)
  std::vector<CvSourceFile> m_sourceFiles{};  // an sstSrcModule is written when not empty
};

// ---- Types ---------------------------------------------------------------------------

struct CvModifierType {
  std::uint16_t m_attribute = kModifierConst;
  std::uint16_t m_modified = 0;
};

struct CvPointerType {
  std::uint16_t m_attribute = kPointerNear32;
  std::uint16_t m_pointee = 0;
};

struct CvArrayType {
  std::uint16_t m_element = 0;
  std::uint16_t m_index = 0x0075;
  std::uint32_t m_size = 0;  // bytes
  std::string m_name{};
};

// LF_STRUCTURE, or LF_CLASS when `m_isClass`. A field list of 0 is a forward reference.
struct CvStructType {
  bool m_isClass = false;
  std::uint16_t m_count = 0;
  std::uint16_t m_fieldList = 0;
  std::uint16_t m_property = 0;
  std::uint16_t m_derived = 0;
  std::uint16_t m_vshape = 0;
  std::uint32_t m_size = 0;
  std::string m_name{};
};

struct CvUnionType {
  std::uint16_t m_count = 0;
  std::uint16_t m_fieldList = 0;
  std::uint16_t m_property = 0;
  std::uint32_t m_size = 0;
  std::string m_name{};
};

struct CvEnumType {
  std::uint16_t m_count = 0;
  std::uint16_t m_underlying = 0x0074;
  std::uint16_t m_fieldList = 0;
  std::uint16_t m_property = 0;
  std::string m_name{};
};

struct CvProcedureType {
  std::uint16_t m_return = 0x0003;
  std::uint8_t m_convention = 0;
  std::uint16_t m_paramCount = 0;
  std::uint16_t m_argList = 0;
};

struct CvMemberFunctionType {
  std::uint16_t m_return = 0x0003;
  std::uint16_t m_class = 0;
  std::uint16_t m_this = 0;
  std::uint8_t m_convention = 0;
  std::uint16_t m_paramCount = 0;
  std::uint16_t m_argList = 0;
  std::int32_t m_thisAdjust = 0;
};

struct CvLabelType {
  std::uint16_t m_mode = 0;  // 0 near, 4 far
};

struct CvBitFieldType {
  std::uint8_t m_length = 0;
  std::uint8_t m_position = 0;
  std::uint16_t m_base = 0;
};

struct CvArgListType {
  std::vector<std::uint16_t> m_arguments{};
};

struct CvMember {
  std::uint16_t m_type = 0;
  std::uint16_t m_attribute = kMemberPublic;
  std::int64_t m_offset = 0;
  std::string m_name{};
};

struct CvBaseClass {
  std::uint16_t m_type = 0;
  std::uint16_t m_attribute = kMemberPublic;
  std::int64_t m_offset = 0;
};

struct CvEnumerate {
  std::uint16_t m_attribute = kMemberPublic;
  std::int64_t m_value = 0;
  std::string m_name{};
};

// A field written as given: its leaf and the bytes after it.
struct CvRawField {
  std::uint16_t m_leaf = 0;
  std::vector<std::uint8_t> m_body{};
};

using CvField = std::variant<CvMember, CvBaseClass, CvEnumerate, CvRawField>;

struct CvFieldListType {
  std::vector<CvField> m_fields{};
};

// A type record written as given: its leaf and the bytes after it.
struct CvRawType {
  std::uint16_t m_leaf = 0;
  std::vector<std::uint8_t> m_body{};
};

using CvType = std::variant<CvModifierType, CvPointerType, CvArrayType, CvStructType, CvUnionType, CvEnumType,
                            CvProcedureType, CvMemberFunctionType, CvLabelType, CvBitFieldType, CvArgListType,
                            CvFieldListType, CvRawType>;

// ---- Program -------------------------------------------------------------------------

// A subsection written as given, after the global ones.
struct CvRawSubsection {
  std::uint16_t m_type = 0;
  std::uint16_t m_module = kGlobalModuleIndex;
  std::vector<std::uint8_t> m_bytes{};
};

struct CvProgram {
  std::vector<std::uint8_t> m_leadingBytes{};  // whatever precedes the debug information
  std::vector<CvModule> m_modules{};
  std::vector<CvGlobalSymbol> m_globals{};
  std::vector<CvType> m_types{};  // type index = kFirstTypeIndex + position
  std::vector<CvRawSubsection> m_extraSubsections{};
  bool m_writeGlobalSymbols = true;   // write an sstGlobalSym (even an empty one)
  bool m_writeGlobalTypes = true;     // write an sstGlobalTypes (even an empty one)
  bool m_alignSymbolRecords = false;  // pad every symbol record to a 4-byte boundary
  bool m_padTypeRecords = true;       // pad type records and fields with 0xF3 0xF2 0xF1
};

// Appends a type and returns its type index.
std::uint16_t AddType(CvProgram& program, CvType type);
// Conveniences that append a list and the type that uses it; they return the latter's index.
std::uint16_t AddStructure(CvProgram& program, std::string name, std::uint32_t size,
                           std::vector<CvField> fields, bool isClass = false);
std::uint16_t AddUnion(CvProgram& program, std::string name, std::uint32_t size, std::vector<CvField> fields);
std::uint16_t AddEnum(CvProgram& program, std::string name, std::uint16_t underlying,
                      std::vector<CvField> enumerates);
std::uint16_t AddProcedureType(CvProgram& program, std::uint16_t returnType,
                               std::vector<std::uint16_t> arguments, std::uint8_t convention = 0);

// The bytes of the symbol file. A description the format cannot hold (a name longer
// than 255 characters, a record longer than 65535 bytes, a reference to a symbol that
// is not there) throws std::invalid_argument.
std::vector<std::uint8_t> WriteCodeView(const CvProgram& program, CvVariant variant);

// ---- Damaged files -------------------------------------------------------------------

enum class CvCorruption {
  TruncatedTrailer,
  TrailerDistanceBeyondFile,
  NoCodeViewSignature,
  SignatureNB04,
  SignatureNB08,
  SignatureNB10,
  HeaderSignatureBad,
  DirectoryEntrySizeSmall,
  DirectoryCountBeyondFile,
  DirectoryCountWraps,
  SubsectionBeyondFile,
  ModuleStyleBad,
  AlignSymSignatureZero,
  RecordLengthBelowTypeWord,
  RecordLengthBelowFixedBody,
  RecordLengthBeyondSubsection,
  UnbalancedScopeEnd,
  MissingScopeEnd,
  SymbolTypeIndexOutOfRange,
  ProcRefModuleMissing,
  LineFileOffsetBeyondSubsection,
  LineTableOffsetBeyondSubsection,
  LinePairCountBeyondSubsection,
  LineNumberZero,
  GlobalTypesSignatureBad,
  UnknownLeaf,
  SixteenUnknownLeaves,
  TypeIndexOutOfRange,
  TooManyUnionGroups,
};

struct CvCorruptionInfo {
  CvCorruption m_corruption;
  const char* m_name;         // the name the command-line front end takes
  const char* m_description;  // what is damaged
};

// One row per corruption, in the order of the enumeration.
std::span<const CvCorruptionInfo> CorruptionTable();

// The file of `program` with one thing damaged; everything else as `WriteCodeView`
// writes it. Which part of the program is damaged is said in the corruption's
// description ("the first procedure of the first module" and so on); a program that
// lacks that part throws std::invalid_argument.
std::vector<std::uint8_t> WriteCorruptCodeView(const CvProgram& program, CvVariant variant,
                                               CvCorruption corruption);

// The program the command-line front end writes: two modules with procedures,
// parameters, locals in frame and registers, static data, nested blocks, labels and a
// thunk; global data and procedure and data references; every kind of type; line
// tables for three source files; and an sstSegMap that readers skip.
CvProgram MakeSampleProgram();

}  // namespace zentor::cvfixture
