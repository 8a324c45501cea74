// Linked into the test programs of the layers below the target: every test runs with
// the services that start-up installs in the program, so the value model, the
// viewpoint stack and the loaders answer as they do there.
#include <gtest/gtest.h>

#include "console/console_services.h"
#include "symbols/symbol_services.h"
#include "target/target_services.h"

namespace {

class InstalledServices : public testing::Environment {
 public:
  void SetUp() override {
    zentor::InstallTargetServices();
    zentor::InstallConsoleServices();
    zentor::InstallSymbolServices();
  }
};

[[maybe_unused]] testing::Environment* const kInstalledServices =
    testing::AddGlobalTestEnvironment(new InstalledServices);

}  // namespace
