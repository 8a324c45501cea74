#include "console/console_services.h"

#include "console/command_reader.h"
#include "console/output_writer.h"
#include "core/error_display.h"

namespace zentor {
namespace {

class ConsoleErrorOutput final : public ErrorOutput {
 public:
  void DiscardInputLine() override { zentor::DiscardInputLine(); }
  void WriteString(const char* text) override { OutputWriter::WriteString(text); }
  void FreshLine() override { OutputWriter::FreshLine(); }
};

}  // namespace

void InstallConsoleServices() {
  static ConsoleErrorOutput errorOutput;
  InstallErrorOutput(&errorOutput);
}

}  // namespace zentor
