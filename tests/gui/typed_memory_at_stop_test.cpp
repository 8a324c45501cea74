// Typed memory display and fill against the stand-in agent: a type word followed by a
// variable shows and fills the memory of the variable itself (a scalar, an array, a
// member, a pointer), "*p" the memory p points to, and a variable kept in a register
// has none. What the commands show and write is compared with the memory the agent
// reads back for the addresses of the build's map, not through the symbol tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "core/token_record.h"
#include "engine/disassembly_listing.h"
#include "engine/engine_services.h"
#include "engine/view_managers.h"
#include "harness/stand_in_session.h"
#include "target/agent_requests.h"
#include "target/module_symbols.h"

namespace zentor {
namespace {

constexpr uint32_t kThread = 0;

// How the elements of a type word lie in memory.
struct ElementForm {
  const char* typeWord;
  uint32_t size;
  char form;  // 's' signed, 'u' unsigned, 'r' real
};
constexpr ElementForm kForms[] = {{"int2", 2, 's'}, {"int4", 4, 's'}, {"ord1", 1, 'u'},
                                  {"ord2", 2, 'u'}, {"real8", 8, 'r'}};

const ElementForm& FormOf(const std::string& command) {
  const std::string word = command.substr(0, command.find(' '));
  for (const ElementForm& form : kForms) {
    if (word == form.typeWord) return form;
  }
  ADD_FAILURE() << "no element form for " << command;
  return kForms[0];
}

std::vector<uint8_t> AgentBytes(uint32_t address, uint16_t count) {
  std::vector<uint8_t> bytes(count);
  uint16_t got = 0;
  EXPECT_EQ(AgentReadMemory(kThread, count, address, &got, bytes.data()), 0u);
  EXPECT_EQ(got, count);
  return bytes;
}

double Decode(const uint8_t* bytes, const ElementForm& form) {
  uint64_t raw = 0;
  for (uint32_t i = form.size; i-- > 0;) raw = (raw << 8) | bytes[i];
  if (form.form == 'r') {
    double value = 0;
    std::memcpy(&value, &raw, sizeof value);
    return value;
  }
  if (form.form == 'u') return static_cast<double>(raw);
  const uint32_t bits = form.size * 8;
  const bool negative = ((raw >> (bits - 1)) & 1) != 0;
  return negative ? static_cast<double>(raw) - static_cast<double>(uint64_t{1} << bits) : static_cast<double>(raw);
}

// A display command and the first row it must show: `count` elements at `address`.
struct Shown {
  std::string command;
  uint32_t address;
  uint32_t count;
};

class TypedMemoryAtStopTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DestroyAllViewManagers();
    ResetEngineState();
    ActionTable::ResetToDefaults();
  }
  // Connects to the agent running `module` and loads its symbols; false (skip) when
  // the agent or the samples are not built here.
  bool Connect(const std::string& module, std::string* reason) { return Connect(m_session, module, reason); }
  bool Connect(testing_support::StandInSession& session, const std::string& module, std::string* reason) {
    m_map = testing_support::SampleModuleSymbols(module);
    const std::string directory = testing_support::SampleModulesDirectory();
    if (directory.empty() || m_map.empty()) {
      *reason = "no sample modules here";
      return false;
    }
    if (!session.Connect({"--module", directory + module + ".mod"}, reason)) return false;
    testing_support::BindCommandsForStandIn();
    BindDisassemblyActions();  // the list forms' slots mark a length or an end as well
    SetTokenText(CurrentToken(), (testing_support::HostPathOfUnixPath(directory) + module).c_str());
    SymLoadNamedModule();
    return true;
  }
  uint32_t At(const char* symbol, uint32_t offset = 0) {
    const auto found = m_map.find(symbol);
    if (found == m_map.end()) ADD_FAILURE() << symbol << " is not in the map";
    return found == m_map.end() ? 0 : found->second + offset;
  }
  static std::string Printed(const std::string& text) { return testing_support::PrintedByCommandLine(text); }

  // The first row a display command prints: its address and `count` elements, each
  // compared with the agent's bytes at the address it should show.
  void ExpectShown(const Shown& shown) {
    const std::string& command = shown.command;
    const uint32_t address = shown.address;
    SCOPED_TRACE(command);
    const ElementForm& form = FormOf(command);
    const std::string printed = Printed(command);
    std::istringstream row(printed);
    std::string addressText;
    row >> addressText;
    ASSERT_EQ(std::strtoul(addressText.c_str(), nullptr, 16), address) << printed;
    const std::vector<uint8_t> memory = AgentBytes(address, static_cast<uint16_t>(shown.count * form.size));
    for (uint32_t i = 0; i < shown.count; ++i) {
      std::string valueText;
      row >> valueText;
      EXPECT_EQ(std::strtod(valueText.c_str(), nullptr), Decode(memory.data() + i * form.size, form))
          << "element " << i << " of " << printed;
    }
  }

  // A fill changes exactly `written` at `address`: the agent reads the bytes around it
  // before and after.
  void ExpectFilled(const std::string& command, uint32_t address, const std::vector<uint8_t>& written) {
    SCOPED_TRACE(command);
    constexpr uint32_t kMargin = 8;
    const auto span = static_cast<uint16_t>(written.size() + 2 * kMargin);
    std::vector<uint8_t> expected = AgentBytes(address - kMargin, span);
    std::copy(written.begin(), written.end(), expected.begin() + kMargin);
    ASSERT_EQ(Printed(command), "");
    EXPECT_EQ(AgentBytes(address - kMargin, span), expected);
  }

  testing_support::StandInSession m_session;
  std::map<std::string, uint32_t> m_map;
};

std::vector<uint8_t> Little(uint64_t value, uint32_t size) {
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

std::vector<uint8_t> Real8(double value) {
  uint64_t raw = 0;
  std::memcpy(&raw, &value, sizeof raw);
  return Little(raw, 8);
}

// DEMO before it runs: its globals as the module starts.
TEST_F(TypedMemoryAtStopTest, VariablesOfDemoAreShownAndFilledWhereTheyLie) {
  std::string reason;
  if (!Connect("demo", &reason)) GTEST_SKIP() << reason;
  const uint32_t corner = At("g_corner");

  struct Fill {
    std::string command;
    uint32_t address;
    std::vector<uint8_t> written;
  };
  // g_divisor is 0: as an address it could not be read. A pointer's fill writes the
  // pointer (it then points at g_origin); "*" writes what it points at.
  const std::vector<Fill> fills = {
      {"int4 g_divisor = 2", At("g_divisor"), Little(2, 4)},
      {"int2 g_color = -2", At("g_color"), Little(0xFFFE, 2)},
      {"real8 g_squares = 2.5", At("g_squares"), Real8(2.5)},
      {"int4 &g_squares[2] length 3 = 7, 8", At("g_squares", 8), {7, 0, 0, 0, 8, 0, 0, 0, 7, 0, 0, 0}},
      {"int4 g_origin.y = 70000", At("g_origin", 4), Little(70000, 4)},
      {"int4 g_current = " + std::to_string(At("g_origin")), At("g_current"), Little(At("g_origin"), 4)},
      {"int4 *g_current = -9", At("g_origin"), Little(0xFFFFFFF7u, 4)},
      {"ord1 g_current->name length 3 = 0x41", At("g_origin", 8), {0x41, 0x41, 0x41}},
  };

  // After the fills: g_divisor is 2 and g_current points at g_origin.
  const std::vector<Shown> shown = {
      {"int4 g_divisor", At("g_divisor"), 1},
      {"int2 g_color", At("g_color"), 1},
      {"ord1 g_color length 4", At("g_color"), 4},
      {"real8 g_squares", At("g_squares"), 1},
      {"int4 g_squares length 4", At("g_squares"), 4},
      {"int4 g_squares[g_divisor] length 3", At("g_squares", 8), 3},
      {"int4 g_squares[1] to g_squares[g_divisor + 1]", At("g_squares", 4), 2},
      {"int4 g_origin.y", At("g_origin", 4), 1},
      {"int4 g_current", At("g_current"), 1},
      {"int4 *g_current length 2", At("g_origin"), 2},
      {"int4 g_current->y", At("g_origin", 4), 1},
      {"int4 g_corner.next", At("g_corner", 20), 1},
      {"int4 g_corner.next->y", At("g_origin", 4), 1},
      {"int4 g_squares + g_divisor", At("g_squares", 8), 1},
      {"ord1 g_origin.name + g_divisor length 2", At("g_origin", 10), 2},
      {"int4 " + std::to_string(corner), corner, 1},
  };
  ExpectShown({"int4 g_divisor", At("g_divisor"), 1});
  ExpectShown({"int4 *g_current", corner, 1});
  for (const Fill& f : fills) ExpectFilled(f.command, f.address, f.written);
  for (const Shown& s : shown) ExpectShown(s);
  // A value list item that is itself a typed range reads that range (one element,
  // repeated over the destination's two).
  std::vector<uint8_t> twice = Little(70000, 4);
  const std::vector<uint8_t> once = twice;
  twice.insert(twice.end(), once.begin(), once.end());
  ExpectFilled("int4 g_squares length 2 = int4 g_origin.y", At("g_squares"), twice);
}

// A breakpoint's location keeps its locations as the typed commands do, but an index
// or an offset inside it is a value: the watch is on g_squares[2], hit in the loop's
// third turn.
TEST_F(TypedMemoryAtStopTest, IndexOrOffsetOfAWatchedElementIsAValue) {
  for (const char* location : {"g_squares[g_divisor]", "g_squares + g_divisor"}) {
    SCOPED_TRACE(location);
    testing_support::StandInSession session;
    std::string reason;
    if (!Connect(session, "demo", &reason)) GTEST_SKIP() << reason;
    ASSERT_EQ(Printed("g_divisor = 2"), "");
    ASSERT_EQ(Printed(std::string("br = ") + location + " wr"), "");
    std::string stop = Printed("go");
    stop += Printed("wait");
    EXPECT_NE(stop.find("due to Write at g_squares[2]"), std::string::npos) << stop;
    EXPECT_EQ(Printed("? i"), "2\n");
    TearDown();
  }
}

// VIEWS stopped in Leaf, whose local "scratch" lives in a register: neither shown nor
// filled as memory, and the register keeps its value.
TEST_F(TypedMemoryAtStopTest, RegisterVariableHasNoMemory) {
  std::string reason;
  if (!Connect("views", &reason)) GTEST_SKIP() << reason;
  ASSERT_EQ(Printed("br = :VIEWS#33"), "");
  std::string stop = Printed("go");
  stop += Printed("wait");
  ASSERT_NE(stop.find("Break at"), std::string::npos) << stop;
  const std::string before = Printed("? scratch");
  for (const char* command : {"int4 scratch", "int4 scratch = 1", "ord1 scratch length 4", "int4 &scratch"}) {
    EXPECT_EQ(Printed(command), "ERROR 81") << command;
  }
  EXPECT_EQ(Printed("? scratch"), before);

  // scratch is 36 at the stop: the index is read as a value.
  const std::vector<Shown> shown = {
      {"ord1 g_letter", At("g_letter"), 1},
      {"int4 g_counter", At("g_counter"), 1},
      {"ord2 g_wide[1] length 3", At("g_wide", 2), 3},
      {"int4 g_shape.corners[1].x length 2", At("g_shape", 16), 2},
      {"ord1 g_shape.colour", At("g_shape", 40), 1},
      {"int4 g_small[scratch / 4]", At("g_small", 36), 1},
  };
  for (const Shown& s : shown) ExpectShown(s);
}

}  // namespace
}  // namespace zentor
