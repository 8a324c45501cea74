#pragma once
// The view manager of the Registers window: lays the register record out as lines
// whose values are editable fields, and takes an edited field back into the record and
// to the agent. Every value shown is read from the record when the window refreshes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/base_manager.h"
#include "core/text_pane.h"
#include "target/register_tables.h"

namespace zentor {

// Kinds of a register field besides the value kinds ord2, ord4 and real10.
inline constexpr uint16_t kRegisterFieldEflagsBit = 0xE0;
inline constexpr uint16_t kRegisterFieldStatusBit = 0xE1;

// What a field of the window shows: a register value, one 16-bit word of a
// floating-point register, or one bit of eflags or of the status word.
struct RegisterFieldDescriptor {
  const char* m_name;
  RegisterField m_field;
  uint16_t m_kind;
  uint32_t m_word;  // the bit mask of a bit field
};

class RegisterView : public BaseManager {
 public:
  explicit RegisterView(TextPane* pane);
  ~RegisterView() override;
  // 0x46 opened, 0x47 closing, 0x4f refresh, 0x52 an edited field; nothing else.
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;

 private:
  struct Line;

  void LayOut();
  void GiveLinesToPane();
  // Starts a line; fields and text are added to the newest line.
  Line& NewLine();
  void AddText(const char* text);
  void AddField(const char* text, const RegisterFieldDescriptor* descriptor);
  void AddBitLetters(uint16_t kind, uint32_t value);
  DVErrorCode CommitEdit();

  std::vector<std::unique_ptr<Line>> m_lines;
  std::vector<PaneLine*> m_array;
};

}  // namespace zentor
