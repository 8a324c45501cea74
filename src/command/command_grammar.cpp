#include "command/command_grammar.h"

#include <algorithm>
#include <cstring>

#include "core/dv_error.h"

namespace zentor {
namespace {

// The command grammar, one alternative per line, in table order: the position of a
// line is the production's number (0..360). Alternatives that only tokens no scanner
// produces could start are left out, and so are the nonterminals only they reach
// (NT21, NT62, NT63, NT71, NT94, NT120, NT122, NT125, NT127, NT132 to NT134, NT138).
//
// "restore" turns NameOnce on right after its keyword, before the first name is
// read, so that the first name may be a keyword like the later ones (NT37 does the
// same after each ","); NT84 therefore starts with the name itself. Run after the
// name had been read as the look-ahead, the switch would come one token too late.
//
// The location of a typed memory command (NT76, NT119, NT124) and the end location
// after "to" (NT107) are read with their locations kept (A64 ... A65), as the
// breakpoint commands read theirs: «int4 x» shows the memory of x itself and
// «int4 *p» what p points to, while a plain number is an address. Read as a value, a
// scalar's contents would be taken for the address. A length stays a value.
constexpr const char* kCommandGrammarText = R"GRAMMAR(
NT0   : NT121
      | NT119
      | NT116
      | NT16
      | (empty)
NT1   : "printf" NT2 NT3
NT2   : "(" STRING A202 A109 A108 NT7 ")" A107
NT3   : (empty)
NT4   : "}" NT40
      | NT135 NT6
NT5   : "}" NT40
      | NT135 NT8
NT6   : NT0 NT4
      | "break" A210 A112 NT4
      | "continue" A210 A114 NT4
NT7   : "," A210 A193 NT101 A106 NT7
      | (empty)
NT8   : NT141 NT5
NT9   : A210 A2 ":" "endexpr" A210 A91
      | A147 A7 HASH_NUMBER A202 A0 A4
      | NT142
NT10  : NT101
      | NT3 A105
NT11  : "," NT101 A106 NT11
      | (empty)
NT12  : INTEGER A202 A100 NT18
      | REAL A202 A97
NT13  : A210 A93 A210 A92 "&" "endexpr" A210 A91
NT14  : NT9
NT15  : NT24 NT20
      | NT3
NT16  : "if" "(" NT101 ")" A210 A74 NT31
NT17  : "{" A119 A210 A118 A210 A117 A117 NT6
NT18  : ":" NT66 NT126 A203
      | (empty)
NT19  : NT12
      | NT13
      | NT14 A101
NT20  : "=" NT101 A35
      | A101 NT38 A145 A191 A142
      | "+=" A34 NT101 A33 A35
      | "-=" A32 NT101 A33 A35
      | "*=" A31 NT101 A33 A35
      | "/=" A30 NT101 A33 A35
      | "%=" A29 NT101 A33 A35
      | "&=" A28 NT101 A33 A35
      | "^=" A27 NT101 A33 A35
      | "|=" A26 NT101 A33 A35
      | "++" A25
      | "--" A24
NT22  : NT3 A210 A95
NT23  : "else" A210 A94 NT57
      | (empty)
NT24  : NT14
      | VARIABLE A202 A48
      | "$" A46
      | "scope" A45
      | NT69 A141 A44
NT25  : INTEGER A202 A100
      | REAL A202 A97
      | CHARACTER A202 A43
      | STRING A202 A109 NT74
      | "false"/"true" A141 A42
      | PROCEDURE_NAME A202 A41 NT78 A40
      | "argvector" "[" NT101 A39 "]"
      | "argcount" A38
      | A210 A93 A210 A92 "&" "endexpr" A210 A91
      | "binary"/"decimal"/"hex" A141
NT26  : "!"/"~" A141 NT114 A23 NT111 NT112
      | "+"/"-" A141 NT117 A23 NT108 NT109 NT110 NT111 NT112
NT27  : TYPE_WORD A141 A88
      | NT32 A141 A85
      | IDENTIFIER A202 A82
NT28  : "," A210 A156 NT27 NT28
      | (empty)
NT29  : NT141 NT60
NT30  : "," NT101 A87 NT30
      | A89
NT31  : NT17 NT33 NT22
NT32  : "proc"
NT33  : "else" A210 A94 NT17
      | (empty)
NT34  : "til" A86 NT101 A87 NT30
NT35  : IDENTIFIER A202 A77 A210 A76
      | TYPE_WORD A141 A75
      | STRING_TYPE_WORD A141 A75
      | "proc" A141 A75
NT36  : "," A210 A156 NT35 NT36
      | (empty)
NT37  : "," A210 A193 IDENTIFIER A202 A79 NT37
      | (empty)
NT38  : NT18 NT108 NT109 NT110 NT111 NT112
NT39  : "sw"
      | "hw"
      | "acc"
      | "wr"
NT40  : NT3 A210 A120 A121 A210 A122 A122
NT41  : "printf" NT92 NT3
NT42  : NT46 A80 NT47
NT43  : NT39 A141
      | A172
NT44  : A66 A212 NT41 NT3 A211
      | A172 A66
NT45  : "sw"
      | "hw"
      | "acc"
      | "wr"
NT46  : "br" A141 NT83
      | "cb" A141 NT83
      | "pp" A141 NT83
NT47  : "," NT42
      | (empty)
NT48  : NT45 A141
      | A172
NT49  : NT57 NT23 NT22
NT50  : "sw"
      | "hw"
      | "acc"
      | "wr"
NT51  : "br" A141 NT83
      | "cb" A141 NT83
      | "pp" A141 NT83
NT52  : "," NT75
      | (empty)
NT53  : "wa" NT83
NT54  : NT50 A141
      | A172
NT55  : A48 "=" NT101 A35
      | (empty)
NT56  : NT101
      | A172
NT57  : "{" A119 A210 A118 A210 A117 A117 NT8
NT58  : "over"/"into"/"out" A141
      | A172
NT59  : TYPE_WORD A141 A210 A59 A210 A136 A210 A156 IDENTIFIER A202 A210 A52 A60 NT55
      | STRING_TYPE_WORD A141 A210 A59 A210 A136 A210 A156 IDENTIFIER A202 A210 A52 A60 NT55
NT60  : "}" NT3 A210 A120 A121 A210 A122 A122
      | NT135 NT29
NT61  : "=" A210 A53 A64 NT113 A65 NT44 A210 A57 A67 NT43 A69 A70
      | A71
NT64  : "=" A210 A53 A64 NT113 A65 A66 A210 A57 A67 NT54 A69 A70
      | A71
NT65  : "=" A210 A53 A64 NT113 A65 A66 A212 "if" "(" NT101 ")" NT3 A211 A210 A57 A67 NT48 A69 A70
      | A71
NT66  : "(" NT101 ")"
      | NT24 A101
      | NT25
NT67  : NT27 NT28
      | "debug" A90
NT68  : "+"/"-" A141 NT117 A23
      | NT117
NT69  : REGISTER
NT70  : NT68 NT108
NT72  : "=" NT124 A18 A17
      | A13 A145 A191 A142
NT73  : NT128 A17
      | A13 A145 A191 A142
NT74  : STRING A202 A37 NT74
      | (empty)
NT75  : "breaks" A172 A172 A73
      | NT51 A73 NT52
      | NT53 A72 NT52
NT76  : TYPE_WORD A141 A130 A64 NT113 A65 A129 A172 A128 A13
      | STRING_TYPE_WORD A141 A130 A64 NT113 A65 A129 A172 A128 A13
      | NT113
NT77  : "=" IDENTIFIER A202 A138
      | A137
NT78  : "(" NT101 A36 NT87 ")"
      | (empty)
NT79  : "!"/"~" A141 NT114 A23
      | NT114
NT80  : "=" A210 A204 A202 A140
      | A139
NT81  : A210 A195 "(" NT101 ")" A210 A96 NT17 A207 NT3 A210 A98
NT82  : "=" A210 A53 A62 A212 NT101 A211 A210 A57
      | A145 A63 A142
NT83  : A210 A9 "[" NT101 "]" A210 A91
      | A172
NT84  : IDENTIFIER A202 A79 NT37
NT85  : "=" A210 A68 RAW_WORD A202 A61
      | "+=" A210 A68 RAW_WORD A202 A55
      | "-=" A210 A68 RAW_WORD A202 A51
      | A49
NT86  : TYPE_WORD A141 A154
      | STRING_TYPE_WORD A141 A154
      | NT32 A141 A155
      | "array" A141 A154
      | "structure" A141 A154
      | "union" A141 A154
      | "enumeration" A141 A154
      | "procedures" A141 A154
      | "labels" A141 A154
      | "lines" A141 A154
      | "modules" A141 A154
      | "setmod" A141 A154 A165
      | A166
NT87  : "," NT101 A36 NT87
      | (empty)
NT88  : "debug" A149
      | NT136 A150
      | "publics" A152
      | A153
NT89  : A7 NT136 A6 A4
NT90  : NT101
      | A56
NT91  : NT35 NT36
      | "debug" A81
      | "breaks" A172 A172 A80
      | "watches" A78
      | NT42
NT92  : "(" STRING A202 A109 A108 NT11 ")" A107
NT93  : (empty)
NT95  : "nolog" A210 A148
      | (empty)
NT96  : NT34
      | "forever" A83
      | A124 A84
NT97  : NT101
      | A172
NT98  : "(" NT15 ";" A210 A195 NT10 ";" A210 A102 NT15 ")" A210 A103 NT17 A207 NT3 A210 A104
NT99  : A210 A19 A210 A92 IDENTIFIER "endexpr" A210 A91
      | A210 A19 A210 A9 INTEGER "endexpr" A210 A91
      | A210 A19 A210 A9 REAL "endexpr" A210 A91
      | A210 A19 A210 A9 STRING "endexpr" A210 A91
      | A210 A19 A210 A9 CHARACTER "endexpr" A210 A91
      | A210 A19 A210 A9 "++" "endexpr" A210 A91
      | A210 A19 A210 A9 "--" "endexpr" A210 A91
      | A210 A19 A210 A9 "(" "endexpr" A210 A91
      | A210 A19 A210 A9 "!"/"~" "endexpr" A210 A91
      | A210 A19 A210 A9 "+"/"-" "endexpr" A210 A91
      | A210 A19 A210 A9 "*"/"/"/"%" "endexpr" A210 A91
      | A210 A19 A210 A9 "&" "endexpr" A210 A91
NT100 : "line" A171
      | "procedure" A173
      | "symbol" A175
      | A176
NT101 : NT123 NT112
NT102 : NT17 "while" A210 A99 "(" NT101 ")" A210 A96 A207 NT3 A210 A98
NT103 : "global" A50 NT59
      | "proc" A210 A136 A210 A156 IDENTIFIER A202 A210 A52 "(" ")" A210 A53 A54 A212 NT57 A56 A151 A211 NT3 A210 A57
      | A58 NT59
NT104 : "exp" A105 A168
      | A169 A168
NT105 : "=" NT101 A21
      | A20
NT106 : NT118 A22
NT107 : "to" A141 A64 NT101 A65 A12
      | "length" A141 NT101 A11 A10
      | A8 INTEGER A202 A100 A11 A10
      | A172 A12
NT108 : "*"/"/"/"%" A141 NT68 A33 NT108
      | (empty)
NT109 : "+"/"-" A141 NT70 A33 NT109
      | (empty)
NT110 : RELATIONAL_OP A141 NT76 A33
      | (empty)
NT111 : "&&" A141 NT79 A33 NT111
      | "&" A141 NT79 A33 NT111
      | (empty)
NT112 : "^^"/"^"/"||"/"|" A141 NT123 A33 NT112
      | (empty)
NT113 : NT70 NT109
NT114 : NT76 NT110
NT115 : "if" "(" NT101 ")" A210 A74 NT49
NT116 : "unload" A210 A180 A202 A179
      | "regs"/"fregs" A145 A141 A181 A142
      | "stack" A145 NT97 A184 A142
      | "loadsym" A210 A180 A202 A186
      | "nlms" A145 A188 A142
      | "waitingthreads" A145 A190 A142
      | "screens" A145 A192 A142
      | "runqueue" A145 A194 A142
      | "threads" A145 A196 A142
      | "clearsym" A145 A198 A142
NT117 : NT66 NT18
      | "base" A47
NT118 : A172
NT119 : "#define" A210 A136 A210 A156 IDENTIFIER A202 A210 A135 A202 A210 A134 A210 A135 A133 A210 A132
      | "disable"/"enable" A141 A131 NT75
      | TYPE_WORD A141 A130 A64 NT113 A65 A129 NT107 A128 A127 NT73
      | STRING_TYPE_WORD A141 A130 A64 NT113 A65 A129 A172 A128 NT72
      | "append"/"put" A141 A210 A180 A202 A126 A210 A156 NT67 A125
      | "cb" A141 NT83 NT65
      | "br" A141 NT83 NT64
      | "pp" A141 NT83 NT61
      | "istep"/"step" A141 A124 NT58 NT56 A123
      | "(" NT101 ")" NT38 A191
      | "{" A119 A210 A118 A210 A117 A117 NT29
      | NT26 A191
      | NT25 NT38 A191
      | NT24 NT20
      | A210 A193 "_PE_" A210 A193 NT99
      | A210 A193 "_PS_" NT19
      | "_PA_" A210 A193 NT113
      | "_AC_" A210 A193 A116 A210 A115 NT9 A210 A113
      | "_DC_" NT141
      | "_IE_" "if" "(" A210 A193 A210 A111 NT101 A210 A110 ")"
      | "_PF_" NT1
NT121 : "asm" NT113 A199 NT107 A197 NT106
      | "base" NT105
      | "calls" NT104
      | "define" NT103
      | "do" A210 A195 NT102
      | "eval" NT101 NT100
      | "?" A210 A193 NT99 A191
      | "exit" A189
      | "for" NT98
      | "halt" A187
      | "wait" A185
      | "go" NT96
      | "help" A183
      | "include" A210 A182 A210 A180 NT95 END_OF_LINE A178 A210 A177 A210 A208
      | "load" A210 A182 A174 A172 A172 A210 A170 A210 A180 A202 A210 A167 A210 A164 NT93 A163
      | "locals" A162
      | "log" A210 A161 A202 A160
      | "nolog" A159
      | "printf" NT92
      | "proc" PROCEDURE_NAME A202 A158
      | "remove" A210 A156 NT91
      | "return" NT90 A151
      | "setmod" A147 NT89 "to" A210 A180 A202 A146
      | "show" A145 A144 NT88 NT86 A143 A142
      | "globalpath"/"spath" A141 NT85
      | "restore" A210 A193 NT84
      | "wa" NT83 NT82
      | "while" NT81
      | "viewpoint" NT80
      | "vpalias" NT77
NT123 : NT79 NT111
NT124 : TYPE_WORD A141 A64 NT113 A65 A129 NT107 A128
      | STRING_TYPE_WORD A141 A64 NT113 A65 A129 A172 A128
      | NT24 A101 NT38
      | NT25 NT38
      | NT26
      | "(" NT101 ")" NT38
NT126 : ":" NT66
      | A172
NT128 : "=" NT124 A18 NT129
NT129 : "," NT124 A18 NT129
      | (empty)
NT130 : NT121
      | NT119
      | NT116
      | NT115
      | (empty)
NT131 : "[" A210 A204 A202 A201 "]"
      | A200
NT135 : END_OF_LINE A207 A210 A206
      | ";" A207
NT136 : ":" A210 A193 NT139 A202 A1
NT137 : A210 A193 A210 A92 A210 A3 IDENTIFIER "endexpr" A210 A91
      | A210 A5 A210 A92 "*"/"/"/"%" "endexpr" A210 A91
NT139 : IDENTIFIER
      | BACKSLASH A210 A193 IDENTIFIER
NT140 : ";" A207 NT141 NT140
      | (empty)
NT141 : NT131 NT130 A205
NT142 : A210 A3 A210 A92 IDENTIFIER "endexpr" A210 A91
      | A210 A193 BACKSLASH NT137
      | A210 A5 A210 A92 "*"/"/"/"%" "endexpr" A210 A91
NT143 : A212 NT141 NT140 END_OF_LINE A211 A210 A209 A210 A208
)GRAMMAR";

// Token classes the grammar names; VARIABLE stands for the 24 variable tokens.
struct TokenClassName {
  const char* name;
  uint8_t token;
};
constexpr TokenClassName kTokenClasses[] = {
    {"HASH_NUMBER", 0},   {"BACKSLASH", 3},   {"END_OF_LINE", 4},      {"REGISTER", 18},
    {"PROCEDURE_NAME", 84}, {"VARIABLE", 91}, {"IDENTIFIER", 121},     {"RELATIONAL_OP", 132},
    {"TYPE_WORD", 133},   {"CHARACTER", 138}, {"STRING_TYPE_WORD", 139}, {"RAW_WORD", 153},
    {"REAL", 167},        {"INTEGER", 170},   {"STRING", 175},
};

constexpr GrammarTerminalWord kTerminalWords[] = {
    {":", 2},
    {"%", 5},
    {"*", 5},
    {"/", 5},
    {"wr", 6},
    {"acc", 7},
    {"hw", 8},
    {";", 9},
    {"sw", 10},
    {"length", 11},
    {"[", 16},
    {"]", 20},
    {"+", 23},
    {"-", 23},
    {"!", 25},
    {"~", 25},
    {"asm", 26},
    {"clearsym", 28},
    {"--", 29},
    {"threads", 30},
    {"base", 32},
    {"++", 33},
    {"calls", 34},
    {"define", 36},
    {"|=", 37},
    {"do", 38},
    {"runqueue", 39},
    {"eval", 41},
    {"^=", 42},
    {"?", 44},
    {"screens", 45},
    {"&=", 46},
    {"waitingthreads", 47},
    {"exit", 48},
    {"nlms", 49},
    {"for", 50},
    {"union", 51},
    {"halt", 52},
    {"loadsym", 53},
    {"wait", 54},
    {"%=", 55},
    {"go", 56},
    {"help", 58},
    {"stack", 59},
    {"include", 60},
    {"fregs", 61},
    {"regs", 61},
    {"unload", 62},
    {"/=", 63},
    {"symbol", 65},
    {"load", 66},
    {"procedure", 67},
    {"line", 68},
    {"exp", 69},
    {"modules", 70},
    {"lines", 71},
    {"*=", 72},
    {"labels", 73},
    {"locals", 74},
    {"procedures", 75},
    {"log", 76},
    {"enumeration", 77},
    {"structure", 78},
    {"nolog", 79},
    {"array", 80},
    {"printf", 81},
    {"proc", 83},
    {"remove", 86},
    {"publics", 87},
    {"return", 89},
    {"setmod", 92},
    {"to", 95},
    {"show", 97},
    {"globalpath", 104},
    {"spath", 104},
    {"binary", 106},
    {"decimal", 106},
    {"hex", 106},
    {"restore", 107},
    {"wa", 109},
    {"argcount", 110},
    {"^", 111},
    {"^^", 111},
    {"|", 111},
    {"||", 111},
    {"while", 112},
    {"argvector", 113},
    {"viewpoint", 114},
    {"&&", 115},
    {"vpalias", 116},
    {"false", 117},
    {"true", 117},
    {"=", 118},
    {"#define", 124},
    {"disable", 130},
    {"enable", 130},
    {"scope", 140},
    {"append", 141},
    {"put", 141},
    {"$", 143},
    {"cb", 145},
    {"br", 147},
    {"global", 148},
    {"pp", 149},
    {"-=", 150},
    {"istep", 151},
    {"step", 151},
    {"+=", 152},
    {"watches", 154},
    {"breaks", 155},
    {"(", 156},
    {")", 157},
    {"forever", 158},
    {"{", 159},
    {"}", 160},
    {"til", 161},
    {"debug", 162},
    {"into", 163},
    {"out", 163},
    {"over", 163},
    {"endexpr", 164},
    {"&", 165},
    {"else", 166},
    {"_PE_", 168},
    {"_PS_", 169},
    {"_PA_", 171},
    {"_AC_", 172},
    {",", 173},
    {"continue", 174},
    {"break", 176},
    {"_DC_", 177},
    {"_IE_", 178},
    {"if", 179},
    {"_PF_", 180},
};

constexpr const char* kVariableClassName = "VARIABLE";
constexpr uint8_t kVariableSymbol = 91;

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; }

// Reads a number after a prefix ("NT12", "A202"); false when the rest is no number
// below `limit`.
bool ReadIndexed(std::string_view piece, std::string_view prefix, uint32_t limit, uint16_t* value) {
  if (piece.size() <= prefix.size() || piece.substr(0, prefix.size()) != prefix) return false;
  uint32_t number = 0;
  for (const char ch : piece.substr(prefix.size())) {
    if (ch < '0' || ch > '9') return false;
    number = number * 10 + static_cast<uint32_t>(ch - '0');
    if (number >= limit) return false;
  }
  *value = static_cast<uint16_t>(number);
  return true;
}

const GrammarTerminalWord* FindTerminalWord(std::string_view text) {
  for (const GrammarTerminalWord& word : kTerminalWords) {
    if (text == word.text) return &word;
  }
  return nullptr;
}

}  // namespace

bool IsVariableToken(uint8_t token) {
  return std::find(std::begin(kVariableTokens), std::end(kVariableTokens), token) != std::end(kVariableTokens);
}

std::span<const GrammarTerminalWord> GrammarTerminalWords() { return kTerminalWords; }

CommandGrammar CommandGrammar::FromText(std::string_view text, uint16_t startNonterminal, std::string* error) {
  CommandGrammar grammar;
  std::string failure;
  std::vector<bool> defined(kNonterminalCount, false);
  std::vector<std::pair<uint16_t, uint32_t>> references;  // nonterminal, line number
  int32_t current = -1;
  uint32_t lineNumber = 0;

  auto fail = [&](const std::string& reason) {
    if (failure.empty()) failure = "line " + std::to_string(lineNumber) + ": " + reason;
  };

  // Reads one symbol of a right-hand side into `symbol`; false (with the reason
  // recorded) when it is not one.
  auto readSymbol = [&](std::string_view piece, uint16_t* symbol) -> bool {
    uint16_t index = 0;
    if (piece.front() == '"') {
      // One or more quoted words joined by "/", all of one token code.
      std::string names;
      int32_t token = -1;
      size_t at = 0;
      while (at < piece.size()) {
        if (piece[at] != '"') break;
        const size_t close = piece.find('"', at + 1);
        if (close == std::string_view::npos || close == at + 1) break;
        const std::string_view word = piece.substr(at + 1, close - at - 1);
        const GrammarTerminalWord* entry = FindTerminalWord(word);
        if (entry == nullptr) {
          fail("unknown word \"" + std::string(word) + "\"");
          return false;
        }
        if (token >= 0 && token != entry->token) {
          fail("joined words of different tokens: " + std::string(piece));
          return false;
        }
        token = entry->token;
        if (!names.empty()) names += '/';
        names += '"';
        names += word;
        names += '"';
        at = close + 1;
        if (at == piece.size()) {
          *symbol = static_cast<uint16_t>(token);
          if (grammar.m_terminalNames[*symbol].empty()) grammar.m_terminalNames[*symbol] = names;
          grammar.m_terminalTokens[*symbol].set(*symbol);
          return true;
        }
        if (piece[at] != '/') break;
        ++at;
      }
      fail("malformed quoted terminal " + std::string(piece));
      return false;
    }
    if (ReadIndexed(piece, "NT", kNonterminalCount, &index)) {
      *symbol = NonterminalSymbol(index);
      references.emplace_back(index, lineNumber);
      return true;
    }
    if (ReadIndexed(piece, "A", kActionSlotCount, &index)) {
      *symbol = ActionSymbol(index);
      return true;
    }
    for (const TokenClassName& tokenClass : kTokenClasses) {
      if (piece != tokenClass.name) continue;
      *symbol = tokenClass.token;
      grammar.m_terminalNames[*symbol] = tokenClass.name;
      if (piece == kVariableClassName) {
        for (const uint8_t token : kVariableTokens) grammar.m_terminalTokens[*symbol].set(token);
      } else {
        grammar.m_terminalTokens[*symbol].set(*symbol);
      }
      return true;
    }
    fail("unknown symbol " + std::string(piece));
    return false;
  };

  size_t lineStart = 0;
  while (lineStart <= text.size() && failure.empty()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    ++lineNumber;

    // Split into blank-separated pieces.
    std::vector<std::string_view> pieces;
    size_t at = 0;
    while (at < line.size()) {
      while (at < line.size() && IsBlank(line[at])) ++at;
      const size_t begin = at;
      while (at < line.size() && !IsBlank(line[at])) ++at;
      if (at > begin) pieces.push_back(line.substr(begin, at - begin));
    }
    if (pieces.empty() || pieces.front().substr(0, 2) == "//") continue;

    size_t first = 0;
    if (pieces.front() == "|") {
      if (current < 0) {
        fail("alternative before any nonterminal");
        break;
      }
      first = 1;
    } else {
      uint16_t n = 0;
      if (pieces.size() < 2 || !ReadIndexed(pieces[0], "NT", kNonterminalCount, &n) || pieces[1] != ":") {
        fail("expected \"NTn :\" or \"|\"");
        break;
      }
      if (defined[n]) {
        fail("the alternatives of NT" + std::to_string(n) + " are not consecutive");
        break;
      }
      defined[n] = true;
      current = n;
      grammar.m_firstProduction[n] = grammar.ProductionCount();
      first = 2;
    }

    GrammarProduction production{NonterminalSymbol(static_cast<uint16_t>(current)),
                                 static_cast<uint32_t>(grammar.m_symbols.size()), 0};
    const size_t symbolCount = pieces.size() - first;
    if (symbolCount == 1 && pieces[first] == "(empty)") {
      // Nothing on the right-hand side.
    } else if (symbolCount == 0) {
      fail("empty right-hand side (write (empty))");
      break;
    } else if (symbolCount > 255) {
      fail("right-hand side too long");
      break;
    } else {
      for (size_t i = first; i < pieces.size(); ++i) {
        uint16_t symbol = 0;
        if (!readSymbol(pieces[i], &symbol)) break;
        grammar.m_symbols.push_back(symbol);
      }
      production.length = static_cast<uint8_t>(symbolCount);
    }
    grammar.m_productions.push_back(production);
    ++grammar.m_alternativeCount[current];
  }

  if (failure.empty()) {
    for (const auto& [n, line] : references) {
      if (!defined[n]) {
        failure = "line " + std::to_string(line) + ": NT" + std::to_string(n) + " has no alternatives";
        break;
      }
    }
  }
  if (failure.empty() && (startNonterminal >= kNonterminalCount || !defined[startNonterminal])) {
    failure = "the start nonterminal has no alternatives";
  }
  if (!failure.empty()) {
    if (error != nullptr) *error = failure;
    return CommandGrammar();
  }

  grammar.m_startSymbol = NonterminalSymbol(startNonterminal);
  grammar.m_startSequence = static_cast<uint32_t>(grammar.m_symbols.size());
  grammar.m_symbols.push_back(grammar.m_startSymbol);
  grammar.m_endExpressionSequence = static_cast<uint32_t>(grammar.m_symbols.size());
  grammar.m_symbols.push_back(grammar_token::kEndExpression);
  if (grammar.m_terminalNames[grammar_token::kEndExpression].empty()) {
    grammar.m_terminalNames[grammar_token::kEndExpression] = "\"endexpr\"";
    grammar.m_terminalTokens[grammar_token::kEndExpression].set(grammar_token::kEndExpression);
  }
  if (error != nullptr) error->clear();
  return grammar;
}

const CommandGrammar& CommandGrammar::Get() {
  static const CommandGrammar grammar = [] {
    std::string error;
    CommandGrammar built = FromText(kCommandGrammarText, kStartSymbol - kFirstNonterminal, &error);
    if (!error.empty()) ZENTOR_INTERNAL_ERROR();
    return built;
  }();
  return grammar;
}

std::span<const uint16_t> CommandGrammar::RightHandSide(uint32_t index) const {
  const GrammarProduction& production = m_productions.at(index);
  return std::span<const uint16_t>(m_symbols).subspan(production.firstSymbol, production.length);
}

std::string CommandGrammar::SymbolName(uint16_t symbol) const {
  if (IsActionSymbol(symbol)) return "A" + std::to_string(symbol - kFirstAction);
  if (IsNonterminalSymbol(symbol)) return "NT" + std::to_string(symbol - kFirstNonterminal);
  if (symbol < kFirstNonterminal && !m_terminalNames[symbol].empty()) return m_terminalNames[symbol];
  return "T" + std::to_string(symbol);
}

std::string CommandGrammar::ProductionText(uint32_t index) const {
  const GrammarProduction& production = m_productions.at(index);
  std::string text = SymbolName(production.nonterminal) + " :";
  if (production.length == 0) return text + " (empty)";
  for (const uint16_t symbol : RightHandSide(index)) text += " " + SymbolName(symbol);
  return text;
}

}  // namespace zentor
