#include "engine/memory_view.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "command/grammar_object.h"
#include "command/value_output.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "core/address_range.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"
#include "core/view_kind.h"

namespace zentor {

namespace {

constexpr uint32_t kTargetMemoryChanged = 6;
constexpr uint32_t kMsgFileExists = 116;
constexpr uint32_t kMsgCannotOpenFile = 117;
constexpr uint32_t kMsgSaveWriteError = 122;
constexpr uint32_t kMsgInvalidFileName = 112;
constexpr uint32_t kMsgInvalidNumber = 130;
constexpr uint32_t kMsgEndRequired = 170;
constexpr uint32_t kMsgLengthRequired = 171;
constexpr uint32_t kMsgStartInvalid = 172;
constexpr uint32_t kMsgRegisterAccess = 81;
constexpr uint32_t kMsgNumberRequired = 77;
constexpr uint32_t kMsgSymbolNotKnown = 335;

constexpr uint16_t kFormatCodes[] = {6, 8, 9, 10, 11, 15, 16, 17, 18, 19, 20, 21};

bool IsBlank(const char* text) {
  for (; text != nullptr && *text != '\0'; ++text) {
    if (*text != ' ' && *text != '\t') return false;
  }
  return true;
}

// A NUL-terminated copy of a fixed text field of the request.
std::string FieldText(const char (&field)[MemoryDisplayRequest::kTextSize]) {
  return std::string(field, strnlen(field, sizeof field));
}

AddressDescriptor EvaluateAddress(const std::string& text) { return AddressDescriptor(RWCString(text.c_str()), 0); }

// A count typed as an expression: a number of any integer or real kind.
uint32_t EvaluateCount(const std::string& text) {
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize] = {};
  DVError error;
  const DVErrorCode status = ExecuteTextInto(text.c_str(), kProductionExpression, &kind, value, &error);
  if (!status.IsOkay()) {
    if (error.Number() == kMsgSymbolNotKnown) error.SetArg(0, text.c_str());
    throw error.IsOkay() ? DVError(status) : error;
  }
  if (kind < kKindOrd1 || kind > kKindReal10) throw DVError(kMsgNumberRequired, kSeverityError);
  uint32_t count = 0;
  ConvertValue(value, kind, &count, kKindOrd4);
  return count;
}

uint32_t ElementsBetween(const AddressDescriptor& from, const AddressDescriptor& to, uint32_t size) {
  const OrdinalValue bytes = to - from;
  return size == 0 ? 0 : bytes.Low() / size;
}

// An 8.3 name with an optional drive and directories (from the root or not); the
// caller has taken the blanks around it away.
bool IsShortFileName(const std::string& name) {
  std::size_t i = 0;
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') i = 2;
  // A path from the root begins with a separator.
  if (i < name.size() && (name[i] == '\\' || name[i] == '/')) ++i;
  bool endsAfterName = false;
  while (i < name.size()) {
    std::size_t length = 0;
    while (i < name.size() && std::isalnum(static_cast<unsigned char>(name[i]))) ++i, ++length;
    if (length < 1 || length > 8) return false;
    endsAfterName = true;
    if (i < name.size() && name[i] == '.') {
      ++i;
      std::size_t extension = 0;
      while (i < name.size() && std::isalnum(static_cast<unsigned char>(name[i]))) ++i, ++extension;
      if (extension < 1 || extension > 3) return false;
    }
    if (i == name.size()) break;
    if (name[i] != '\\' && name[i] != '/') return false;
    ++i;
    endsAfterName = false;
  }
  return endsAfterName;
}

void CheckNotRegister(const AddressDescriptor& address) {
  if (address.IsNull()) throw DVError(kMsgStartInvalid, kSeverityError);
  if (address.IsRegister()) throw DVError(kMsgRegisterAccess, kSeverityError, kDisplayByFocus);
}

MemoryDisplayRequest& RequestOf(intptr_t argument) {
  auto* request = reinterpret_cast<MemoryDisplayRequest*>(argument);
  if (request == nullptr) RaiseInternalError(__FILE__, __LINE__);
  return *request;
}

}  // namespace

uint16_t MemoryFormat(uint32_t typeIndex) {
  return typeIndex < std::size(kFormatCodes) ? kFormatCodes[typeIndex] : 0;
}

struct MemoryViewManager::Line : PaneLine {
  std::string m_text;
  FieldLayout m_layout;
};

MemoryViewManager::MemoryViewManager(TextPane* pane) : BaseManager(pane) {}

MemoryViewManager::~MemoryViewManager() {
  if (m_saveFile >= 0) FileChannel::Close(m_saveFile);
}

void MemoryViewManager::StoreLine(Line& line, const std::string& text) {
  line.m_text = text;
  uint32_t firstColumn = 0;
  uint32_t elements = 0;
  uint32_t notCharacters = 0;
  uint32_t width = 0;
  GetMemoryLineLayout(&firstColumn, &elements, &notCharacters, &width);
  line.m_layout = FieldLayout{static_cast<int32_t>(elements), 1, notCharacters != 0 ? 1 : 0,
                              static_cast<int32_t>(firstColumn), nullptr,
                              notCharacters != 0 ? static_cast<int32_t>(width) : 1};
}

// A run of the printer's output: each line ends at LF and goes where the output mode
// says (CR is dropped).
void MemoryViewManager::MemoryOutputHook(std::string_view run) {
  while (!run.empty()) {
    const std::size_t end = run.find('\n');
    std::string_view piece = run.substr(0, end);
    for (std::size_t cr = piece.find('\r'); cr != std::string_view::npos; cr = piece.find('\r')) {
      m_building.append(piece.substr(0, cr));
      piece.remove_prefix(cr + 1);
    }
    m_building.append(piece);
    if (end == std::string_view::npos) return;
    run.remove_prefix(end + 1);
    EndOutputLine();
  }
}

void MemoryViewManager::EndOutputLine() {
  std::string text = std::move(m_building);
  m_building.clear();
  switch (m_mode) {
    case kToFile: {
      text += "\r\n";
      if (FileChannel::Write(m_saveFile, text.data(), static_cast<uint32_t>(text.size())) < 0) {
        DVError error(kMsgSaveWriteError, kSeveritySevere, kDisplayMessageBox);
        error.SetArg(0, std::strerror(errno));
        throw error;
      }
      break;
    }
    case kInsertTop: {
      if (static_cast<int32_t>(m_lines.size()) == kMaxLines) m_lines.pop_back();
      m_lines.insert(m_lines.begin(), std::make_unique<Line>());
      StoreLine(*m_lines.front(), text);
      break;
    }
    case kAppend: {
      if (static_cast<int32_t>(m_lines.size()) == kMaxLines) {
        m_lines.erase(m_lines.begin());
        ++m_topShift;
      }
      m_lines.push_back(std::make_unique<Line>());
      StoreLine(*m_lines.back(), text);
      break;
    }
    case kReplace:
      if (m_currentLine >= 0 && m_currentLine < static_cast<int32_t>(m_lines.size())) {
        StoreLine(*m_lines[static_cast<std::size_t>(m_currentLine)], text);
      }
      break;
  }
  ++m_currentLine;
}

void MemoryViewManager::RunPrinter(const AddressDescriptor& start, uint32_t count) {
  m_shown = Screen();
  if (count == 0 || m_itemSize == 0) return;
  const DVPTypeInfo type = DVPTypeInfo::FromCode(m_format);
  const TypedLocation location(start, type, OrdinalValue(m_itemSize), OrdinalValue(count));
  ValueStack::PushPointerLocation(PointerLocation(location, type, OrdinalValue(m_itemSize)));
  m_building.clear();
  OutputWriter::InstallTextHook([this](std::string_view run) { MemoryOutputHook(run); });
  try {
    DisplayTopValueInBase(m_radix);
  } catch (...) {
    OutputWriter::RemoveHook();
    throw;
  }
  OutputWriter::RemoveHook();
}

AddressDescriptor MemoryViewManager::LineAddress(int32_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(m_lines.size())) RaiseInternalError(__FILE__, __LINE__);
  const std::string& text = m_lines[static_cast<std::size_t>(index)]->m_text;
  const std::size_t begin = text.find_first_not_of(' ');
  const std::size_t end = text.find(' ', begin == std::string::npos ? 0 : begin);
  return EvaluateAddress(begin == std::string::npos ? "" : text.substr(begin, end - begin));
}

void MemoryViewManager::TakeFormat(const MemoryDisplayRequest& request) {
  m_format = MemoryFormat(request.typeIndex);
  m_radix = request.radix;
  m_itemsPerLine = GetValuesPerLine(m_format, m_radix);
  m_itemSize = GetValueKindSize(m_format);
}

void MemoryViewManager::Clear() {
  m_lines.clear();
  m_firstLine = 0;
  m_shown = Screen();
}

// The bytes a refresh would print, read as one range (the stop's reads answer the
// printer's rows from them); unreadable, or too long to keep, it is printed as ever.
MemoryViewManager::Screen MemoryViewManager::ReadScreen(const AddressDescriptor& start, uint32_t count) const {
  Screen screen;
  const uint64_t bytes = uint64_t{count} * m_itemSize;
  if (bytes == 0 || bytes > kMostScreenBytes || start.IsNull() || start.IsRegister()) return screen;
  screen.bytes.resize(static_cast<std::size_t>(bytes));
  try {
    TargetMemory::ReadBytesAt(start, screen.bytes.data(), static_cast<uint32_t>(bytes));
  } catch (const DVError&) {
    return Screen();
  }
  screen.readable = true;
  screen.start = start.Record();
  screen.format = m_format;
  screen.radix = m_radix;
  screen.count = count;
  return screen;
}

// Whether the lines held are what printing the screen would make again: the same
// bytes in the same format from the same place, printed by the last display and not
// since scrolled, edited or typed over.
bool MemoryViewManager::ShowsScreen(const Screen& screen) const {
  return m_shown.readable && m_shown.start == screen.start && m_shown.format == screen.format &&
         m_shown.radix == screen.radix && m_shown.count == screen.count && m_shown.bytes == screen.bytes &&
         m_shown.texts == LineTexts();
}

std::string MemoryViewManager::LineTexts() const {
  std::string texts;
  for (const std::unique_ptr<Line>& line : m_lines) {
    texts += line->m_text;
    texts += '\n';
  }
  return texts;
}

// Display as the request says:
// 1. a changed format is taken;
// 2. the start: the top line's address, so that a format change keeps the place, or
//    the start text when a new start is given (it becomes the display start);
// 3. a given range sets the element count (to an end address, or a length);
// 4. three screens of lines are printed from the start, within the range;
// 5. the total line count follows from the range, lines aligned to whole rows.
void MemoryViewManager::Display(const MemoryDisplayRequest& request) {
  if ((request.changeFlags & MemoryDisplayRequest::kFormatChanged) != 0 || m_format == 0) TakeFormat(request);
  AddressDescriptor start;
  if ((request.changeFlags & MemoryDisplayRequest::kNewStart) == 0 && !m_lines.empty()) {
    start = LineAddress(std::clamp(m_pane->top, 0, static_cast<int32_t>(m_lines.size()) - 1));
  } else {
    start = EvaluateAddress(FieldText(request.startText));
    m_displayStart = start;
  }
  m_openEnded = request.noRange != 0;
  const bool rangeGiven = (request.changeFlags & MemoryDisplayRequest::kRangeGiven) != 0 ||
                          ((request.changeFlags & MemoryDisplayRequest::kNewStart) != 0 && request.lengthMode != 0);
  if (!m_openEnded && rangeGiven) {
    m_totalElements = request.lengthMode != 0
                          ? EvaluateCount(FieldText(request.endText))
                          : ElementsBetween(m_displayStart, EvaluateAddress(FieldText(request.endText)), m_itemSize);
  }
  uint32_t count = m_itemsPerLine * std::max<uint32_t>(request.rows, 1) * 3;
  const uint32_t before = ElementsBetween(m_displayStart, start, m_itemSize);
  if (ClosedRange()) count = std::min(count, m_totalElements > before ? m_totalElements - before : 0);
  m_pane->top = 0;
  m_pane->row = 0;
  Screen screen = ReadScreen(start, count);
  if (!screen.readable || !ShowsScreen(screen)) {
    Clear();
    m_mode = kAppend;
    RunPrinter(start, count);
    if (screen.readable) {
      screen.texts = LineTexts();
      m_shown = std::move(screen);
    }
  } else {
    m_firstLine = 0;
  }
  m_totalLines = 0;
  m_topShift = 0;
  if (!ClosedRange() || m_itemsPerLine == 0) {
    m_totalLines = -1;
    m_firstLine = 0;
    return;
  }
  const uint32_t rowBytes = m_itemsPerLine * m_itemSize;
  const uint32_t startColumn = (m_displayStart.Offset() % rowBytes) / m_itemSize;
  const uint32_t firstRowItems = m_itemsPerLine - startColumn;
  m_totalLines = m_totalElements == 0 ? 0
                 : m_totalElements <= firstRowItems
                     ? 1
                     : 1 + static_cast<int32_t>((m_totalElements - firstRowItems + m_itemsPerLine - 1) / m_itemsPerLine);
  m_firstLine = static_cast<int32_t>((before + startColumn) / m_itemsPerLine);
}

void MemoryViewManager::MoveDown(const MemoryDisplayRequest& request, uint32_t lines) {
  if (m_lines.empty() || m_itemsPerLine == 0) return;
  const AddressDescriptor next =
      LineAddress(static_cast<int32_t>(m_lines.size()) - 1) + OrdinalValue(m_itemsPerLine * m_itemSize);
  uint32_t count = m_itemsPerLine * lines;
  if (ClosedRange()) {
    const uint32_t before = ElementsBetween(m_displayStart, next, m_itemSize);
    count = std::min(count, m_totalElements > before ? m_totalElements - before : 0);
  }
  const auto held = static_cast<int32_t>(m_lines.size());
  m_mode = kAppend;
  m_topShift = 0;
  RunPrinter(next, count);
  const int32_t added = static_cast<int32_t>(m_lines.size()) - held + m_topShift;
  m_firstLine += m_topShift;
  m_pane->top = std::clamp(m_pane->top + added - m_topShift, 0, std::max(static_cast<int32_t>(m_lines.size()) - 1, 0));
  m_topShift = 0;
}

// Towards lower addresses: n lines before the first held one, no further back than the
// display start (a closed range) or the start of the address space; an open-ended
// display reads them first so that an unreadable stretch changes nothing.
DVErrorCode MemoryViewManager::MoveUp(const MemoryDisplayRequest& request, uint32_t lines) {
  if (m_lines.empty() || m_itemsPerLine == 0) return DVErrorCode();
  const AddressDescriptor top = LineAddress(0);
  if (top.IsZero()) return DVErrorCode::FromWord(0xFFFFFFFFu);
  const uint32_t rowBytes = m_itemsPerLine * m_itemSize;
  uint32_t wanted = lines;
  AddressDescriptor newTop;
  if (ClosedRange()) {
    const uint32_t distance = ElementsBetween(m_displayStart, top, m_itemSize);
    if (distance < m_itemsPerLine * lines) {
      newTop = m_displayStart;
      lines = (distance + m_itemsPerLine - 1) / m_itemsPerLine;
    } else {
      newTop = top - OrdinalValue(rowBytes * lines);
    }
  } else {
    const uint32_t distance = ElementsBetween(top.SpaceStart(), top, m_itemSize);
    lines = std::min(lines, distance / m_itemsPerLine);
    newTop = top - OrdinalValue(rowBytes * lines);
    if (lines > 0) {
      try {
        std::vector<uint8_t> probe(static_cast<std::size_t>(rowBytes) * lines);
        const TypedLocation from(newTop, DVPTypeInfo::FromCode(kKindOrd1), OrdinalValue(1u), OrdinalValue(1u));
        OrdinalValue bytesRead;
        TargetMemory::ReadValue(&bytesRead, probe.data(), static_cast<uint32_t>(probe.size()),
                                AddressRange::FromLength(from, OrdinalValue(static_cast<uint32_t>(probe.size()))), 0);
      } catch (const DVError& error) {
        MarkRegisteredChanged(kTargetMemoryChanged, CurrentViewpoint());
        return DVErrorCode(error.Number(), kSeverityWarning);
      }
    }
  }
  if (lines == 0) return DVErrorCode();
  const uint32_t count = ClosedRange() ? std::min(m_itemsPerLine * lines, ElementsBetween(newTop, top, m_itemSize))
                                       : m_itemsPerLine * lines;
  for (uint32_t i = 0; i < lines; ++i) {
    if (static_cast<int32_t>(m_lines.size()) == kMaxLines) m_lines.pop_back();
    m_lines.insert(m_lines.begin(), std::make_unique<Line>());
  }
  m_mode = kReplace;
  m_currentLine = 0;
  RunPrinter(newTop, count);
  m_firstLine = std::max(m_firstLine - static_cast<int32_t>(lines), 0);
  m_pane->top = std::max(m_pane->top - static_cast<int32_t>(wanted - lines), 0);
  return DVErrorCode();
}

void MemoryViewManager::Reposition(const MemoryDisplayRequest& request) {
  AddressDescriptor start;
  int32_t firstLine = 0;
  if ((request.changeFlags & MemoryDisplayRequest::kFromTopLine) != 0) {
    if (m_lines.empty()) return;
    start = LineAddress(std::clamp(m_pane->top, 0, static_cast<int32_t>(m_lines.size()) - 1));
    firstLine = m_firstLine + m_pane->top;
  } else {
    const auto line = static_cast<int32_t>(request.requestArgument);
    if (line <= 0 || !ClosedRange() || m_itemsPerLine == 0) return;
    const uint32_t rowBytes = m_itemsPerLine * m_itemSize;
    const uint32_t startColumn = (m_displayStart.Offset() % rowBytes) / m_itemSize;
    start = line == 1 ? m_displayStart
                      : m_displayStart + OrdinalValue(rowBytes * static_cast<uint32_t>(line - 1) -
                                                      startColumn * m_itemSize);
    firstLine = line - 1;
  }
  uint32_t count = m_itemsPerLine * std::max<uint32_t>(request.rows, 1) * 3;
  if (ClosedRange()) {
    const uint32_t before = ElementsBetween(m_displayStart, start, m_itemSize);
    count = std::min(count, m_totalElements > before ? m_totalElements - before : 0);
  }
  Clear();
  m_mode = kAppend;
  RunPrinter(start, count);
  m_topShift = 0;
  m_firstLine = ClosedRange() ? firstLine : 0;
  m_pane->top = 0;
}

// The overtyped value under the cursor: the item of the line under the selected field,
// its text read in the view's radix (a leading hexadecimal letter gets a "0" so that
// "ff" is a number), converted to the format and written; then the line is printed
// again in place.
DVErrorCode MemoryViewManager::EditField() {
  const int32_t index = m_pane->top + m_pane->row;
  if (index < 0 || index >= static_cast<int32_t>(m_lines.size())) return DVErrorCode();
  Line& line = *m_lines[static_cast<std::size_t>(index)];
  const int32_t item = FieldLayout::FieldAtColumn(*m_pane, &line.m_layout);
  const FieldPosition field = line.m_layout.FieldSpan(item);
  if (field.start < 0) return DVErrorCode();
  const AddressDescriptor address = LineAddress(index) + OrdinalValue(static_cast<uint32_t>(item) * m_itemSize);
  std::string text = field.start < static_cast<int32_t>(line.m_text.size())
                         ? line.m_text.substr(static_cast<std::size_t>(field.start), static_cast<std::size_t>(field.width))
                         : std::string();
  uint8_t converted[16] = {};
  if (m_format == kKindChar) {
    converted[0] = static_cast<uint8_t>(text.empty() ? ' ' : text[0]);
  } else {
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return DVErrorCode(kMsgInvalidNumber, kSeverityError);
    text = text.substr(begin, text.find(' ', begin) - begin);
    const bool exempt = m_format == kFormatCodes[9] || m_format == kFormatCodes[10] || m_format == kFormatCodes[11];
    if (m_radix == 16 && !exempt && std::isxdigit(static_cast<unsigned char>(text[0])) && text[0] != '0') {
      text.insert(0, "0");
    }
    const uint32_t savedBase = GetNumberBase();
    const DVErrorCode based = SetNumberBase(m_radix);
    if (!based.IsOkay()) return based;
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize] = {};
    DVErrorCode evaluated;
    try {
      evaluated = ExecuteText(text.c_str(), kProductionExpression, &kind, value);
    } catch (...) {
      SetNumberBase(static_cast<uint8_t>(savedBase));
      throw;
    }
    SetNumberBase(static_cast<uint8_t>(savedBase));
    if (!evaluated.IsOkay()) return evaluated;
    ConvertValue(value, kind, converted, m_format);
  }
  const TypedLocation at(address, DVPTypeInfo::FromCode(m_format), OrdinalValue(m_itemSize), OrdinalValue(1u));
  TargetMemory::WriteValue(converted, m_itemSize, AddressRange::FromLength(at, OrdinalValue(1u)));
  m_mode = kReplace;
  m_currentLine = index;
  RunPrinter(LineAddress(index), static_cast<uint32_t>(std::max(line.m_layout.count, 1)));
  return DVErrorCode();
}

DVErrorCode MemoryViewManager::Save(const MemoryDisplayRequest& request) {
  const std::string name = FieldText(request.fileName);
  if (request.overwrite == 0 && request.append == 0) {
    const int32_t existing = FileChannel::Open(name.c_str(), kOpenRead);
    if (existing >= 0) {
      FileChannel::Close(existing);
      return DVErrorCode(kMsgFileExists, kSeverityWarning);
    }
  }
  int32_t file = FileChannel::Open(name.c_str(), request.append != 0 ? kOpenUpdate : kOpenWrite);
  if (file < 0 && request.append != 0) file = FileChannel::Open(name.c_str(), kOpenWrite);
  if (file < 0) return DVErrorCode(kMsgCannotOpenFile, kSeverityWarning);
  if (request.append != 0 && FileChannel::Seek(file, 2, 0) < 0) {
    FileChannel::Close(file);
    return DVErrorCode(kMsgCannotOpenFile, kSeverityWarning);
  }
  m_saveFile = file;
  struct CloseAtEnd {
    int32_t& file;
    ~CloseAtEnd() {
      FileChannel::Close(file);
      file = -1;
    }
  } closeAtEnd{m_saveFile};
  if (m_format == 0) TakeFormat(request);
  const AddressDescriptor start = EvaluateAddress(FieldText(request.startText));
  const uint32_t count = request.lengthMode != 0
                             ? EvaluateCount(FieldText(request.endText))
                             : ElementsBetween(start, EvaluateAddress(FieldText(request.endText)), m_itemSize);
  const OutputMode mode = m_mode;
  m_mode = kToFile;
  try {
    RunPrinter(start, count);
  } catch (...) {
    m_mode = mode;
    throw;
  }
  m_mode = mode;
  return DVErrorCode();
}

DVErrorCode MemoryViewManager::CheckField(MemoryDisplayRequest& request) {
  switch (request.fieldId) {
    case MemoryDisplayRequest::kFieldFileName: {
      std::string name = FieldText(request.fileName);
      const std::size_t begin = name.find_first_not_of(' ');
      const std::size_t end = name.find_last_not_of(' ');
      name = begin == std::string::npos ? "" : name.substr(begin, end - begin + 1);
      if (!IsShortFileName(name)) return DVErrorCode(kMsgInvalidFileName, kSeverityWarning);
      std::memset(request.fileName, 0, sizeof request.fileName);
      std::memcpy(request.fileName, name.data(), name.size());
      return DVErrorCode();
    }
    case MemoryDisplayRequest::kFieldStart: {
      if (IsBlank(request.startText)) return DVErrorCode(kMsgStartInvalid, kSeverityError);
      const AddressDescriptor start = EvaluateAddress(FieldText(request.startText));
      CheckNotRegister(start);
      uint8_t byte = 0;
      TargetMemory::ReadBytesAt(start, &byte, 1);
      return DVErrorCode();
    }
    case MemoryDisplayRequest::kFieldEnd: {
      if (request.noRange != 0) return DVErrorCode();
      if (IsBlank(request.endText)) {
        return DVErrorCode(request.lengthMode != 0 ? kMsgLengthRequired : kMsgEndRequired, kSeverityError);
      }
      if (request.lengthMode != 0) {
        EvaluateCount(FieldText(request.endText));
        return DVErrorCode();
      }
      const AddressDescriptor end = EvaluateAddress(FieldText(request.endText));
      CheckNotRegister(end);
      const AddressDescriptor start = EvaluateAddress(FieldText(request.startText));
      AddressRange::FromEnds(TypedLocation(start), end);
      return DVErrorCode();
    }
    default:
      return DVErrorCode();
  }
}

int32_t MemoryViewManager::HandleWindowless(DVError& status, int32_t code, intptr_t argument) {
  if (code != kGuiCheckMemoryField) RaiseInternalError(__FILE__, __LINE__);
  const DVErrorCode result = CheckField(RequestOf(argument));
  if (result.IsOkay()) {
    status.Reset();
  } else {
    status = result;
  }
  return static_cast<int32_t>(status.Number());
}

void MemoryViewManager::GiveLinesToPane() {
  m_array.clear();
  for (const std::unique_ptr<Line>& line : m_lines) {
    line->text = line->m_text.data();
    line->length = static_cast<int32_t>(line->m_text.size());
    line->fields = &line->m_layout;
    m_array.push_back(line.get());
  }
  m_array.push_back(nullptr);
  m_pane->lines = m_array.data();
  m_pane->count = static_cast<int32_t>(m_lines.size());
  if (ClosedRange()) {
    m_pane->total = std::max(m_totalLines, m_firstLine + m_pane->count);
    m_pane->first = m_firstLine;
    m_pane->last = m_pane->count > 0 ? m_firstLine + m_pane->count - 1 : -1;
  } else {
    m_pane->total = -1;
    m_pane->first = 0;
    m_pane->last = -1;
  }
}

int32_t MemoryViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  DVErrorCode result;
  status.Reset();
  try {
    switch (code) {
      case kGuiOpened:
        Clear();
        MarkRegisteredChanged(kTargetMemoryChanged, CurrentViewpoint());
        break;
      case kGuiClosing:
        Clear();
        break;
      case kGuiLineUp:
        result = MoveUp(RequestOf(argument), 1);
        break;
      case kGuiLineDown:
        MoveDown(RequestOf(argument), 1);
        break;
      case kGuiPageUp:
        result = MoveUp(RequestOf(argument), std::max<uint32_t>(RequestOf(argument).rows, 2) - 1);
        break;
      case kGuiPageDown:
        MoveDown(RequestOf(argument), std::max<uint32_t>(RequestOf(argument).rows, 2) - 1);
        break;
      case kGuiDocumentStart:
      case kGuiDocumentEnd:
      case kGuiFillAround:
        Reposition(RequestOf(argument));
        break;
      case kGuiRefresh:
        Display(RequestOf(argument));
        break;
      case kGuiCommitField:
        result = EditField();
        break;
      case kGuiSaveMemory:
        result = Save(RequestOf(argument));
        break;
      case kGuiCheckMemoryField:
        result = CheckField(RequestOf(argument));
        break;
      case kGuiEngineNotice:
        Clear();
        m_pane->lines = nullptr;
        m_pane->count = 0;
        break;
      default:
        break;
    }
  } catch (const DVError& error) {
    status = error;
    if (code == kGuiRefresh) {
      Clear();
      m_totalLines = 0;
    }
  }
  if (code != kGuiCheckMemoryField && code != kGuiEngineNotice) GiveLinesToPane();
  if (code == kGuiClosing) m_pane->lines = nullptr;
  if (status.IsOkay() && !result.IsOkay()) status = result;
  return static_cast<int32_t>(status.Number());
}

}  // namespace zentor
