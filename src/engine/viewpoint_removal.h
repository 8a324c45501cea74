#pragma once
// The engine's part in removing a viewpoint: the viewpoint manager hands it the
// viewpoint's breakpoints and watches to clear and the viewpoint's own symbol context
// to free. Start-up installs it in both programs.

namespace zentor {

void InstallViewpointRemoval();

}  // namespace zentor
