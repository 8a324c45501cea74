#include "engine/inspector_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "command/grammar_object.h"
#include "command/value_output.h"
#include "console/output_writer.h"
#include "console/panel.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/frame_list.h"
#include "core/number_base.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/address_range.h"
#include "core/busy_pump.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_handle.h"
#include "symbols/symbol_load_target.h"

namespace zentor {

namespace {

constexpr uint32_t kMsgNotActive = 329;
constexpr uint32_t kMsgSymbolNotKnown = 335;
constexpr uint32_t kMsgNameUndefined = 35;
constexpr uint32_t kMsgTooManyLines = 202;
constexpr uint32_t kMsgAssignmentUsing = 206;
constexpr uint32_t kMsgUnsupportedAssignment = 37;
constexpr uint32_t kMsgSyntaxError = 102;
constexpr uint32_t kMsgLocalsChanged = 402;
constexpr uint32_t kMsgTooLarge = 180;
constexpr uint16_t kNoValueType = 555;
constexpr uint32_t kCategoryArray = 5;
constexpr uint32_t kWidestText = 256;
constexpr std::size_t kMaxValueText = 1024;
// The panel's line: a line of the outline is cut there.
constexpr std::size_t kMaxLineText = 512;
constexpr std::size_t kProcedureNameSize = 40;

constexpr uint32_t kStateExpanded = 0;
constexpr uint32_t kStateContracted = 1;
constexpr uint32_t kStateFixed = 2;

bool IsExpandable(uint32_t category) {
  return category != 3 && category != 4 && category != 10 && category != 11;
}
bool IsValueBearing(uint32_t category) { return category == 4 || category == 6 || category == 10; }

char MarkerOf(uint32_t state) {
  switch (state) {
    case kStateContracted: return '+';
    case kStateExpanded: return '-';
    case kStateFixed: return ' ';
    default: return '?';
  }
}

bool WantsHexPrefix(uint16_t code) {
  return (code >= 2 && code <= 5) || (code >= 8 && code <= 11) || (code >= 13 && code <= 18);
}

// A value printed by the value printer, caught up to its first line end.
std::string PrintedValue(uint16_t kind, const uint8_t* value) {
  std::string text;
  bool stopped = false;
  ValueStack::Push(kind, value);
  OutputWriter::InstallTextHook([&](std::string_view run) {
    for (const char ch : run) {
      if (stopped || ch == '\r' || ch == '\n' || text.size() >= kMaxValueText - 1) {
        stopped = true;
        return;
      }
      text += ch;
    }
  });
  try {
    DisplayTopValueInBase(GetNumberBase());
  } catch (...) {
    OutputWriter::RemoveHook();
    throw;
  }
  OutputWriter::RemoveHook();
  return text;
}

struct ValueText {
  std::string text;
  uint16_t typeCode = kNoValueType;
  int32_t widest = kWidestText;
  int32_t width = 0;
  bool character = false;
  uint8_t characterByte = 0;
};

// The value text of evaluated bytes of a kind: character values (code 6) shown as
// code 8 with the character after them; "0x" in base 16 for the integer kinds.
ValueText FormatValueBytes(uint16_t kind, const uint8_t* value) {
  ValueText shown;
  shown.typeCode = kind;
  if (kind == kKindChar) {
    shown.character = true;
    shown.characterByte = value[0];
    shown.typeCode = kKindOrd1;
  }
  shown.text = PrintedValue(shown.typeCode, value);
  shown.widest = std::max(GetValueDisplayWidth(shown.typeCode, value, 2), 0);
  shown.width = std::max(GetValueDisplayWidth(shown.typeCode, value, GetNumberBase()), 0);
  if (GetNumberBase() == 16 && WantsHexPrefix(shown.typeCode)) {
    shown.text.insert(0, "0x");
    shown.width += 2;
  }
  shown.width = std::max(shown.width, static_cast<int32_t>(shown.text.size()));
  return shown;
}

// The number a value text shows in the current base: base 2 read from the right, each
// '1' adding its power of two and any other character counting as 0.
int64_t ShownNumber(const std::string& text) {
  const uint32_t base = GetNumberBase();
  if (base == 2) {
    uint64_t number = 0;
    uint64_t power = 1;
    for (auto it = text.rbegin(); it != text.rend() && power != 0; ++it, power <<= 1) {
      if (*it == '1') number += power;
    }
    return number > 0xFFFFFFFFu ? -1 : static_cast<int64_t>(number);
  }
  long number = -1;
  if (std::sscanf(text.c_str(), base == 16 ? "%lx" : "%ld", &number) != 1) return -1;
  return number;
}

}  // namespace

// The elements of an expanded array that came in one read: what they were made from
// and the bytes they show, so that a refresh can tell the same elements again and
// format only the values that changed.
struct InspectorViewManager::ElementBlock {
  uint16_t kind = 0;
  uint32_t size = 0;
  std::string firstLocation;
  uint32_t base = 0;
  uint32_t unicode = 0;
  std::vector<uint8_t> bytes;
};

struct InspectorViewManager::InspectorNode : NodeShape {
  bool topLevel = false;
  std::unique_ptr<SymbolHandle> handle;
  uint16_t typeCode = kNoValueType;
  uint32_t count = 0;
  uint32_t depth = 0;
  uint32_t state = kStateFixed;
  std::string name;
  ValueText value;
  std::vector<FieldPosition> fields;
  FieldLayout layout;
  // Set while the children are the elements of one read.
  std::unique_ptr<ElementBlock> elements;
};

namespace {

// With the "unicode" option a value of 16-bit characters ("unsigned short int") also
// shows as the character its number names; -1 for any other line.
int32_t WideCharacterOf(const std::string& typePrefix, const std::string& valueText) {
  if (InstalledSymbolLoadTarget().UnicodeOption() == 0 || typePrefix.rfind("unsigned short int", 0) != 0) {
    return -1;
  }
  const int64_t number = ShownNumber(valueText);
  return number >= 0 && number <= 0xFFFF ? static_cast<int32_t>(number) : -1;
}

}  // namespace

InspectorViewManager::InspectorViewManager(TextPane* pane) : BaseManager(pane) {}

InspectorViewManager::~InspectorViewManager() = default;

// The panel starts empty: lines come from the outline's own operations.
DVErrorCode InspectorViewManager::WriteContent(intptr_t) { return DVErrorCode(); }

int32_t InspectorViewManager::LineCount() const {
  int32_t count = 0;
  Panel::GetLineCount(m_pane->panel, &count);
  return count;
}

InspectorViewManager::InspectorNode* InspectorViewManager::NodeAt(int32_t line) const {
  TextPane view;
  Panel::GetInfo(m_pane->panel, &view);
  if (line < 0 || line >= view.count || view.lines == nullptr) return nullptr;
  return reinterpret_cast<InspectorNode*>(view.lines[line]->lineData);
}

int32_t InspectorViewManager::LineState(int32_t line) const {
  const InspectorNode* node = NodeAt(line);
  return node != nullptr ? static_cast<int32_t>(node->state) : -1;
}

std::unique_ptr<InspectorViewManager::InspectorNode> InspectorViewManager::TakeNode(InspectorNode* node) {
  std::unique_ptr<InspectorNode> taken;
  for (auto at = m_nodes.begin(); at != m_nodes.end(); ++at) {
    if (at->get() == node) {
      taken = std::move(*at);
      m_nodes.erase(at);
      break;
    }
  }
  return taken;
}

// One pass over the held nodes however many go: contracting an array of thousands of
// elements frees them all at once.
void InspectorViewManager::FreeNodes(const std::unordered_set<const InspectorNode*>& nodes) {
  if (nodes.empty()) return;
  m_nodes.remove_if([&nodes](const std::unique_ptr<InspectorNode>& held) { return nodes.count(held.get()) != 0; });
}

namespace {

// Reads what a line shows of its symbol: location (or inactive), category and
// declaration, string value and count.
void ReadNode(SymbolHandle& handle, bool* active, std::string* location,
              SymbolDescription* description, bool* hasText, std::string* text, uint32_t* count) {
  AddressDescriptor address;
  const DVErrorCode located = handle.GetAddress(address);
  *active = located.IsOkay();
  *location = *active ? address.Text().data() : "Inactive";
  handle.TypeName(*description);
  RWCString quoted;
  *hasText = handle.StringValue(quoted).IsOkay() && quoted.length() != 0;
  *text = quoted.data();
  *count = handle.ReadValue();
}

}  // namespace

// What a line shows of its symbol: location, declaration, category with its value and
// expansion flags, and the value (its quoted text, or the evaluated value).
DVErrorCode InspectorViewManager::DescribeNode(SymbolHandle& handle, InspectorNode& node) {
  SymbolDescription description;
  std::string stringValue;
  ReadNode(handle, &node.active, &node.location, &description, &node.hasText, &stringValue, &node.count);
  node.category = description.m_category;
  node.typePrefix = description.m_typeText;
  node.typeSuffix = description.m_typeSuffix;
  node.valueBearing = IsValueBearing(node.category);
  node.state = IsExpandable(node.category) ? kStateContracted : kStateFixed;
  const DVErrorCode formatted = node.active ? FormatSymbolValue(handle, node, stringValue) : DVErrorCode();
  node.typeCode = node.value.typeCode;
  return formatted;
}

// 1. A text value: the quoted text, cut to the count and its quotes.
// 2. A line without a value: nothing.
// 3. A value: evaluated and printed in the current base.
DVErrorCode InspectorViewManager::FormatSymbolValue(SymbolHandle& handle, InspectorNode& node,
                                                    const std::string& stringValue) {
  DVErrorCode evaluated;
  node.value = ValueText();
  if (node.hasText) {
    node.value.text = stringValue.substr(0, std::min<std::size_t>(node.count + 3, kMaxValueText));
    node.value.width = static_cast<int32_t>(node.value.text.size());
  } else if (node.valueBearing) {
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize] = {};
    evaluated = handle.Evaluate(kind, value);
    if (evaluated.IsOkay()) node.value = FormatValueBytes(kind, value);
  }
  node.typeCode = node.value.typeCode;
  return evaluated;
}

// The line of a node: indent, marker, location, declaration, and " = " with the value.
void InspectorViewManager::RenderLine(InspectorNode& node, std::string* text) const {
  std::string line(2 * node.depth, ' ');
  const int32_t indent = static_cast<int32_t>(line.size());
  line += MarkerOf(node.state);
  line += "<" + node.location + "> " + node.typePrefix + node.name + node.typeSuffix;
  node.fields.clear();
  if (node.hasText || IsExpandable(node.category)) node.fields.push_back(FieldPosition{indent, 0});
  if (node.hasText && node.active) {
    line += " = " + node.value.text;
  } else if (node.valueBearing && node.active) {
    const auto column = static_cast<int32_t>(line.size()) + 3;
    std::string value = node.value.text.substr(0, static_cast<std::size_t>(node.value.width));
    value.resize(static_cast<std::size_t>(node.value.width), ' ');
    line += " = " + value;
    node.fields.push_back(FieldPosition{column, node.value.width});
    if (node.value.character) {
      const auto byte = static_cast<int8_t>(node.value.characterByte);
      line += "  '";
      line += byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '.';
      line += "'";
    } else if (const int32_t wide = WideCharacterOf(node.typePrefix, node.value.text); wide >= 32 && wide <= 126) {
      line += "  '";
      line += static_cast<char>(wide);
      line += "'";
    }
  } else if (node.valueBearing && !node.active && node.depth == 0) {
    // An inactive value line keeps an empty value field for when it comes back.
    node.fields.push_back(FieldPosition{0, 0});
  }
  if (line.size() > kMaxLineText) line.resize(kMaxLineText);
  node.layout = FieldLayout{static_cast<int32_t>(node.fields.size()), 0, 0, 0,
                            node.fields.empty() ? nullptr : node.fields.data(), 0};
  *text = std::move(line);
}

namespace {

// How the elements of an array line are read.
struct ElementPlan {
  bool fast = false;         // plain values, read in one block (or all inactive)
  bool allInactive = false;  // the elements are not active: nothing is read
  uint16_t kind = 0;
  uint32_t size = 0;
  AddressDescriptor first;   // the first element's place
};

// 1. Only an array with elements: its first element is asked for.
// 2. A scalar's declared type names the kind of its value, so the elements come in
//    one read; a type the value kinds do not size is evaluated to learn its kind.
// 3. An inactive first element makes every element inactive.
ElementPlan PlanElements(const SymbolHandle& parent, uint32_t category, uint32_t count) {
  ElementPlan plan;
  if (category != kCategoryArray || count == 0) return plan;
  SymbolHandle first = SymbolHandle::SymbolHandle_Member(parent, 0);
  SymbolDescription description;
  const bool plain = !first.Status().IsOkay() || (first.TypeName(description).IsOkay() && description.m_category == 4);
  const DVErrorCode located = plain ? first.GetAddress(plan.first) : DVErrorCode();
  if (plain && located.Number() == kMsgNotActive) {
    plan.fast = true;
    plan.allInactive = true;
  } else if (plain && located.IsOkay()) {
    plan.kind = static_cast<uint16_t>(description.m_detail);
    const bool sized = plan.kind <= kKindReal10 && GetValueKindSize(plan.kind) != 0 &&
                       GetValueKindSize(plan.kind) == first.TypeSize();
    uint8_t value[ValueStack::kMaxItemSize] = {};
    if (sized || first.Evaluate(plan.kind, value).IsOkay()) {
      plan.size = GetValueKindSize(plan.kind);
      const uint64_t total = static_cast<uint64_t>(plan.size) * count;
      if (total > 0xFFFFFFFEu) throw DVError(kMsgTooLarge, kSeverityError);
      plan.fast = plan.size != 0;
    }
  }
  return plan;
}

// The bytes of `count` elements of a fast plan that reads, in one request.
std::vector<uint8_t> ReadElements(const ElementPlan& plan, uint32_t count) {
  std::vector<uint8_t> block(static_cast<std::size_t>(plan.size) * count);
  const TypedLocation start(plan.first, DVPTypeInfo::FromCode(plan.kind), OrdinalValue(plan.size), OrdinalValue(1u));
  OrdinalValue bytesRead;
  TargetMemory::ReadValue(&bytesRead, block.data(), static_cast<uint32_t>(block.size()),
                          AddressRange::FromLength(start, OrdinalValue(count)), 0);
  return block;
}

// The room a line of the outline gets: enough to type the widest value into it.
int32_t LineCapacity(const std::string& text, int32_t widest) {
  const auto capacity =
      static_cast<int32_t>(std::min<std::size_t>(text.size() + static_cast<std::size_t>(widest) + 20, kMaxLineText));
  return std::max(capacity, static_cast<int32_t>(text.size()));
}

}  // namespace

DVErrorCode InspectorViewManager::InsertNodeLine(std::unique_ptr<InspectorNode> node, int32_t line, const std::string& name) {
  node->name = name;
  std::string text;
  RenderLine(*node, &text);
  DVErrorCode result = Panel::SetLineData(m_pane->panel, reinterpret_cast<uintptr_t>(node.get()));
  if (result.IsOkay()) result = Panel::InsertText(m_pane->panel, line, text.c_str(), LineCapacity(text, node->value.widest));
  if (!result.IsOkay()) return result;
  TextPane view;
  Panel::GetInfo(m_pane->panel, &view);
  view.lines[line]->fields = &node->layout;
  m_nodes.push_back(std::move(node));
  return DVErrorCode();
}

DVErrorCode InspectorViewManager::AddInspectorItem(const char* text) {
  auto handle = std::make_unique<SymbolHandle>(
      SymbolHandle::SymbolHandle_FromExpression(GetCurrentSymbolContext(), text != nullptr ? text : ""));
  const DVErrorCode status = handle->Status();
  if (!status.IsOkay()) return status;
  auto node = std::make_unique<InspectorNode>();
  node->topLevel = true;
  const DVErrorCode evaluated = DescribeNode(*handle, *node);
  if (!evaluated.IsOkay()) return evaluated;
  const std::string name = text != nullptr ? text : "";
  node->handle = std::move(handle);
  return InsertNodeLine(std::move(node), LineCount(), name);
}

// The child lines of a contracted line: one per member, or per element of an array,
// whose elements are read from the target in one request when they are plain values.
DVErrorCode InspectorViewManager::ExpandInspectorLine(int32_t line, bool interactive) {
  InspectorNode* parent = NodeAt(line);
  if (parent == nullptr || !IsExpandable(parent->category) || parent->state != kStateContracted) {
    return DVErrorCode::FromWord(0xFFFFFFFFu);
  }
  parent->count = parent->handle->ReadValue();
  BreakMonitor userBreak;
  DVErrorCode result;
  uint32_t made = 0;
  const ElementPlan plan = PlanElements(*parent->handle, parent->category, parent->count);
  const bool fast = plan.fast;
  const bool allInactive = plan.allInactive;
  const uint16_t elementKind = plan.kind;
  const uint32_t elementSize = plan.size;
  std::vector<uint8_t> block;
  if (fast && !allInactive) block = ReadElements(plan, parent->count);
  for (uint32_t i = 0; i < parent->count; ++i) {
    const int32_t at = line + 1 + static_cast<int32_t>(made);
    if (at > kMaxInspectorLines) {
      result = DVErrorCode(kMsgTooManyLines, kSeverityWarning);
      break;
    }
    if (interactive && userBreak.TestAndClearChanged() != 0) break;
    auto handle = std::make_unique<SymbolHandle>(SymbolHandle::SymbolHandle_Member(*parent->handle, i));
    auto node = std::make_unique<InspectorNode>();
    node->depth = parent->depth + 1;
    if (fast) {
      if (!handle->Status().IsOkay()) throw DVError(handle->Status());
      node->valueBearing = true;
      node->state = kStateFixed;
      node->count = 1;
      node->category = 4;
      SymbolDescription description;
      handle->TypeName(description);
      node->typePrefix = description.m_typeText;
      node->typeSuffix = description.m_typeSuffix;
      AddressDescriptor address;
      node->active = !allInactive && handle->GetAddress(address).IsOkay();
      node->location = node->active ? address.Text().data() : "Inactive";
      if (node->active) node->value = FormatValueBytes(elementKind, block.data() + static_cast<std::size_t>(i) * elementSize);
    } else {
      if (!handle->Status().IsOkay()) {
        result = handle->Status();
        break;
      }
      // A member whose value cannot be read shows without one.
      (void)DescribeNode(*handle, *node);
    }
    node->typeCode = node->value.typeCode;
    std::string name = handle->ShortName().data();
    if (name.size() > 3 && name.compare(0, 3, "*BC") == 0) {
      name = "::";
      for (const char* prefix : {"struct ", "class "}) {
        if (node->typePrefix.rfind(prefix, 0) == 0) node->typePrefix.erase(0, std::strlen(prefix));
      }
    }
    node->handle = std::move(handle);
    const DVErrorCode inserted = InsertNodeLine(std::move(node), at, name);
    if (!inserted.IsOkay()) return inserted;
    ++made;
  }
  if (fast && !allInactive && made == parent->count && result.IsOkay()) {
    auto elements = std::make_unique<ElementBlock>();
    elements->kind = elementKind;
    elements->size = elementSize;
    elements->firstLocation = plan.first.Text().data();
    elements->base = GetNumberBase();
    elements->unicode = InstalledSymbolLoadTarget().UnicodeOption();
    elements->bytes = std::move(block);
    parent->elements = std::move(elements);
  }
  parent->count = made;
  parent->state = kStateExpanded;
  // The parent's marker shows the expansion.
  TextPane view;
  Panel::GetInfo(m_pane->panel, &view);
  std::string text(view.lines[line]->text, static_cast<std::size_t>(view.lines[line]->length));
  const std::size_t plus = text.find('+');
  if (plus != std::string::npos) {
    text[plus] = '-';
    Panel::SetLineText(m_pane->panel, line, text.c_str());
  }
  return result;
}

DVErrorCode InspectorViewManager::ContractInspectorLine(int32_t line) {
  InspectorNode* parent = NodeAt(line);
  if (parent == nullptr || !IsExpandable(parent->category)) return DVErrorCode::FromWord(0xFFFFFFFFu);
  if (parent->state != kStateExpanded) return DVErrorCode();
  TextPane view;
  Panel::GetInfo(m_pane->panel, &view);
  std::string text(view.lines[line]->text, static_cast<std::size_t>(view.lines[line]->length));
  const std::size_t minus = text.find('-');
  if (minus != std::string::npos) text[minus] = '+';
  Panel::SetLineText(m_pane->panel, line, text.c_str());
  parent->state = kStateContracted;
  parent->elements.reset();
  // Every line below that belongs to the parent, nested expansions included.
  int32_t remaining = static_cast<int32_t>(parent->count);
  int32_t walked = 0;
  std::unordered_set<const InspectorNode*> freed;
  for (int32_t at = line + 1; walked < remaining && at < view.count; ++at, ++walked) {
    InspectorNode* child = NodeAt(at);
    if (child != nullptr && child->state == kStateExpanded) remaining += static_cast<int32_t>(child->count);
    freed.insert(child);
  }
  FreeNodes(freed);
  return Panel::DeleteLines(m_pane->panel, line + 1, walked);
}

DVErrorCode InspectorViewManager::DeleteInspectorItem() {
  const int32_t line = m_pane->top + m_pane->row;
  InspectorNode* root = NodeAt(line);
  if (root == nullptr || !root->topLevel) return DVErrorCode::FromWord(0xFFFFFFFFu);
  const int32_t count = LineCount();
  int32_t end = line + 1;
  while (end < count && !NodeAt(end)->topLevel) ++end;
  std::unordered_set<const InspectorNode*> freed;
  for (int32_t at = line; at < end; ++at) freed.insert(NodeAt(at));
  FreeNodes(freed);
  const DVErrorCode deleted = Panel::DeleteLines(m_pane->panel, line, end - line);
  if (end == count && m_pane->row > 0) --m_pane->row;
  if (LineCount() == 0) {
    m_pane->selStart = -1;
    m_pane->selLength = -1;
  }
  return deleted;
}

bool InspectorViewManager::NodeShape::SameAs(const NodeShape& other) const {
  return location == other.location && typePrefix == other.typePrefix && typeSuffix == other.typeSuffix &&
         category == other.category && active == other.active && hasText == other.hasText &&
         valueBearing == other.valueBearing;
}

// Writes a node's line again where its text or room changed.
void InspectorViewManager::RewriteLine(int32_t line, InspectorNode& node) {
  std::string text;
  RenderLine(node, &text);
  const int32_t capacity = LineCapacity(text, node.value.widest);
  TextPane view;
  Panel::GetInfo(m_pane->panel, &view);
  const PaneLine& held = *view.lines[line];
  if (held.capacity == capacity && static_cast<std::size_t>(held.length) == text.size() &&
      std::memcmp(held.text, text.data(), text.size()) == 0) {
    return;
  }
  Panel::SetLineText(m_pane->panel, line, text.c_str(), capacity);
}

// The refresh that keeps the outline where it shows the same symbols: every line a
// root, or an element of a root array whose elements came in one read.
// 1. Each root is described again through its own handle; each must show as before
//    but for its value, and an expanded root's elements must be the same elements
//    (count, kind, size, place), formatted in the same base. Their bytes are read.
// 2. Only then is anything changed: each root's line is written again where it
//    changed, and each element's line where its bytes changed.
// False, with nothing changed, when the outline must be made anew.
bool InspectorViewManager::RefreshInPlace() {
  struct Root {
    int32_t line = 0;
    InspectorNode* node = nullptr;
    InspectorNode fresh;
    std::vector<uint8_t> elements;
  };
  const int32_t count = LineCount();
  const uint32_t base = GetNumberBase();
  const uint32_t unicode = InstalledSymbolLoadTarget().UnicodeOption();
  // An outline of another shape (a nested expansion, members that are not one read's
  // elements: the Locals window) is made anew without describing anything first.
  for (int32_t line = 0; line < count;) {
    const InspectorNode* node = NodeAt(line);
    if (node == nullptr || !node->topLevel || node->handle == nullptr) return false;
    if (node->state == kStateExpanded && node->elements == nullptr) return false;
    line += 1 + (node->state == kStateExpanded ? static_cast<int32_t>(node->count) : 0);
  }
  std::list<Root> roots;
  try {
    for (int32_t line = 0; line < count;) {
      InspectorNode* node = NodeAt(line);
      Root& root = roots.emplace_back();
      root.line = line;
      root.node = node;
      (void)DescribeNode(*node->handle, root.fresh);
      if (!node->SameAs(root.fresh)) return false;
      if (node->state != kStateExpanded) {
        ++line;
        continue;
      }
      const ElementBlock* elements = node->elements.get();
      if (root.fresh.count != node->count || elements->base != base || elements->unicode != unicode) return false;
      const ElementPlan plan = PlanElements(*node->handle, root.fresh.category, root.fresh.count);
      if (!plan.fast || plan.allInactive || plan.kind != elements->kind || plan.size != elements->size ||
          elements->firstLocation != plan.first.Text().data()) {
        return false;
      }
      root.elements = ReadElements(plan, node->count);
      line += 1 + static_cast<int32_t>(node->count);
    }
  } catch (const DVError&) {
    // The rebuild meets the same failure where the user sees it.
    return false;
  }
  for (Root& root : roots) {
    InspectorNode& node = *root.node;
    node.value = root.fresh.value;
    node.typeCode = root.fresh.typeCode;
    if (node.state != kStateExpanded) node.count = root.fresh.count;
    RewriteLine(root.line, node);
    if (node.state != kStateExpanded) continue;
    ElementBlock& elements = *node.elements;
    for (uint32_t i = 0; i < node.count; ++i) {
      const std::size_t offset = static_cast<std::size_t>(i) * elements.size;
      if (std::memcmp(root.elements.data() + offset, elements.bytes.data() + offset, elements.size) == 0) continue;
      const int32_t line = root.line + 1 + static_cast<int32_t>(i);
      InspectorNode& element = *NodeAt(line);
      if (!element.active) continue;
      element.value = FormatValueBytes(elements.kind, root.elements.data() + offset);
      element.typeCode = element.value.typeCode;
      RewriteLine(line, element);
    }
    elements.bytes = std::move(root.elements);
  }
  return true;
}

// After the target ran: every root is read again through its own symbol handle (so a
// root that left scope shows "Inactive" and comes back when its scope is active
// again), and every expanded line is expanded again, found by its path of member
// indexes from its root. Where every line still shows the same symbol, only the
// values are read and written again (RefreshInPlace).
DVErrorCode InspectorViewManager::RefreshInspector() {
  // No window event may reach the outline while its lines are rebuilt.
  const PumpingOff pumping;
  if (RefreshInPlace()) return DVErrorCode();
  const int32_t count = LineCount();
  const int32_t top = m_pane->top;
  const int32_t row = m_pane->row;
  // The path of a line: its root's number, then its member index at each depth below.
  std::vector<std::vector<int32_t>> expanded;
  std::vector<InspectorNode*> rootNodes;
  std::vector<int32_t> path;
  for (int32_t line = 0; line < count; ++line) {
    InspectorNode* node = NodeAt(line);
    if (node->topLevel) rootNodes.push_back(node);
    // Deeper indexes belong to the lines before; a first child starts its depth again.
    path.resize(node->depth + 1, -1);
    ++path[node->depth];
    if (node->state == kStateExpanded) expanded.push_back(path);
  }
  std::vector<std::unique_ptr<InspectorNode>> roots;
  for (InspectorNode* node : rootNodes) roots.push_back(TakeNode(node));
  ClearInspector();
  DVErrorCode result;
  for (std::unique_ptr<InspectorNode>& root : roots) {
    if (root == nullptr || root->handle == nullptr) continue;
    const std::string name = root->name;
    root->value = ValueText();
    // A value that cannot be read now shows without one; the root stays.
    (void)DescribeNode(*root->handle, *root);
    const DVErrorCode inserted = InsertNodeLine(std::move(root), LineCount(), name);
    if (!inserted.IsOkay() && result.IsOkay()) result = inserted;
  }
  for (const std::vector<int32_t>& steps : expanded) {
    // Walk down the path: the root's line, then the index-th child at each depth.
    int32_t line = 0;
    int32_t seen = -1;
    for (; line < LineCount(); ++line) {
      if (NodeAt(line)->topLevel && ++seen == steps[0]) break;
    }
    for (std::size_t depth = 1; depth < steps.size() && line < LineCount(); ++depth) {
      int32_t index = -1;
      int32_t at = line + 1;
      for (; at < LineCount() && NodeAt(at)->depth >= depth; ++at) {
        if (NodeAt(at)->depth == depth && ++index == steps[depth]) break;
      }
      line = at;
    }
    if (line < LineCount() && NodeAt(line)->state == kStateContracted) {
      if (!ExpandInspectorLine(line, false).IsOkay()) break;
    }
  }
  if (LineCount() == count) {
    m_pane->top = top;
    m_pane->row = row;
  } else {
    m_pane->top = 0;
    m_pane->row = 0;
    m_pane->total = LineCount();
    m_pane->selStart = 0;
    m_pane->selLength = 0;
  }
  return result;
}

DVErrorCode InspectorViewManager::AssignInspectorField(int32_t line) {
  InspectorNode* node = NodeAt(line);
  if (node == nullptr || node->fields.empty()) return DVErrorCode();
  const int32_t index = FieldLayout::FieldAtColumn(*m_pane, &node->layout);
  const FieldPosition field = node->layout.FieldSpan(index);
  if (field.width > 2047) RaiseInternalError(__FILE__, __LINE__);
  TextPane view;
  Panel::GetInfo(m_pane->panel, &view);
  const std::string lineText(view.lines[line]->text, static_cast<std::size_t>(view.lines[line]->length));
  const std::string text = field.start < static_cast<int32_t>(lineText.size())
                               ? lineText.substr(static_cast<std::size_t>(field.start), static_cast<std::size_t>(field.width))
                               : std::string();
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize] = {};
  const DVErrorCode evaluated = ExecuteText(text.c_str(), kProductionExpression, &kind, value);
  if (!evaluated.IsOkay()) {
    const uint32_t number = evaluated.Number();
    if (number == kMsgSymbolNotKnown || number == kMsgNameUndefined || number == kMsgSyntaxError) {
      DVError refused(kMsgAssignmentUsing, kSeverityWarning);
      refused.SetArg(0, text.c_str());
      throw refused;
    }
    return evaluated;
  }
  uint8_t converted[ValueStack::kMaxItemSize] = {};
  ConvertValue(value, kind, converted, node->typeCode);
  return node->handle->AssignValue(node->typeCode, converted);
}

void InspectorViewManager::ClearInspector() {
  m_nodes.clear();
  Panel::Clear(m_pane->panel);
}

void InspectorViewManager::ReleaseInspectorNodes() { m_nodes.clear(); }

bool InspectorViewManager::ProcedureNameDiffers(const std::string& name) const { return name != m_procedure; }

DVErrorCode InspectorViewManager::GetVariableValueText(char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return DVErrorCode();
  const std::string text(buffer, strnlen(buffer, size));
  SymbolHandle handle = SymbolHandle::SymbolHandle_FromExpression(GetCurrentSymbolContext(), text.c_str());
  std::string shown = "Inactive";
  if (handle.Status().IsOkay()) {
    AddressDescriptor address;
    SymbolDescription description;
    handle.TypeName(description);
    if (handle.GetAddress(address).IsOkay()) {
      if (!IsValueBearing(description.m_category)) return DVErrorCode(kMsgUnsupportedAssignment, kSeverityInternal);
      uint16_t kind = 0;
      uint8_t value[ValueStack::kMaxItemSize] = {};
      const DVErrorCode evaluated = handle.Evaluate(kind, value);
      if (!evaluated.IsOkay()) return evaluated;
      shown = FormatValueBytes(kind, value).text;
    }
  } else if (handle.Status().Number() != kMsgNotActive) {
    return handle.Status();
  }
  // Never more than the caller's buffer holds.
  const std::size_t length = std::min(shown.size(), size - 1);
  std::memcpy(buffer, shown.data(), length);
  buffer[length] = '\0';
  return DVErrorCode();
}

std::string InspectorViewManager::GetCurrentProcedureName() {
  AddressPair frame;
  try {
    FillFrameFromRegisters(frame);
  } catch (const DVError&) {
    return {};
  }
  SymbolHandle handle = SymbolHandle::SymbolHandle_AtAddress(GetCurrentSymbolContext(), frame.m_first, 2);
  SymbolDescription description;
  if (!handle.Status().IsOkay() || !handle.TypeName(description).IsOkay()) return {};
  std::string name = handle.AccessPathName().data();
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(0, dot + 1);
  const std::size_t plus = name.rfind('+');
  if (plus != std::string::npos) name.erase(plus == 0 ? 0 : plus - 1);
  if (name.size() > kProcedureNameSize - 1) name.resize(kProcedureNameSize - 1);
  return name;
}

int32_t InspectorViewManager::InspectorRequestWithoutWindow(DVError& status, int32_t code, intptr_t argument) {
  if (code != kGuiInspectValueText) RaiseInternalError(__FILE__, __LINE__);
  const DVErrorCode result = GetVariableValueText(reinterpret_cast<char*>(argument), kValueTextBufferSize);
  if (result.IsOkay()) {
    status.Reset();
  } else {
    status = result;
  }
  return static_cast<int32_t>(status.Number());
}

int32_t InspectorViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  auto* request = reinterpret_cast<InspectorRequest*>(argument);
  const auto line = static_cast<int32_t>(request != nullptr ? request->line : 0);
  DVErrorCode result;
  status.Reset();
  switch (code) {
    case kGuiOpened:
      result = Panel::Create(&m_pane->panel, 0);
      if (result.IsOkay()) result = Panel::CaptureOutput(m_pane->panel, this, 0);
      if (request != nullptr && request->pool == 0) request->pool = reinterpret_cast<uintptr_t>(this);
      break;
    case kGuiClosing:
      ReleaseInspectorNodes();
      result = Panel::Destroy(m_pane->panel);
      m_pane->panel = 0;
      break;
    case kGuiRefresh:
      result = RefreshInspector();
      break;
    case kGuiCommitField: {
      const int32_t current = m_pane->top + m_pane->row;
      InspectorNode* node = NodeAt(current);
      if (node == nullptr) break;
      if (FieldLayout::FieldAtColumn(*m_pane, &node->layout) == 0 && !node->fields.empty() &&
          node->fields[0].width == 0) {
        // The marker field opens and closes the line; the value field takes a new value.
        if (node->state == kStateExpanded) {
          result = ContractInspectorLine(current);
        } else if (node->state == kStateContracted) {
          result = ExpandInspectorLine(current, true);
        }
      } else {
        result = AssignInspectorField(current);
      }
      break;
    }
    case kGuiEngineNotice:
      ClearInspector();
      m_procedure.clear();
      break;
    case kGuiInspectAdd: {
      const char* text = request != nullptr ? request->text : nullptr;
      result = AddInspectorItem(text);
      if (result.Number() == kMsgSymbolNotKnown || result.Number() == kMsgNameUndefined) {
        status = DVError(result.Number(), kSeverityError);
        status.SetArg(0, text != nullptr ? text : "");
        result.SetOkay();
      }
      break;
    }
    case kGuiInspectDelete:
      result = DeleteInspectorItem();
      break;
    case kGuiInspectExpand:
      result = ExpandInspectorLine(line, true);
      break;
    case kGuiInspectContract:
      result = ContractInspectorLine(line);
      break;
    case kGuiInspectValueText:
      result = GetVariableValueText(reinterpret_cast<char*>(argument), kValueTextBufferSize);
      break;
    case kGuiInspectLocals:
      m_procedure = GetCurrentProcedureName();
      result = AddInspectorItem(m_procedure.c_str());
      if (result.IsOkay() && LineCount() > 0 && IsExpandable(NodeAt(0)->category)) result = ExpandInspectorLine(0, true);
      break;
    case kGuiLocalsNeedRebuild: {
      const std::string now = GetCurrentProcedureName();
      if (ProcedureNameDiffers(now)) {
        m_procedure = now;
        result = DVErrorCode(kMsgLocalsChanged, kSeverityWarning);
      }
      break;
    }
    default:
      break;
  }
  Panel::GetInfo(m_pane->panel, m_pane);
  if (code == kGuiClosing) {
    m_pane->lines = nullptr;
    m_pane->count = 0;
  }
  if (!result.IsOkay() && status.ArgumentCount() == 0) status = result;
  return static_cast<int32_t>(status.Number());
}

}  // namespace zentor
