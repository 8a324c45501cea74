#include "windows/data_window.h"

#include "core/text_pane.h"
#include "gui/gui_window_layer.h"
#include "gui/view_dispatcher.h"

namespace zentor {

DataWindow::DataWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind,
                       uint32_t paneStyle, std::initializer_list<uint32_t> changeKinds)
    : WinSuper(window, viewpointValue, title) {
  for (uint32_t changeKind : changeKinds) {
    m_records.push_back(std::make_unique<CollectableRecord>(changeKind, GetViewpoint()));
  }
  SetKind(kind);
  SetPaneStyle(paneStyle);
}

DataWindow::~DataWindow() = default;

int32_t DataWindow::Send(DVError& status, int32_t code, intptr_t argument) {
  return ViewDispatcher::RunGuiCommand(status, *this, code, argument);
}

void DataWindow::RegisterChangeRecords() {
  for (auto& record : m_records) record->Register();
}

bool DataWindow::TakeChanges() {
  bool changed = false;
  for (auto& record : m_records) changed = record->TestAndClearChanged() != 0 || changed;
  return changed;
}

bool DataWindow::TakeChange(std::size_t index) {
  return index < m_records.size() && m_records[index]->TestAndClearChanged() != 0;
}

void DataWindow::CommitSelectedField() {
  TextPane& pane = GetTextPane();
  pane.SelectField(pane.row, pane.selStart, pane.selLength);
}

void DataWindow::FieldFocusLost() {
  HandleFocusLost();
  TextPane& pane = GetTextPane();
  if (pane.lines == nullptr || pane.count <= 0) return;
  CommitSelectedField();
  PaneWindow().Get().HideCaret(LayerWindowId());
  pane.UpdateLineText(pane.top + pane.row, nullptr);
}

void DataWindow::SetLineMark(int32_t index, bool marked) {
  TextPane& pane = GetTextPane();
  if (pane.lines == nullptr || index < 0 || index >= pane.count || pane.lines[index] == nullptr) return;
  pane.lines[index]->attr = marked ? kCurrentLineMark : 0;
  PaneWindow().Get().RedrawLine(LayerWindowId(), index);
}

void DataWindow::ShowPopup() { LayerRef().TrackPopupMenu(LayerWindowId(), -1, -1); }

void DataWindow::Beep() { PaneWindow().Get().Beep(); }

void DataWindow::CloseLayerWindow(bool hasPopup) {
  GuiWindowLayer& layer = LayerRef();
  if (hasPopup) layer.DestroyPopupMenu(LayerWindowId());
  layer.CloseWindow(LayerWindowId());
  layer.Destroy(LayerWindowId());
}

GuiWindowLayer& DataWindow::LayerRef() const { return *Layer(); }

}  // namespace zentor
