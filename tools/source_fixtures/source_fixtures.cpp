#include "source_fixtures/source_fixtures.h"

#include <cstdio>

namespace zentor::sourcefixtures {

namespace {

// "mov eax, <line>" then "nop": six bytes that disassemble alike on every line.
void AddCode(SourceFixture& fixture, uint32_t line) {
  fixture.m_lines.push_back({line, static_cast<uint32_t>(fixture.m_code.size())});
  fixture.m_code.push_back(0xB8);
  for (int shift = 0; shift < 32; shift += 8) fixture.m_code.push_back(static_cast<uint8_t>(line >> shift));
  fixture.m_code.push_back(0x90);
}

}  // namespace

SourceFixture LongCModule(uint32_t lineCount) {
  SourceFixture fixture;
  fixture.m_fileName = "long.c";
  for (uint32_t line = 1; line <= lineCount; ++line) {
    const uint32_t inFunction = (line - 1) % 10;
    const std::string step = std::to_string((line - 1) / 10);
    std::string text;
    if (inFunction == 0) {
      text = "/* step " + step + " of the long module */";
    } else if (inFunction == 1) {
      text = "int Step" + step + "(int value) {";
    } else if (inFunction < 8) {
      text = "\tvalue = value * " + std::to_string(inFunction) + " + " + std::to_string(line) + ";";
    } else if (inFunction == 8) {
      text = "\treturn value;";
    } else {
      text = "}";
    }
    if (inFunction >= 1 && inFunction <= 8) AddCode(fixture, line);
    fixture.m_text += text + "\n";
  }
  return fixture;
}

SourceFixture ListingModule(uint32_t lineCount, uint16_t language) {
  SourceFixture fixture;
  fixture.m_fileName = language == 7 ? "list7.lst" : "list1.lst";
  const int width = language == 7 ? 4 : 6;
  fixture.m_text = "\f";
  uint32_t page = 1;
  for (uint32_t line = 1; line <= lineCount; ++line) {
    if (line % 50 == 1) {
      char header[64];
      std::snprintf(header, sizeof header, "  Page %-2u H  listing of LIST\n", page);
      fixture.m_text += header;
      if (language == 1 || language == 2) {
        std::snprintf(header, sizeof header, "%*u P  page line\n", width, page);
        fixture.m_text += header;
      }
      ++page;
    }
    if (line % 7 == 3) continue;
    char field[16];
    std::snprintf(field, sizeof field, "%*u ", width, line);
    fixture.m_text += field;
    fixture.m_text += " x := x + " + std::to_string(line) + ";\n";
    AddCode(fixture, line);
  }
  return fixture;
}

SourceFixture AssemblerModule(uint32_t lineCount) {
  SourceFixture fixture;
  fixture.m_fileName = "module.asm";
  for (uint32_t line = 1; line <= lineCount; ++line) {
    fixture.m_text += "\tmov\teax, " + std::to_string(line) + "\n";
    AddCode(fixture, line);
  }
  return fixture;
}

}  // namespace zentor::sourcefixtures
