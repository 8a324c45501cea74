#include "target/target_gui.h"

#include "console/console_timers.h"
#include "core/current_viewpoint.h"
#include "core/installed_service.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

InstalledService<TargetGui> g_gui;

}  // namespace

TargetGui::~TargetGui() = default;

void TargetGui::AddViewpoint(uint32_t value, const char* alias) {
  ViewpointManager::AddViewpoint(ViewpointHandle(value), alias);
}

void TargetGui::SelectViewpoint(uint32_t value) { SetBaseViewpoint(ViewpointHandle(value)); }

void TargetGui::BrowseToStopLocation(uint32_t) {}
void TargetGui::BrowseToAddress(const TargetAddressRecord&) {}
void TargetGui::SetMenuItemText(uint32_t, const char*) {}
void TargetGui::EnableMenuItem(uint32_t, bool) {}
void TargetGui::EnableItem(uint32_t, bool) {}
int32_t TargetGui::SetTimer(uint32_t milliseconds, TimerCallback callback) {
  return SetConsoleTimer(milliseconds, callback);
}
void TargetGui::KillTimer(int32_t id) { KillConsoleTimer(id); }
void TargetGui::PushArrowCursor() {}
void TargetGui::PopCursor() {}
uint32_t TargetGui::UseReducedDefaultBaud() { return 0; }
void TargetGui::ActivateMainWindow() {}
uint32_t TargetGui::NotifyTargetEvent(uint32_t, uint32_t, const char*, const StopRecord*) { return 0; }

TargetGui* InstallTargetGui(TargetGui* gui) { return g_gui.Install(gui); }

TargetGui& InstalledTargetGui() { return g_gui.Get(); }

void GuiBrowseToAddress(const TargetAddressRecord& address) { InstalledTargetGui().BrowseToAddress(address); }

}  // namespace zentor
