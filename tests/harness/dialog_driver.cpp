#include "harness/dialog_driver.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "gui/gui_window_layer.h"

namespace zentor::testing_support {

DialogDriver::DialogDriver(RecordingLayerSystem& system)
    : m_system(system), m_previous(InstallDialogRunner(this)) {}

DialogDriver::~DialogDriver() {
  InstallDialogRunner(m_previous);
  if (!m_script.empty()) ADD_FAILURE() << m_script.size() << " scripted actions were not played";
}

void DialogDriver::AddTemplates(std::string_view resourceText) {
  std::string error;
  if (!ParseDialogTemplates(resourceText, &m_ownTemplates, &error)) ADD_FAILURE() << "test templates: " << error;
}

void DialogDriver::Script(std::vector<Action> actions) {
  for (Action& action : actions) m_script.push_back(std::move(action));
}

const DialogResourceTemplate* DialogDriver::FindTemplate(const std::string& name) const {
  for (const DialogResourceTemplate& own : m_ownTemplates) {
    if (own.name == name) return &own;
  }
  for (const DialogResourceTemplate& project : ProjectDialogTemplates()) {
    if (project.name == name) return &project;
  }
  return nullptr;
}

// The dialog's window over its owner, and one item per control of the template,
// labelled "TEMPLATE.id", with the template's text. Dialog units count as pixels.
NativeWindow DialogDriver::MakeWindow(const DialogResourceTemplate& dialogTemplate, int32_t ownerId) {
  GuiWindowLayer& layer = *InstalledGuiWindowLayer();
  const NativeWindow owner = ownerId == kNoLayerId ? layer.FrameHandle() : layer.Handle(ownerId);
  const NativeWindow window =
      m_system.AddWindow(dialogTemplate.name, owner == kBadNativeWindow ? 0 : owner,
                         LayerRect{dialogTemplate.y, dialogTemplate.x, dialogTemplate.y + dialogTemplate.height,
                                   dialogTemplate.x + dialogTemplate.width});
  m_system.At(window).text = dialogTemplate.caption;
  for (const DialogControlTemplate& control : dialogTemplate.controls) {
    const NativeWindow item =
        m_system.AddItem(window, control.id, dialogTemplate.name + "." + std::to_string(control.id), control.layerType);
    RecordingLayerSystem::Window& w = m_system.At(item);
    w.text = control.text;
    w.multipleSelection = control.HasStyle("LBS_EXTENDEDSEL") || control.HasStyle("LBS_MULTIPLESEL");
    w.sorted = control.HasStyle("LBS_SORT");
    w.enabled = !control.HasStyle("WS_DISABLED");
  }
  m_opened.push_back(dialogTemplate.name);
  return window;
}

// What the system's dialog loop does until EndDialog: the script's next action each
// round. A script that ends while the dialog is open fails the test, and the dialog
// is cancelled so the test goes on.
void DialogDriver::PlayUntilClosed(DialogBody& body) {
  while (body.IsOpen()) {
    if (m_script.empty()) {
      ADD_FAILURE() << "the script ended with " << body.Template().name << " open";
      body.Command(body.Template().cancelControl, 0);
      if (body.IsOpen()) body.Destroyed();
      return;
    }
    Action action = std::move(m_script.front());
    m_script.pop_front();
    action(*this);
  }
}

// The window goes after its dialog loop, as EndDialog's does.
void DialogDriver::Forget(const OpenDialog& dialog) {
  dialog.body->Destroyed();
  m_system.At(dialog.window).destroyed = true;
}

void DialogDriver::RunModal(DialogBody& body, int32_t ownerId) {
  const DialogResourceTemplate* dialogTemplate = FindTemplate(body.Template().name);
  if (dialogTemplate == nullptr) {
    ADD_FAILURE() << "no dialog template " << body.Template().name;
    return;
  }
  const OpenDialog dialog{&body, MakeWindow(*dialogTemplate, ownerId)};
  m_open.push_back(dialog);
  if (body.Open(dialog.window)) PlayUntilClosed(body);
  m_open.pop_back();
  Forget(dialog);
}

bool DialogDriver::OpenModeless(DialogBody& body, int32_t ownerId) {
  const DialogResourceTemplate* dialogTemplate = FindTemplate(body.Template().name);
  if (dialogTemplate == nullptr) {
    ADD_FAILURE() << "no dialog template " << body.Template().name;
    return false;
  }
  const OpenDialog dialog{&body, MakeWindow(*dialogTemplate, ownerId)};
  if (!body.Open(dialog.window)) {
    Forget(dialog);
    return false;
  }
  m_open.push_back(dialog);
  return true;
}

// Modeless dialogs take the script's actions between the program's own steps; one
// closed by an action is forgotten.
void DialogDriver::Play() {
  while (!m_script.empty() && !m_open.empty()) {
    Action action = std::move(m_script.front());
    m_script.pop_front();
    action(*this);
    while (!m_open.empty() && !m_open.back().body->IsOpen()) {
      const OpenDialog closed = m_open.back();
      m_open.pop_back();
      Forget(closed);
    }
  }
}

DialogBody* DialogDriver::Current() const { return m_open.empty() ? nullptr : m_open.back().body; }

int32_t DialogDriver::CurrentId() const { return m_open.empty() ? kNoLayerId : m_open.back().body->DialogId(); }

NativeWindow DialogDriver::Item(int32_t control) const {
  return m_open.empty() ? 0 : m_system.GetDialogItem(m_open.back().window, control);
}

RecordingLayerSystem::Window* DialogDriver::ItemWindow(int32_t control) const {
  const NativeWindow item = Item(control);
  if (item == 0) {
    ADD_FAILURE() << "no control " << control << " in the open dialog";
    return nullptr;
  }
  return &m_system.At(item);
}

std::string DialogDriver::Caption() const { return m_open.empty() ? "" : m_system.At(m_open.back().window).text; }

std::string DialogDriver::Text(int32_t control) const {
  const RecordingLayerSystem::Window* w = ItemWindow(control);
  return w != nullptr ? w->text : "";
}

std::vector<std::string> DialogDriver::Entries(int32_t control) const {
  const RecordingLayerSystem::Window* w = ItemWindow(control);
  return w != nullptr ? w->entries : std::vector<std::string>{};
}

int32_t DialogDriver::Selection(int32_t control) const {
  const RecordingLayerSystem::Window* w = ItemWindow(control);
  return w != nullptr ? static_cast<int32_t>(w->selection) : -1;
}

bool DialogDriver::Enabled(int32_t control) const {
  const RecordingLayerSystem::Window* w = ItemWindow(control);
  return w != nullptr && w->enabled;
}

bool DialogDriver::Focused(int32_t control) const {
  const NativeWindow item = Item(control);
  return item != 0 && m_system.focus == item;
}

bool DialogDriver::Checked(int32_t control) const {
  const RecordingLayerSystem::Window* w = ItemWindow(control);
  return w != nullptr && w->check != 0;
}

DialogDriver::Action DialogDriver::Press(int32_t control) {
  return [control](DialogDriver& driver) {
    if (!driver.Enabled(control)) {
      ADD_FAILURE() << "control " << control << " is disabled";
      return;
    }
    driver.Current()->Command(control, 0);
  };
}

DialogDriver::Action DialogDriver::Command(int32_t control, int32_t notification) {
  return [control, notification](DialogDriver& driver) { driver.Current()->Command(control, notification); };
}

DialogDriver::Action DialogDriver::Close() {
  return [](DialogDriver& driver) {
    const int32_t cancel = driver.Current()->Template().cancelControl;
    driver.m_script.push_front(Command(cancel));
  };
}

DialogDriver::Action DialogDriver::Type(int32_t control, std::string text) {
  return [control, text](DialogDriver& driver) {
    RecordingLayerSystem::Window* w = driver.ItemWindow(control);
    if (w == nullptr) return;
    w->text = w->textLimit > 0 && text.size() > static_cast<size_t>(w->textLimit) ? text.substr(0, w->textLimit) : text;
    driver.Current()->Command(control, kNotifyEditChange);
  };
}

DialogDriver::Action DialogDriver::Select(int32_t control, int32_t index) {
  return [control, index](DialogDriver& driver) {
    RecordingLayerSystem::Window* w = driver.ItemWindow(control);
    if (w == nullptr) return;
    w->selection = index >= 0 && static_cast<size_t>(index) < w->entries.size() ? index : -1;
    w->selectedItems.clear();
    if (w->multipleSelection && w->selection >= 0) w->selectedItems.push_back(w->selection);
    driver.Current()->Command(control, kNotifyListSelectionChange);
  };
}

DialogDriver::Action DialogDriver::SelectRows(int32_t control, std::vector<int32_t> rows) {
  return [control, rows](DialogDriver& driver) {
    RecordingLayerSystem::Window* w = driver.ItemWindow(control);
    if (w == nullptr) return;
    w->selectedItems.clear();
    for (int32_t row : rows) {
      if (row >= 0 && static_cast<size_t>(row) < w->entries.size()) w->selectedItems.push_back(row);
    }
    std::sort(w->selectedItems.begin(), w->selectedItems.end());
    w->selection = w->selectedItems.empty() ? -1 : w->selectedItems.back();
    driver.Current()->Command(control, kNotifyListSelectionChange);
  };
}

std::vector<int32_t> DialogDriver::SelectedRows(int32_t control) const {
  RecordingLayerSystem::Window* w = ItemWindow(control);
  std::vector<int32_t> rows;
  if (w != nullptr) rows.assign(w->selectedItems.begin(), w->selectedItems.end());
  return rows;
}

DialogDriver::Action DialogDriver::DoubleClick(int32_t control, int32_t index) {
  return [control, index](DialogDriver& driver) {
    Select(control, index)(driver);
    if (driver.Current() != nullptr) driver.Current()->Command(control, kNotifyListDoubleClick);
  };
}

DialogDriver::Action DialogDriver::Reply(MessageBoxReply reply) {
  return [reply](DialogDriver& driver) { driver.m_system.nextReply = reply; };
}

}  // namespace zentor::testing_support
