// cvfixture: writes the sample CodeView symbol file, clean or damaged, to a file.
//   cvfixture <variant> <out-file>
// <variant> is nb05, nb06, nb07 or nb09 for a clean file of that version, or the name
// of a damage (see `cvfixture --list`), applied to the NB09 file.
#include <cstdio>
#include <exception>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "codeview/cv_fixture.h"

namespace {

using namespace zentor::cvfixture;

struct VersionName {
  std::string_view m_name;
  CvVariant m_variant;
};

constexpr VersionName kVersions[] = {
    {"nb05", CvVariant::NB05},
    {"nb06", CvVariant::NB06},
    {"nb07", CvVariant::NB07},
    {"nb09", CvVariant::NB09},
};

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "usage: cvfixture <variant> <out-file>\n       cvfixture --list\n");
}

void PrintVariants() {
  for (const VersionName& version : kVersions) {
    std::printf("%-36s the sample program with the signature %s\n", std::string(version.m_name).c_str(),
                std::string(SignatureOf(version.m_variant)).c_str());
  }
  for (const CvCorruptionInfo& info : CorruptionTable()) {
    std::printf("%-36s NB09, %s\n", info.m_name, info.m_description);
  }
}

std::optional<std::vector<std::uint8_t>> SampleFile(std::string_view name) {
  const CvProgram program = MakeSampleProgram();
  for (const VersionName& version : kVersions) {
    if (version.m_name == name) return WriteCodeView(program, version.m_variant);
  }
  for (const CvCorruptionInfo& info : CorruptionTable()) {
    if (name == info.m_name) return WriteCorruptCodeView(program, CvVariant::NB09, info.m_corruption);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--list") {
    PrintVariants();
    return 0;
  }
  if (argc != 3) {
    PrintUsage(stderr);
    return 2;
  }
  try {
    std::optional<std::vector<std::uint8_t>> bytes = SampleFile(argv[1]);
    if (!bytes) {
      std::fprintf(stderr, "cvfixture: unknown variant \"%s\" (cvfixture --list shows them)\n", argv[1]);
      return 2;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "cvfixture: cannot write %s\n", argv[2]);
      return 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "cvfixture: %s\n", error.what());
    return 1;
  }
  return 0;
}
