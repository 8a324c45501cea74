#include "harness/pane_dump.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace zentor::testing_support {

namespace {

// The fields of a layout, read here from the record so the dump does not lean on the
// geometry code it checks.
std::string DumpFields(const FieldLayout* layout) {
  if (layout == nullptr || layout->count <= 0) return {};
  std::string text = " fields";
  char buffer[32];
  for (int32_t i = 0; i < layout->count; ++i) {
    int32_t start = 0;
    int32_t width = 0;
    if (layout->fixed != 0) {
      start = layout->start + i * (layout->width + layout->gap);
      width = layout->width;
    } else if (layout->list != nullptr) {
      start = layout->list[i].start;
      width = layout->list[i].width;
    }
    std::snprintf(buffer, sizeof buffer, " %d+%d", start, width);
    text += buffer;
  }
  return text;
}

}  // namespace

std::string DumpPane(const TextPane& pane, bool lineData) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "count %d total %d first %d last %d top %d row %d\n", pane.count, pane.total,
                pane.first, pane.last, pane.top, pane.row);
  std::string dump = buffer;
  for (int32_t i = 0; pane.headers != nullptr && pane.headers[i] != nullptr; ++i) {
    dump += "header |";
    dump += pane.headers[i];
    dump += "|\n";
  }
  for (int32_t i = 0; i < pane.count && pane.lines != nullptr; ++i) {
    const PaneLine* line = pane.lines[i];
    if (line == nullptr) {
      std::snprintf(buffer, sizeof buffer, "[%3d] null\n", i);
      dump += buffer;
      continue;
    }
    if (lineData) {
      std::snprintf(buffer, sizeof buffer, "[%3d] %04" PRIX32 " %08" PRIXPTR " |", i, line->attr, line->lineData);
    } else {
      std::snprintf(buffer, sizeof buffer, "[%3d] %04" PRIX32 " - |", i, line->attr);
    }
    dump += buffer;
    if (line->text != nullptr) dump += std::string(line->text, static_cast<std::size_t>(line->length));
    dump += "|";
    dump += DumpFields(line->fields);
    dump += "\n";
  }
  return dump;
}

void OvertypeField(TextPane& pane, int32_t line, int32_t field, const std::string& text) {
  PaneLine* held = pane.lines[line];
  const FieldPosition position = held->fields->FieldSpan(field);
  std::string typed = text;
  typed.resize(static_cast<std::size_t>(position.width), ' ');
  std::memcpy(held->text + position.start, typed.data(), typed.size());
  pane.top = 0;
  pane.row = line;
  pane.selStart = position.start;
  pane.selLength = position.width;
}

}  // namespace zentor::testing_support
