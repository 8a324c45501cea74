#pragma once
// The view manager of the Memory window: target memory as rows of values in a chosen
// format and radix, printed by the command language's value printer and caught line
// by line into the window's lines (at most 300), scrolled past what it holds, edited
// in place and saved to a text file. A line's first word is its address text, so the
// lines are their own index.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/address_descriptor.h"
#include "core/base_manager.h"
#include "core/text_pane.h"

namespace zentor {

// The request every Memory window and dialog request carries.
struct MemoryDisplayRequest {
  // Change flags the view reads.
  static constexpr uint16_t kFormatChanged = 0x01;
  static constexpr uint16_t kFromTopLine = 0x04;
  static constexpr uint16_t kNewStart = 0x08;
  static constexpr uint16_t kRangeGiven = 0x30;
  // Dialog fields of the field check.
  static constexpr uint32_t kFieldStart = 1200;
  static constexpr uint32_t kFieldEnd = 1201;
  static constexpr uint32_t kFieldFileName = 1209;
  static constexpr std::size_t kTextSize = 128;

  uint32_t typeIndex = 3;
  uint8_t radix = 16;
  uint32_t rows = 0;
  char startText[kTextSize] = {};
  char endText[kTextSize] = {};
  uint32_t lengthMode = 0;
  uint32_t noRange = 0;
  uint16_t changeFlags = 0;
  char fileName[kTextSize] = {};
  uint32_t append = 0;
  uint32_t overwrite = 0;
  uint32_t requestArgument = 0;
  uint32_t fieldId = 0;
};

// The DVP code of a format index (0-11), 0 for any other.
uint16_t MemoryFormat(uint32_t typeIndex);

class MemoryViewManager : public BaseManager {
 public:
  static constexpr int32_t kMaxLines = 300;

  explicit MemoryViewManager(TextPane* pane);
  ~MemoryViewManager() override;
  // Every request carries a MemoryDisplayRequest.
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;

  // The window-less field check (0x57) of the Memory dialogs.
  static int32_t HandleWindowless(DVError& status, int32_t code, intptr_t argument);
  // Checks one dialog field of the request (a file name is trimmed in place).
  static DVErrorCode CheckField(MemoryDisplayRequest& request);

  // The output hook of the printer: a run of its output.
  void MemoryOutputHook(std::string_view run);

 private:
  struct Line;
  // The line built so far is done: it goes where the output mode says.
  void EndOutputLine();
  enum OutputMode { kInsertTop = 0, kReplace = 1, kAppend = 2, kToFile = 3 };

  // What a display printed: its place, format and bytes, and the lines it made. A
  // refresh that would print the same keeps the lines.
  struct Screen {
    bool readable = false;
    TargetAddressRecord start;
    uint16_t format = 0;
    uint8_t radix = 0;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;
    std::string texts;
  };
  // Three screens of the widest rows are far below this.
  static constexpr uint64_t kMostScreenBytes = 64 * 1024;

  void TakeFormat(const MemoryDisplayRequest& request);
  void Display(const MemoryDisplayRequest& request);
  Screen ReadScreen(const AddressDescriptor& start, uint32_t count) const;
  bool ShowsScreen(const Screen& screen) const;
  std::string LineTexts() const;
  void MoveDown(const MemoryDisplayRequest& request, uint32_t lines);
  DVErrorCode MoveUp(const MemoryDisplayRequest& request, uint32_t lines);
  void Reposition(const MemoryDisplayRequest& request);
  DVErrorCode EditField();
  DVErrorCode Save(const MemoryDisplayRequest& request);
  void Clear();
  // Prints `count` items from `start` with the hook catching the lines.
  void RunPrinter(const AddressDescriptor& start, uint32_t count);
  void StoreLine(Line& line, const std::string& text);
  AddressDescriptor LineAddress(int32_t index) const;
  bool ClosedRange() const { return !m_openEnded; }
  void GiveLinesToPane();

  std::vector<std::unique_ptr<Line>> m_lines;
  std::vector<PaneLine*> m_array;
  std::string m_building;
  AddressDescriptor m_displayStart;
  uint32_t m_totalElements = 0;
  bool m_openEnded = true;
  int32_t m_currentLine = 0;
  OutputMode m_mode = kAppend;
  int32_t m_topShift = 0;
  uint16_t m_format = 0;
  uint8_t m_radix = 16;
  uint32_t m_itemsPerLine = 0;
  uint32_t m_itemSize = 0;
  int32_t m_saveFile = -1;
  // Line number of slot 0 within the range (closed ranges).
  int32_t m_firstLine = 0;
  int32_t m_totalLines = -1;
  Screen m_shown;
};

}  // namespace zentor
