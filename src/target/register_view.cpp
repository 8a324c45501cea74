#include "target/register_view.h"

#include <algorithm>
#include <cstring>

#include "command/grammar_object.h"
#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/soft_float.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "target/agent_requests.h"
#include "target/register_model.h"
#include "target/target_gui.h"

namespace zentor {

namespace {

// Change kind of the registers' records.
constexpr uint32_t kRegistersChanged = 8;
// "Invalid internal case."
constexpr uint32_t kInvalidCase = 2;
// Longest line text (the panel's line).
constexpr std::size_t kMaxLineText = 512;
// Address class of a browse to cs:eip.
constexpr uint32_t kBrowseAddressClass = 20;

constexpr RegisterFieldDescriptor Value(const char* name, RegisterField field) {
  return {name, field, field.m_kind, 0};
}

// The general registers of the window, by name.
const RegisterFieldDescriptor kEax = Value("eax", GeneralRegisterAt(0).m_field);
const RegisterFieldDescriptor kEbx = Value("ebx", GeneralRegisterAt(1).m_field);
const RegisterFieldDescriptor kEcx = Value("ecx", GeneralRegisterAt(2).m_field);
const RegisterFieldDescriptor kEdx = Value("edx", GeneralRegisterAt(3).m_field);
const RegisterFieldDescriptor kEbp = Value("ebp", GeneralRegisterAt(4).m_field);
const RegisterFieldDescriptor kEsi = Value("esi", GeneralRegisterAt(5).m_field);
const RegisterFieldDescriptor kEdi = Value("edi", GeneralRegisterAt(6).m_field);
const RegisterFieldDescriptor kEsp = Value("esp", GeneralRegisterAt(7).m_field);
const RegisterFieldDescriptor kEip = Value("eip", kFieldEip);
const RegisterFieldDescriptor kEflags = Value("eflags", kFieldEflags);
const RegisterFieldDescriptor kFcw = Value("fcw", FloatingRegisterAt(0).m_field);
const RegisterFieldDescriptor kFsw = Value("fsw", FloatingRegisterAt(1).m_field);
const RegisterFieldDescriptor kFtw = Value("ftw", FloatingRegisterAt(2).m_field);
const RegisterFieldDescriptor kFia = Value("fia", FloatingRegisterAt(3).m_field);
const RegisterFieldDescriptor kFda = Value("fda", FloatingRegisterAt(4).m_field);

constexpr RegisterFieldDescriptor kEflagsBits[] = {
    {"ofl", kFieldEflags, kRegisterFieldEflagsBit, 0x800}, {"dfl", kFieldEflags, kRegisterFieldEflagsBit, 0x400},
    {"ifl", kFieldEflags, kRegisterFieldEflagsBit, 0x200}, {"sfl", kFieldEflags, kRegisterFieldEflagsBit, 0x80},
    {"zfl", kFieldEflags, kRegisterFieldEflagsBit, 0x40},  {"afl", kFieldEflags, kRegisterFieldEflagsBit, 0x10},
    {"pfl", kFieldEflags, kRegisterFieldEflagsBit, 0x04},  {"cfl", kFieldEflags, kRegisterFieldEflagsBit, 0x01},
};

const RegisterFieldDescriptor kStatusBits[] = {
    {"es", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x80},
    {"sf", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x40},
    {"pe", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x20},
    {"ue", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x10},
    {"oe", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x08},
    {"ze", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x04},
    {"de", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x02},
    {"ie", FloatingRegisterAt(1).m_field, kRegisterFieldStatusBit, 0x01},
};

// The 40 word rows of st0..st7 ("0a".."7e"): word a holds bits 79-64 (bytes 8-9 of the
// ten), e bits 15-0.
struct FloatingWordRows {
  char names[40][3];
  RegisterFieldDescriptor rows[40];
  FloatingWordRows() {
    for (uint32_t reg = 0; reg < 8; ++reg) {
      const RegisterField st = FloatingRegisterAt(5 + reg).m_field;
      for (uint32_t word = 0; word < 5; ++word) {
        const uint32_t i = reg * 5 + word;
        names[i][0] = static_cast<char>('0' + reg);
        names[i][1] = static_cast<char>('a' + word);
        names[i][2] = '\0';
        const RegisterField field{st.m_group, static_cast<uint8_t>(st.m_offset + 8 - 2 * word), kKindOrd2};
        rows[i] = RegisterFieldDescriptor{names[i], field, kKindOrd2, 0};
      }
    }
  }
};

const FloatingWordRows& WordRows() {
  static const FloatingWordRows rows;
  return rows;
}

// The floating-point registers themselves, st0..st7.
const RegisterFieldDescriptor& StRow(uint32_t reg) {
  static const struct StRows {
    RegisterFieldDescriptor rows[8];
    StRows() {
      for (uint32_t i = 0; i < 8; ++i) {
        const FloatingRegisterRow& row = FloatingRegisterAt(5 + i);
        rows[i] = RegisterFieldDescriptor{row.m_name, row.m_field, kKindReal10, 0};
      }
    }
  } table;
  return table.rows[reg];
}

uint8_t* FieldBytes(const RegisterField& field) { return RegisterRecord().Group(field.m_group) + field.m_offset; }

uint32_t FieldValue(const RegisterField& field) {
  const uint8_t* bytes = FieldBytes(field);
  uint32_t value = bytes[0] | (bytes[1] << 8);
  if (field.m_kind == kKindOrd4) value |= (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return value;
}

std::string Format(const char* format, const FormatArg& arg) {
  char buffer[64];
  Formatter::Format(buffer, sizeof buffer, format, std::span<const FormatArg>(&arg, 1));
  return buffer;
}

// A register's name after `indent` blanks, as "%- 4s" writes it (at least four wide).
std::string Label(const char* indent, const char* name) {
  std::string text = indent;
  text += name;
  const std::size_t width = std::strlen(indent) + 4;
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

// A register's value as "%0*x" writes it, `digits` wide.
std::string Hex(uint32_t value, int digits) {
  char buffer[16];
  return std::string(buffer, Formatter::UnsignedToText(value, 16, digits, buffer, sizeof buffer));
}

// "%+.12g" of the extended value, "nan" and "-nan" without what follows, padded to 15.
std::string FloatingValueText(const uint8_t* extended) {
  uint8_t packed[8];
  PackDouble(UnpackExtended(extended), packed);
  double value = 0;
  std::memcpy(&value, packed, sizeof value);
  std::string text = Format("%+.12g", FormatArg(value));
  if (text.rfind("nan", 0) == 0) {
    text.resize(3);
  } else if (text.rfind("-nan", 0) == 0) {
    text.resize(4);
  }
  if (text.size() < 15) text.resize(15, ' ');
  return text;
}

void StoreBytes(const RegisterField& field, uint32_t value) {
  uint8_t* bytes = FieldBytes(field);
  const uint32_t size = field.m_kind == kKindOrd4 ? 4 : 2;
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

struct RegisterView::Line : PaneLine {
  std::string m_text;
  std::vector<FieldPosition> m_positions;
  std::vector<const RegisterFieldDescriptor*> m_descriptors;
  FieldLayout m_layout;
};

RegisterView::RegisterView(TextPane* pane) : BaseManager(pane) {}

RegisterView::~RegisterView() = default;

RegisterView::Line& RegisterView::NewLine() {
  m_lines.push_back(std::make_unique<Line>());
  return *m_lines.back();
}

void RegisterView::AddText(const char* text) {
  std::string& line = m_lines.back()->m_text;
  line += text;
  if (line.size() > kMaxLineText) line.resize(kMaxLineText);
}

void RegisterView::AddField(const char* text, const RegisterFieldDescriptor* descriptor) {
  Line& line = *m_lines.back();
  const auto start = static_cast<int32_t>(line.m_text.size());
  AddText(text);
  line.m_positions.push_back(FieldPosition{start, static_cast<int32_t>(line.m_text.size()) - start});
  line.m_descriptors.push_back(descriptor);
}

void RegisterView::AddBitLetters(uint16_t kind, uint32_t value) {
  const RegisterFieldDescriptor* rows = kind == kRegisterFieldEflagsBit ? kEflagsBits : kStatusBits;
  for (int i = 0; i < 8; ++i) {
    const char letter = rows[i].m_name[0];
    const char shown[2] = {(value & rows[i].m_word) != 0 ? static_cast<char>(letter - 'a' + 'A') : letter, '\0'};
    AddField(shown, &rows[i]);
    AddText(" ");
  }
}

// The lines of the window: the general registers, eip and the flags, then the
// floating-point unit's when the server has one.
void RegisterView::LayOut() {
  m_lines.clear();
  if (!LoadRegisterCache().IsOkay()) return;
  NewLine();
  AddText(" ");
  const RegisterFieldDescriptor* pairs[4][2] = {{&kEax, &kEbp}, {&kEbx, &kEsi}, {&kEcx, &kEdi}, {&kEdx, &kEsp}};
  for (const auto& pair : pairs) {
    NewLine();
    AddText(Label("  ", pair[0]->m_name).c_str());
    AddField(Hex(FieldValue(pair[0]->m_field), 8).c_str(), pair[0]);
    AddText(Label("   ", pair[1]->m_name).c_str());
    AddField(Hex(FieldValue(pair[1]->m_field), 8).c_str(), pair[1]);
  }
  NewLine();
  AddText(std::string(15, ' ').c_str());
  AddText(Label("  ", kEip.m_name).c_str());
  AddField(Hex(FieldValue(kEip.m_field), 8).c_str(), &kEip);
  NewLine();
  const uint32_t eflags = FieldValue(kFieldEflags);
  AddText("  flags   ");
  AddField(Hex(eflags & 0xFFFFu, 4).c_str(), &kEflags);
  AddText("   ");
  AddBitLetters(kRegisterFieldEflagsBit, eflags);
  NewLine();
  AddText(" ");
  if (!IsFpuPresent()) return;

  NewLine();
  AddText("      b9b8 b7b6 b5b4 b3b2 b1b0");
  for (uint32_t reg = 0; reg < 8; ++reg) {
    const RegisterFieldDescriptor& st = StRow(reg);
    NewLine();
    AddText((std::string("  ") + st.m_name + " ").c_str());
    for (uint32_t word = 0; word < 5; ++word) {
      const RegisterFieldDescriptor& row = WordRows().rows[reg * 5 + word];
      AddField(Hex(FieldValue(row.m_field), 4).c_str(), &row);
      AddText(" ");
    }
    AddText("== ");
    AddField(FloatingValueText(FieldBytes(st.m_field)).c_str(), &st);
  }
  const RegisterFieldDescriptor* rows[2][2] = {{&kFcw, &kFia}, {&kFtw, &kFda}};
  for (const auto& row : rows) {
    NewLine();
    AddText(Label("  ", row[0]->m_name).c_str());
    AddField(Hex(FieldValue(row[0]->m_field), 4).c_str(), row[0]);
    AddText(Label("  ", row[1]->m_name).c_str());
    AddField(Hex(FieldValue(row[1]->m_field), 8).c_str(), row[1]);
  }
  NewLine();
  const uint32_t fsw = FieldValue(kFsw.m_field);
  AddText(Label("  ", kFsw.m_name).c_str());
  AddField(Hex(fsw, 4).c_str(), &kFsw);
  AddText("  ");
  AddBitLetters(kRegisterFieldStatusBit, fsw);
}

void RegisterView::GiveLinesToPane() {
  m_array.clear();
  for (const std::unique_ptr<Line>& line : m_lines) {
    line->text = line->m_text.data();
    line->length = static_cast<int32_t>(line->m_text.size());
    line->m_layout = FieldLayout{static_cast<int32_t>(line->m_positions.size()), 0, 0, 0,
                                 line->m_positions.empty() ? nullptr : line->m_positions.data(), 0};
    line->fields = &line->m_layout;
    m_array.push_back(line.get());
  }
  m_array.push_back(nullptr);
  m_pane->lines = m_array.data();
  m_pane->count = static_cast<int32_t>(m_lines.size());
  m_pane->total = m_pane->count;
}

// Takes the edited field back:
// 1. the field of the current line under the selection (the last one that holds it);
// 2. a value field's text is evaluated (hexadecimal digits for the integer registers,
//    a real for the floating-point ones) and converted to the register's kind; a bit
//    letter sets or clears its bit;
// 3. the record goes back to the agent, the register views are told, and a changed
//    eip or cs browses the views to the new cs:eip.
DVErrorCode RegisterView::CommitEdit() {
  DVErrorCode loaded = LoadRegisterCache();
  if (!loaded.IsOkay()) throw DVError(loaded);
  const int32_t index = m_pane->top + m_pane->row;
  if (index < 0 || index >= static_cast<int32_t>(m_lines.size())) throw DVError(kInvalidCase, kSeverityInternal);
  const Line& line = *m_lines[static_cast<std::size_t>(index)];
  const int32_t column = m_pane->selStart;
  const int32_t edited = m_pane->selLength;
  const RegisterFieldDescriptor* descriptor = nullptr;
  int32_t fieldStart = 0;
  for (std::size_t i = 0; i < line.m_positions.size(); ++i) {
    const int32_t start = line.m_positions[i].start;
    if (start <= column && column < start + edited) {
      descriptor = line.m_descriptors[i];
      fieldStart = start;
    }
  }
  if (descriptor == nullptr) throw DVError(kInvalidCase, kSeverityInternal);
  std::string text = line.m_text.substr(static_cast<std::size_t>(fieldStart),
                                        static_cast<std::size_t>(std::max(edited, 0)));

  RegisterField target = descriptor->m_field;
  uint8_t converted[16] = {};
  switch (descriptor->m_kind) {
    case kKindOrd2:
    case kKindOrd4:
    case kKindReal10: {
      // The typed characters up to the first blank; the integer registers read them
      // as hexadecimal digits. A real without a point gets ".0": at its end, or before
      // its exponent, since the command language reads "1e3" as hexadecimal digits and
      // only "1.0e3" as a real.
      text = text.substr(0, text.find(' '));
      std::string expression = descriptor->m_kind == kKindReal10 ? text : "0x" + text;
      if (descriptor->m_kind == kKindReal10 && text.find('.') == std::string::npos) {
        const std::size_t exponent = expression.find_first_of("eE");
        expression.insert(exponent == std::string::npos ? expression.size() : exponent, ".0");
      }
      if (expression.size() > kMaxLineText) expression.resize(kMaxLineText);
      uint16_t resultKind = 0;
      uint8_t value[ValueStack::kMaxItemSize] = {};
      DVErrorCode evaluated = ExecuteText(expression.c_str(), kProductionExpression, &resultKind, value);
      if (!evaluated.IsOkay()) return evaluated;
      ConvertValue(value, resultKind, converted, descriptor->m_kind);
      break;
    }
    case kRegisterFieldEflagsBit:
    case kRegisterFieldStatusBit: {
      target = descriptor->m_kind == kRegisterFieldEflagsBit ? kFieldEflags : kFsw.m_field;
      const char lower = descriptor->m_name[0];
      const char letters[] = {'0', '1', 'n', 'y', 'N', 'Y', 'f', 't', 'F', 'T', lower,
                              static_cast<char>(lower - 'a' + 'A'), '\0'};
      const char* found = text.empty() ? nullptr : std::strchr(letters, text[0]);
      if (found == nullptr) {
        LayOut();
        GiveLinesToPane();
        return DVErrorCode();
      }
      uint32_t value = FieldValue(target);
      value = (found - letters) % 2 == 0 ? value & ~descriptor->m_word : value | descriptor->m_word;
      StoreBytes(target, value);
      break;
    }
    default:
      throw DVError(kInvalidCase, kSeverityInternal);
  }
  if (descriptor->m_kind == kKindOrd2 || descriptor->m_kind == kKindOrd4 || descriptor->m_kind == kKindReal10) {
    std::memcpy(FieldBytes(target), converted, GetValueKindSize(descriptor->m_kind));
  }
  const DVErrorCode stored = StoreRegisterCache();
  if (!stored.IsOkay()) return stored;
  MarkRegisteredChanged(kRegistersChanged, CurrentViewpoint());
  const bool movesPc = (target.m_group == kFieldEip.m_group && target.m_offset == kFieldEip.m_offset) ||
                       (target.m_group == kFieldCs.m_group && target.m_offset == kFieldCs.m_offset);
  if (movesPc) {
    TargetAddressRecord address;
    address.m_addressClass = kBrowseAddressClass;
    address.m_addressKind = 1;
    address.m_reserved2 = FieldValue(kFieldCs);  // the segment of cs:eip
    address.m_offset = FieldValue(kFieldEip);
    GuiBrowseToAddress(address);
  }
  return DVErrorCode();
}

int32_t RegisterView::HandleRequest(DVError& status, int32_t code, intptr_t /*argument*/) {
  DVErrorCode result;
  switch (code) {
    case kGuiOpened:
      m_pane->first = 0;
      m_pane->row = 0;
      m_pane->top = 0;
      break;
    case kGuiClosing:
      m_lines.clear();
      m_array.clear();
      m_pane->lines = nullptr;
      m_pane->count = 0;
      break;
    case kGuiRefresh:
      LayOut();
      GiveLinesToPane();
      break;
    case kGuiCommitField:
      result = CommitEdit();
      break;
    default:
      break;
  }
  if (result.IsOkay()) {
    status.Reset();
  } else {
    status.Set(result.Number(), result.Severity(), kDisplayByFocus, nullptr);
  }
  return static_cast<int32_t>(status.Number());
}

}  // namespace zentor
