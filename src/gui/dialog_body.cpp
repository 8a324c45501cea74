#include "gui/dialog_body.h"

#include "core/dv_error.h"
#include "core/installed_service.h"
#include "gui/context_help.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_messages.h"

namespace zentor {
namespace {

InstalledService<DialogRunner> g_runner;

}  // namespace

DialogBody::DialogBody(const DialogTemplate& dialogTemplate) : m_template(dialogTemplate) {}

// A body that goes while its dialog is open gives up the slot, so the layer never
// keeps a user word that points at nothing.
DialogBody::~DialogBody() {
  if (IsOpen()) {
    if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->Destroy(m_dialogId);
  }
}

GuiWindowLayer& DialogBody::Layer() const {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) ZENTOR_INTERNAL_ERROR();
  return *layer;
}

template <typename Handler>
void DialogBody::Guarded(Handler&& handler) {
  try {
    handler();
  } catch (...) {
    if (!m_failure) m_failure = std::current_exception();
    CloseAfterFailure();
  }
}

// The layer's own calls raise nothing; a failure here leaves the slot to Destroyed.
void DialogBody::CloseAfterFailure() {
  if (!IsOpen()) return;
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  const int32_t id = m_dialogId;
  m_dialogId = kNoLayerId;
  m_result = kDialogResultCancel;
  if (layer != nullptr) {
    layer->CloseWindow(id);
    layer->Destroy(id);
  }
}

// 1. The failure of an earlier run and its state are forgotten.
// 2. The layer takes the window as a modal or modeless dialog with the body as its
//    user word; a full table closes the window again, nothing of the body runs.
// 3. Event 0.
bool DialogBody::Open(NativeWindow window) {
  m_failure = nullptr;
  m_changed = false;
  m_result = kDialogResultCancel;
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return false;
  const uint32_t type = m_template.modeless ? kLayerModelessDialog : kLayerModalDialog;
  m_dialogId = layer->Register(window, type, reinterpret_cast<uintptr_t>(this));
  if (m_dialogId == kNoLayerId) {
    if (m_template.modeless) {
      layer->System().DestroyWindow(window);
    } else {
      layer->System().EndDialog(window, 0);
    }
    return false;
  }
  Deliver(kDialogEventInitialise, 0);
  return IsOpen();
}

void DialogBody::Command(int32_t control, int32_t notification) {
  if (!IsOpen()) return;
  if (control == m_template.okControl) {
    Deliver(kDialogEventOk, notification);
  } else if (control == m_template.cancelControl) {
    Deliver(kDialogEventCancel, notification);
  } else if (control == kDialogHelpControl) {
    Guarded([&] { ShowHelp(); });
  } else {
    Deliver(control, notification);
  }
}

bool DialogBody::OtherMessage(uint32_t message) {
  if (!IsOpen()) return false;
  bool handled = false;
  if (message == msg::kPaint) {
    Guarded([&] { handled = OnPaint(); });
    return handled;
  }
  Guarded([&] { handled = HandleHelpHookMessage(m_dialogId, message, m_template.helpContext) != 0; });
  return handled;
}

void DialogBody::Destroyed() {
  if (!IsOpen()) return;
  const int32_t id = m_dialogId;
  m_dialogId = kNoLayerId;
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->Destroy(id);
}

void DialogBody::RaiseFailure() {
  std::exception_ptr failure = m_failure;
  m_failure = nullptr;
  if (failure) std::rethrow_exception(failure);
}

void DialogBody::Deliver(int32_t event, int32_t notification) {
  Guarded([&] {
    switch (event) {
      case kDialogEventInitialise: OnInitialise(); break;
      case kDialogEventOk: OnOk(); break;
      case kDialogEventCancel: OnCancel(); break;
      default: OnControl(event, notification); break;
    }
  });
}

void DialogBody::OnOk() { Close(kDialogResultOk); }

void DialogBody::OnCancel() {
  if (m_changed) RestoreSnapshot();
  Close(kDialogResultCancel);
}

void DialogBody::OnControl(int32_t, int32_t) {}

void DialogBody::Close(int32_t result) {
  if (!IsOpen()) return;
  GuiWindowLayer& layer = Layer();
  const int32_t id = m_dialogId;
  m_result = result;
  m_dialogId = kNoLayerId;
  layer.CloseWindow(id);
  layer.Destroy(id);
}

void DialogBody::ApplySucceeded() {
  if (IsOpen()) Layer().SetItemText(m_dialogId, m_template.cancelControl, "Cl&ose");
}

void DialogBody::ShowHelp() {
  if (m_template.helpContext != 0) ShowHelpContext(m_dialogId, m_template.helpContext);
}

DialogRunner::~DialogRunner() = default;
void DialogRunner::RunModal(DialogBody&, int32_t) {}
bool DialogRunner::OpenModeless(DialogBody&, int32_t) { return false; }

DialogRunner* InstallDialogRunner(DialogRunner* runner) { return g_runner.Install(runner); }

int32_t RunModalDialog(DialogBody& body, int32_t ownerId, intptr_t parameter) {
  if (body.IsOpen()) return kDialogResultCancel;
  body.SetParameter(parameter);
  g_runner.Get().RunModal(body, ownerId);
  body.RaiseFailure();
  return body.Result();
}

bool OpenModelessDialog(DialogBody& body, int32_t ownerId, intptr_t parameter) {
  if (body.IsOpen()) return true;
  body.SetParameter(parameter);
  return g_runner.Get().OpenModeless(body, ownerId);
}

}  // namespace zentor
