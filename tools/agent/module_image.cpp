#include "module_image.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zentor::agent {
namespace {

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

bool ParsePair(const std::string& text, uint32_t* first, uint32_t* second) {
  std::istringstream words(text);
  std::string a;
  std::string b;
  std::string more;
  if (!(words >> a >> b) || (words >> more)) return false;
  return ParseNumber(a, first) && ParseNumber(b, second);
}

// "1.2" or "1.2 a": major, minor and an optional revision letter.
bool ParseVersion(const std::string& text, ModuleImage* module) {
  std::istringstream words(text);
  std::string number;
  std::string letter;
  if (!(words >> number)) return false;
  words >> letter;
  const size_t dot = number.find('.');
  if (dot == std::string::npos || letter.size() > 1) return false;
  if (!ParseNumber(number.substr(0, dot), &module->m_majorVersion) ||
      !ParseNumber(number.substr(dot + 1), &module->m_minorVersion)) {
    return false;
  }
  module->m_revision = letter.empty() ? 0 : static_cast<unsigned char>(letter[0]);
  return true;
}

// "YYYY-MM-DD", or "none".
bool ParseDate(const std::string& text, ModuleImage* module) {
  if (text == "none") {
    module->m_year = module->m_month = module->m_day = 0;
    return true;
  }
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  return ParseNumber(text.substr(0, 4), &module->m_year) && ParseNumber(text.substr(5, 2), &module->m_month) &&
         ParseNumber(text.substr(8, 2), &module->m_day) && module->m_month >= 1 && module->m_month <= 12 &&
         module->m_day >= 1 && module->m_day <= 31;
}

}  // namespace

bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(parsed);
  return true;
}

bool LoadModuleImage(const std::string& manifestPath, ModuleImage* module, std::string* error) {
  std::ifstream manifest(manifestPath);
  if (!manifest) {
    *error = "cannot open " + manifestPath;
    return false;
  }
  *module = ModuleImage{};
  std::string imageName;
  bool haveLoad = false;
  bool haveCode = false;
  std::string line;
  for (int number = 1; std::getline(manifest, line); ++number) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    const std::string key = equals == std::string::npos ? line : Trim(line.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : Trim(line.substr(equals + 1));
    bool good = true;
    if (key == "name") {
      module->m_name = value;
      good = !value.empty() && value.size() < 36;
    } else if (key == "description") {
      module->m_description = value;
      good = value.size() < 128;
    } else if (key == "version") {
      good = ParseVersion(value, module);
    } else if (key == "date") {
      good = ParseDate(value, module);
    } else if (key == "code") {
      good = haveCode = ParsePair(value, &module->m_codeBase, &module->m_codeLength);
    } else if (key == "data") {
      good = ParsePair(value, &module->m_dataBase, &module->m_dataLength);
    } else if (key == "entry") {
      good = ParseNumber(value, &module->m_entry);
    } else if (key == "image") {
      imageName = value;
      good = !value.empty();
    } else if (key == "load") {
      good = haveLoad = ParseNumber(value, &module->m_loadAddress);
    } else {
      good = false;
    }
    if (!good) {
      *error = manifestPath + ":" + std::to_string(number) + ": cannot read \"" + line + "\"";
      return false;
    }
  }
  if (module->m_name.empty() || imageName.empty() || !haveCode) {
    *error = manifestPath + ": name, code and image are needed";
    return false;
  }
  if (!haveLoad) module->m_loadAddress = module->m_codeBase;
  const size_t slash = manifestPath.find_last_of('/');
  const std::string imagePath =
      imageName[0] == '/' || slash == std::string::npos ? imageName : manifestPath.substr(0, slash + 1) + imageName;
  std::ifstream image(imagePath, std::ios::binary);
  if (!image) {
    *error = "cannot open " + imagePath;
    return false;
  }
  module->m_image.assign(std::istreambuf_iterator<char>(image), std::istreambuf_iterator<char>());
  if (static_cast<uint64_t>(module->m_loadAddress) + module->m_image.size() > 0x100000000ull) {
    *error = imagePath + " does not fit the address space at its load address";
    return false;
  }
  return true;
}

std::string ManifestPathFor(const std::string& directory, const std::string& moduleName) {
  std::string stem = moduleName.substr(0, moduleName.find('.'));
  for (char& ch : stem) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return (directory.empty() ? std::string(".") : directory) + "/" + stem + ".mod";
}

}  // namespace zentor::agent
