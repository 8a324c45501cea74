// Linked into the test programs of the subsystems: every test runs with
// the services that start-up installs in the program, so the value model, the
// viewpoint stack and the loaders answer as they do there.
#include <gtest/gtest.h>

#include "app/startup.h"

namespace {

class InstalledServices : public testing::Environment {
 public:
  void SetUp() override { zentor::InstallSubsystemServices(); }
};

[[maybe_unused]] testing::Environment* const kInstalledServices =
    testing::AddGlobalTestEnvironment(new InstalledServices);

}  // namespace
