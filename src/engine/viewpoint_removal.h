#pragma once
// The engine's part in removing a viewpoint: the viewpoint manager hands it the
// viewpoint's breakpoints and watches to clear and the symbol context no other
// viewpoint shares to free. Start-up installs it in both programs.

namespace zentor {

void InstallViewpointRemoval();

}  // namespace zentor
