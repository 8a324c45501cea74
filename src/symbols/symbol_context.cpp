#include "symbols/symbol_context.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "symbols/line_ranges.h"
#include "symbols/page_cache.h"

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/frame_list.h"
#include "core/program_counter.h"
#include "core/stop_report.h"
#include "core/status_line.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

LoaderStateFactory g_loaderStateFactory = nullptr;
TypeDescriptionFactory g_typeDescriptionFactory = nullptr;

// The status-line columns that the stop caption leaves for the text of the stop.
constexpr uint32_t kStopTextColumns = 24;

std::unique_ptr<LoaderStateBase> MakeLoaderState() {
  std::unique_ptr<LoaderStateBase> part = g_loaderStateFactory != nullptr ? g_loaderStateFactory() : nullptr;
  return part != nullptr ? std::move(part) : std::make_unique<LoaderStateBase>();
}

std::unique_ptr<SharedContextPart> MakeTypeDescription() {
  std::unique_ptr<SharedContextPart> part = g_typeDescriptionFactory != nullptr ? g_typeDescriptionFactory() : nullptr;
  return part != nullptr ? std::move(part) : std::make_unique<SharedContextPart>();
}

template <typename Part>
void DropReferenceTo(Part*& part) {
  if (part != nullptr && part->DropReference() == 0) delete part;
  part = nullptr;
}

// Every symbol-table operation that takes no cache works on the current context's.
void InstallCacheProviderUnlessSet() {
  if (CurrentPageCacheProvider() == nullptr) SetCurrentPageCacheProvider(&CurrentSymbolContextCache);
}

[[maybe_unused]] const bool kCacheProviderInstalled = (InstallCacheProviderUnlessSet(), true);

// How the viewpoint records' contexts come to share one program's tables (the core
// cannot assign a context). The default context belongs to no viewpoint: it never
// takes over another's tables.
class ViewpointTableSharing final : public SymbolContextPort {
 public:
  void ShareTables(SymbolContext& target, const SymbolContext& source) override {
    if (&target != GetDefaultSymbolContext()) target = source;
  }
};

// Installed with every context made, so that it is there before a record holds one.
void InstallViewpointTableSharing() {
  static ViewpointTableSharing sharing;
  InstallSymbolContextPort(&sharing);
}

void MarkForCurrentViewpoint(uint32_t kind) { MarkRegisteredChanged(kind, CurrentViewpoint()); }

// The distance of an address from the start of its own address space (0 for a null
// address and a register, which have no such distance).
OrdinalValue OffsetInSpace(const AddressDescriptor& address) {
  if (address.IsNull() || address.IsRegister()) return OrdinalValue();
  return address - address.SpaceStart();
}

// The context that CurrentSymbolContextScope puts in place of the viewpoint's.
SymbolContext* g_contextOverride = nullptr;

// The contexts that exist, by serial. Never destroyed: the default context is a
// static that goes after everything else and must still find it.
std::unordered_map<uint64_t, SymbolContext*>& LiveContexts() {
  static auto* contexts = new std::unordered_map<uint64_t, SymbolContext*>();
  return *contexts;
}

uint64_t NextContextSerial() {
  static uint64_t next = 0;
  return ++next;
}

// Frame selection. Steps:
// 1. No frame list or no selected frame, or a selected frame without address: nothing.
// 2. The new index (selected + step) must be one the list can select.
// 3. The new frame is selected; with an address the location goes there in line mode
//    and the browsing watchers (kind 1) are told.
void MoveToFrame(int32_t step) {
  FrameList* frames = CurrentFrameListOrNull();
  if (frames == nullptr) return;
  AddressPair frame;
  const int32_t index = frames->GetCurrent(&frame);
  if (index == FrameList::kNoFrame || frame.m_first.IsNull()) return;
  const int64_t wanted = static_cast<int64_t>(index) + step;
  if (wanted < 0 || wanted > INT32_MAX) return;
  if (frames->SetCurrent(static_cast<int32_t>(wanted)) == -1) return;
  if (frames->GetCurrent(&frame) == FrameList::kNoFrame || frame.m_first.IsNull()) return;
  GetCurrentSymbolContext()->GoToPosition(frame.m_first);
  MarkForCurrentViewpoint(kRecordSymbolBrowsing);
}

}  // namespace

// ---- LoaderStateBase: a context without a program

LoaderStateBase::LoaderStateBase() = default;

LoaderStateBase::~LoaderStateBase() = default;

ModuleDescriptor* LoaderStateBase::ModuleAtAddress(SymbolContext& /*context*/, const AddressDescriptor& /*address*/,
                                                   DVErrorCode& /*status*/) {
  return nullptr;
}

RWCString LoaderStateBase::ModuleName(const ModuleDescriptor& /*module*/) const { return RWCString(); }

void LoaderStateBase::LineAt(ModuleDescriptor& /*module*/, const AddressDescriptor& /*address*/, OptionalLine& line,
                             OrdinalValue& offset) const {
  line = OptionalLine();
  offset = OrdinalValue();
}

void LoaderStateBase::ForEachProcedure(const ModuleDescriptor& /*module*/,
                                       const std::function<bool(const ProcedureSpan&)>& /*visit*/) const {}

void LoaderStateBase::ResetModuleDisplayState(ModuleDescriptor& /*module*/) {}

ModuleViewState LoaderStateBase::ViewStateOf(const ModuleDescriptor& /*module*/) const { return ModuleViewState(); }

void LoaderStateBase::SaveModuleViewPosition(ModuleDescriptor& /*module*/, uint32_t /*first*/, uint32_t /*second*/) {}

void LoaderStateBase::ForgetModuleViewPositions() {}

const RWOrdered* LoaderStateBase::CollectLineAddresses(const OptionalLine& /*line*/) { return nullptr; }

void SetLoaderStateFactory(LoaderStateFactory factory) { g_loaderStateFactory = factory; }

void SetTypeDescriptionFactory(TypeDescriptionFactory factory) { g_typeDescriptionFactory = factory; }

LoaderStateFactory InstalledLoaderStateFactory() { return g_loaderStateFactory; }

TypeDescriptionFactory InstalledTypeDescriptionFactory() { return g_typeDescriptionFactory; }

// ---- SymbolContext

SymbolContext::SymbolContext() : SymbolContext(nullptr) { MarkChangedRecords(kRecordSearchPaths, nullptr); }

SymbolContext::SymbolContext(const SymbolContext* program) {
  InstallCacheProviderUnlessSet();
  InstallViewpointTableSharing();
  if (program != nullptr) {
    m_location = std::make_unique<SourceLocation>();
    program->m_tablesUntouched = false;
    m_typeDescription = program->m_typeDescription;
    m_loader = program->m_loader;
    m_cache = program->m_cache;
  } else {
    // Everything is made before anything is owned, so a failure (no temporary file
    // for the cache) leaves nothing behind.
    std::unique_ptr<SharedContextPart> typeDescription = MakeTypeDescription();
    std::unique_ptr<LoaderStateBase> loader = MakeLoaderState();
    auto cache = std::make_unique<PageCache>();
    m_location = std::make_unique<SourceLocation>();
    m_typeDescription = typeDescription.release();
    m_loader = loader.release();
    m_cache = cache.release();
    m_loaderMaker = g_loaderStateFactory;
    m_typeDescriptionMaker = g_typeDescriptionFactory;
    m_tablesUntouched = true;
  }
  m_typeDescription->AddReference();
  m_loader->AddReference();
  m_cache->AddReference();
  m_serial = NextContextSerial();
  LiveContexts()[m_serial] = this;
}

SymbolContext* SymbolContext::Live(uint64_t serial) {
  const auto found = LiveContexts().find(serial);
  return found != LiveContexts().end() ? found->second : nullptr;
}

std::unique_ptr<SymbolContext> SymbolContext::CreateForViewpoint() {
  // The default context is made first, so its construction never runs inside this
  // one's.
  SymbolContext* defaultContext = GetDefaultSymbolContext();
  std::unique_ptr<SymbolContext> context(new SymbolContext(nullptr));
  context->SourcePathList() = defaultContext->SourcePathList();
  MarkChangedRecords(kRecordSearchPaths, nullptr);
  return context;
}

std::unique_ptr<SymbolContext> SymbolContext::CreateForViewpointOf(const SymbolContext& program) {
  SymbolContext* defaultContext = GetDefaultSymbolContext();
  std::unique_ptr<SymbolContext> context(new SymbolContext(&program));
  context->SourcePathList() = defaultContext->SourcePathList();
  MarkChangedRecords(kRecordSearchPaths, nullptr);
  return context;
}

SymbolContext::~SymbolContext() {
  LiveContexts().erase(m_serial);
  DropParts();
}

bool SymbolContext::HoldsUntouchedTables() const {
  return m_tablesUntouched && m_loaderMaker == g_loaderStateFactory && m_typeDescriptionMaker == g_typeDescriptionFactory;
}

void SymbolContext::DropParts() {
  DropReferenceTo(m_typeDescription);
  DropReferenceTo(m_loader);
  DropReferenceTo(m_cache);
}

SymbolContext& SymbolContext::operator=(const SymbolContext& other) {
  if (this == &other) return *this;
  // The other context's parts gain their references before this one's are dropped:
  // when both share a part, its count never passes through 0.
  other.m_typeDescription->AddReference();
  other.m_loader->AddReference();
  other.m_cache->AddReference();
  DropParts();
  other.m_tablesUntouched = false;
  m_tablesUntouched = false;
  m_typeDescription = other.m_typeDescription;
  m_loader = other.m_loader;
  m_cache = other.m_cache;
  return *this;
}

void SymbolContext::ResetSourceLocation() {
  SymbolContext* defaultContext = GetDefaultSymbolContext();
  if (this == defaultContext) return;
  auto fresh = std::make_unique<SourceLocation>();
  fresh->Path() = defaultContext->SourcePathList();
  m_location = std::move(fresh);
  MarkChangedRecords(kRecordSearchPaths, nullptr);
}

void SymbolContext::SetScopeAddress(const AddressDescriptor& address) { m_location->m_scopeAddress = address; }

void SymbolContext::PushScopeAddress(const AddressDescriptor& address) {
  m_location->m_savedScopeAddress = m_location->m_scopeAddress;
  m_location->m_scopeAddress = address;
}

void SymbolContext::PopScopeAddress() { m_location->m_scopeAddress = m_location->m_savedScopeAddress; }

// Location update from an address A:
// 1. The module whose ranges hold A and its name ("<Unknown>" when none does;
//    SetLocationModule).
// 2. Without a module the line is absent and the offset is A's distance from the start
//    of its space; with one, the module's line information gives line and offset, and
//    a change between having a line and having none makes the module forget its view
//    state.
// 3. The procedure (UpdateProcedure).
ModuleDescriptor* SymbolContext::SetLocationModule(const AddressDescriptor& address) {
  LocationRecord& record = m_location->m_location;
  record.m_address = address;
  DVErrorCode status;
  ModuleDescriptor* module = address.IsNull() ? nullptr : Loader().ModuleAtAddress(*this, address, status);
  record.m_module = module;
  record.m_moduleName = module != nullptr ? Loader().ModuleName(*module) : RWCString("<Unknown>");
  return module;
}

void SymbolContext::UpdateLocation(const AddressDescriptor& address) {
  LocationRecord& record = m_location->m_location;
  const OptionalLine previousLine = record.m_line;
  ModuleDescriptor* module = SetLocationModule(address);
  if (module == nullptr) {
    record.m_line = OptionalLine();
    record.m_offset = OffsetInSpace(address);
  } else {
    OptionalLine line;
    OrdinalValue offset;
    Loader().LineAt(*module, address, line, offset);
    record.m_line = line;
    record.m_offset = offset;
    if (line.IsEmpty() != previousLine.IsEmpty()) Loader().ResetModuleDisplayState(*module);
  }
  UpdateProcedure(address);
}

// The procedure name holds for the remembered range; outside it the module's
// procedures are searched in order for the first whose range encloses the address.
void SymbolContext::UpdateProcedure(const AddressDescriptor& address) {
  LocationRecord& record = m_location->m_location;
  auto clearProcedure = [&record] {
    record.m_procedureName = RWCString();
    record.m_procedureFirst = AddressDescriptor();
    record.m_procedureLast = AddressDescriptor();
  };
  if (record.m_module == nullptr) {
    clearProcedure();
    return;
  }
  if (address.IsWithinRange(record.m_procedureFirst, record.m_procedureLast) != kOutsideRange) return;
  bool found = false;
  Loader().ForEachProcedure(*record.m_module, [&](const ProcedureSpan& procedure) {
    if (address.IsWithinRange(procedure.m_first, procedure.m_last) == kOutsideRange) return true;
    record.m_procedureFirst = procedure.m_first;
    record.m_procedureLast = procedure.m_last;
    record.m_procedureName = procedure.m_name.NameText(Cache());
    found = true;
    return false;
  });
  if (!found) clearProcedure();
}

void SymbolContext::SetCurrentAddress(const AddressDescriptor& address) {
  if (address.IsNull()) return;
  ClearBrowseHistory();
  m_location->m_scopeAddress = address;
  UpdateLocation(address);
  m_location->m_locationAddress = address;
  SetStatusText(StopCaption().data());
  m_location->m_mode = SourceLocation::kAddressMode;
  MarkForCurrentViewpoint(kRecordLocations);
  m_location->m_executionAddress = address;
}

void SymbolContext::GoToPosition(const AddressDescriptor& address) {
  UpdateLocation(address);
  m_location->m_scopeAddress = address;
  SetStatusText(BrowseCaption().data());
  m_location->m_mode = SourceLocation::kLineMode;
  MarkForCurrentViewpoint(kRecordLocations);
}

void SymbolContext::BrowseToAddress(const AddressDescriptor& address) {
  m_location->m_scopeAddress = address;
  m_location->m_mode = SourceLocation::kLineMode;
  SetStatusText(BrowseCaption().data());
  MarkForCurrentViewpoint(kRecordStatusLine);
}

void SymbolContext::RefreshBrowseCaption() {
  UpdateLocation(m_location->m_scopeAddress);
  const RWCString caption = m_location->m_mode == SourceLocation::kAddressMode ? StopCaption() : BrowseCaption();
  SetStatusText(caption.data());
}

ModuleDescriptor* SymbolContext::ModuleAtAddress(const AddressDescriptor& address, DVErrorCode& status) {
  return Loader().ModuleAtAddress(*this, address, status);
}

SourcePosition SymbolContext::GetPosition() const {
  SourcePosition position;
  const LocationRecord& record = m_location->Location();
  position.m_moduleName = record.m_moduleName;
  position.m_location = &record;
  if (record.m_module == nullptr) {
    if (!record.m_address.IsNull()) position.m_address = record.m_address.SpaceEnd();
    return position;
  }
  const ModuleViewState view = Loader().ViewStateOf(*record.m_module);
  position.m_line = record.m_line;
  position.m_displayWords[0] = view.m_displayWords[0];
  position.m_displayWords[1] = view.m_displayWords[1];
  position.m_flags = view.m_flags;
  position.m_address = view.m_address;
  return position;
}

const RWOrdered* SymbolContext::CollectLineAddresses(const OptionalLine& line) {
  if (line.IsEmpty()) return nullptr;
  return Loader().CollectLineAddresses(line);
}

void SymbolContext::CollectLineRanges(const OptionalLine& from, const OptionalLine& to, LineAddress* ranges,
                                      uint32_t capacity) {
  const CurrentSymbolContextScope self(this);
  zentor::CollectLineRanges(from, to, ranges, capacity);
}

void SymbolContext::ClearBrowseHistory() {
  m_historyCount = 0;
  m_historySaved = AddressDescriptor();
}

void SymbolContext::SaveBrowseHistory(const AddressDescriptor& address) {
  m_historySaved = address;
  m_historyCount = 1;
}

AddressDescriptor SymbolContext::TakeBrowseHistory() {
  if (m_historyCount != 0) --m_historyCount;
  return m_historySaved;
}

RWCString SymbolContext::BrowseCaption() const {
  const FrameList* frames = CurrentFrameListOrNull();
  const int32_t frame = frames != nullptr ? frames->GetCurrent(nullptr) : FrameList::kNoFrame;
  if (frame == FrameList::kNoFrame) return m_location->LocationText("[Browse]  ");
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "[Calls (%d)] ", static_cast<int>(frame));
  return m_location->LocationText(prefix);
}

RWCString SymbolContext::StopCaption() const {
  const uint32_t width = StatusLineWidth();
  RWCString caption = m_location->LocationText();
  caption.resize(width > kStopTextColumns ? width - kStopTextColumns : 0);
  caption += CopyLastStopText();
  return caption;
}

SymbolContext* GetDefaultSymbolContext() {
  static SymbolContext context;
  return &context;
}

SymbolContext* GetCurrentSymbolContextOrDefault() {
  const ViewpointHandle& current = CurrentViewpoint();
  // Asked on every call into the loader library: "none" needs no target's opinion.
  if (current.IsNone()) return GetDefaultSymbolContext();
  SymbolContext* context = ViewpointManager::SymbolContextOf(current);
  return context != nullptr ? context : GetDefaultSymbolContext();
}

SymbolContext* GetCurrentSymbolContext() {
  return g_contextOverride != nullptr ? g_contextOverride : GetCurrentSymbolContextOrDefault();
}

void RemoveViewpointsAndTheirContexts() {
  std::vector<SymbolContext*> contexts;
  for (uint32_t index = 0; index < ViewpointManager::Count(); ++index) {
    SymbolContext* context = ViewpointManager::SymbolContextOf(ViewpointManager::HandleAt(static_cast<int32_t>(index)));
    if (context != nullptr && context != GetDefaultSymbolContext()) contexts.push_back(context);
  }
  ViewpointManager::RemoveAllViewpoints();
  for (SymbolContext* context : contexts) delete context;
}

CurrentSymbolContextScope::CurrentSymbolContextScope(SymbolContext* context) : m_previous(g_contextOverride) {
  g_contextOverride = context;
}

CurrentSymbolContextScope::~CurrentSymbolContextScope() { g_contextOverride = m_previous; }

PageCache* CurrentSymbolContextCache() { return &GetCurrentSymbolContext()->Cache(); }

// ---- BrowseHistory

DVErrorCode BrowseHistory::Push(const AddressDescriptor& position) {
  SymbolContext* context = GetCurrentSymbolContext();
  context->ClearBrowseHistory();
  context->SaveBrowseHistory(context->ScopeAddress());
  context->GoToPosition(position);
  return DVErrorCode();
}

DVErrorCode BrowseHistory::Pop() {
  SymbolContext* context = GetCurrentSymbolContext();
  if (context->BrowseHistoryCount() == 0) {
    ShowCurrentLocation();
    return DVErrorCode();
  }
  const AddressDescriptor saved = context->TakeBrowseHistory();
  if (context->BrowseHistoryCount() == 0 && saved.Compare(context->Location().LocationAddress()) == kAddressEqual) {
    ShowCurrentLocation();
  } else {
    context->GoToPosition(saved);
  }
  return DVErrorCode();
}

void BrowseHistory::Clear() { GetCurrentSymbolContext()->ClearBrowseHistory(); }

uint32_t BrowseHistory::Count() { return GetCurrentSymbolContext()->BrowseHistoryCount(); }

// ---- Frames and the current location

void SelectNextFrame() { MoveToFrame(1); }

void SelectPreviousFrame() { MoveToFrame(-1); }

void ReselectCurrentFrame() { MoveToFrame(0); }

void GoToSourceLocation(const AddressDescriptor& address) {
  if (FrameList* frames = CurrentFrameListOrNull()) frames->Clear();
  GetCurrentSymbolContext()->GoToPosition(address);
}

void FillFrameFromRegisters(AddressPair& frame) {
  frame.m_first = ProgramCounterRegister::Read();
  frame.m_second = FramePointerRegister::ReadAsAddress();
}

AddressPair SelectedOrCurrentFrame() {
  AddressPair frame;
  const FrameList* frames = CurrentFrameListOrNull();
  if (frames == nullptr || frames->GetCurrent(&frame) == FrameList::kNoFrame) FillFrameFromRegisters(frame);
  return frame;
}

void ShowCurrentLocation() {
  SymbolContext* context = GetCurrentSymbolContext();
  const AddressDescriptor address = context->Location().LocationAddress();
  context->SetCurrentAddress(address);
  MarkForCurrentViewpoint(kRecordLocations);
  MarkForCurrentViewpoint(kRecordSymbolBrowsing);
}

void SaveModuleViewPosition(uint32_t first, uint32_t second) {
  SymbolContext* context = GetCurrentSymbolContext();
  ModuleDescriptor* module = context->Location().Location().m_module;
  if (module != nullptr) context->Loader().SaveModuleViewPosition(*module, first, second);
}

SourcePosition GetCurrentSourcePosition() { return GetCurrentSymbolContext()->GetPosition(); }

}  // namespace zentor
