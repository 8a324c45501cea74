#pragma once
// A module the stand-in agent can load: a flat i386 image and its manifest. The
// manifest is a small text file of "key = value" lines (README.md describes them):
// the module's name, description, version and date, where its code and data lie and
// how long they are, its entry, and the image file with the address of its first byte.

#include <cstdint>
#include <string>
#include <vector>

namespace zentor::agent {

struct ModuleImage {
  std::string m_name;         // "SAMPLE.NLM"
  std::string m_description;
  uint32_t m_majorVersion = 0;
  uint32_t m_minorVersion = 0;
  uint32_t m_revision = 0;    // a letter, 0 for none
  uint32_t m_year = 0;
  uint32_t m_month = 0;       // 0 = no date
  uint32_t m_day = 0;
  uint32_t m_codeBase = 0;
  uint32_t m_codeLength = 0;
  uint32_t m_dataBase = 0;
  uint32_t m_dataLength = 0;
  uint32_t m_entry = 0;
  uint32_t m_loadAddress = 0;  // where the image's first byte goes
  std::vector<uint8_t> m_image;
};

// A number of a manifest (or of an option): 32 bits, decimal or 0x hexadecimal.
bool ParseNumber(const std::string& text, uint32_t* value);

// Reads a manifest and the image it names (relative to the manifest's folder).
// Returns false with a reason in *error when a file is missing or a line is wrong.
bool LoadModuleImage(const std::string& manifestPath, ModuleImage* module, std::string* error);

// The manifest a load request names: "<dir>/<name without extension, lower case>.mod".
std::string ManifestPathFor(const std::string& directory, const std::string& moduleName);

}  // namespace zentor::agent
