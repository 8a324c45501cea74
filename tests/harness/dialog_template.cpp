#include "harness/dialog_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gui/layer_types.h"

namespace zentor::testing_support {
namespace {

struct Token {
  enum Kind { kWord, kNumber, kString, kPunct, kEnd } kind = kEnd;
  std::string text;
  int64_t number = 0;
  int line = 0;
};

// 1. Preprocessor lines and // and /* */ comments go.
// 2. Strings keep their text with "" read as one quote and the usual escapes.
// 3. Numbers are decimal or 0x hex with an optional L; a minus before a number is
//    part of it.
std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  int line = 1;
  bool lineStart = true;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      lineStart = true;
      ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (lineStart && c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    lineStart = false;
    if (text.substr(i, 2) == "//") {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (text.substr(i, 2) == "/*") {
      const size_t end = text.find("*/", i + 2);
      for (size_t j = i; j < std::min(end, text.size()); ++j) line += text[j] == '\n';
      i = end == std::string_view::npos ? text.size() : end + 2;
      continue;
    }
    Token token;
    token.line = line;
    if (c == '"') {
      token.kind = Token::kString;
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            token.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (text[i] == '\\' && i + 1 < text.size()) {
          const char escaped = text[i + 1];
          token.text += escaped == 't' ? '\t' : escaped == 'n' ? '\n' : escaped;
          i += 2;
          continue;
        }
        token.text += text[i++];
      }
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '-' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      token.kind = Token::kNumber;
      char* end = nullptr;
      const std::string rest(text.substr(i, 24));
      token.number = std::strtoll(rest.c_str(), &end, 0);
      i += static_cast<size_t>(end - rest.c_str());
      if (i < text.size() && (text[i] == 'L' || text[i] == 'l')) ++i;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      token.kind = Token::kWord;
      while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) {
        token.text += text[i++];
      }
    } else {
      token.kind = Token::kPunct;
      token.text = std::string(1, c);
      ++i;
    }
    tokens.push_back(token);
  }
  Token end;
  end.line = line;
  tokens.push_back(end);
  return tokens;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The control statements: whether they start with a text, and the layer type of the
// control they make.
struct StatementKind {
  const char* name;
  bool hasText;
  uint32_t layerType;
};
constexpr StatementKind kStatements[] = {
    {"LTEXT", true, kLayerStaticText},        {"RTEXT", true, kLayerStaticText},
    {"CTEXT", true, kLayerStaticText},        {"PUSHBUTTON", true, kLayerPushButton},
    {"DEFPUSHBUTTON", true, kLayerPushButton}, {"GROUPBOX", true, kLayerStaticText},
    {"CHECKBOX", true, kLayerCheckBox},       {"AUTOCHECKBOX", true, kLayerCheckBox},
    {"STATE3", true, kLayerCheckBox},         {"AUTO3STATE", true, kLayerCheckBox},
    {"RADIOBUTTON", true, kLayerRadioButton}, {"AUTORADIOBUTTON", true, kLayerRadioButton},
    {"ICON", true, kLayerStaticText},         {"EDITTEXT", false, kLayerEditBox},
    {"LISTBOX", false, kLayerListBox},        {"COMBOBOX", false, kLayerComboBox},
    {"SCROLLBAR", false, kLayerVerticalScrollBar},
    {"CONTROL", true, 0},
};

const StatementKind* FindStatement(const std::string& word) {
  for (const StatementKind& kind : kStatements) {
    if (word == kind.name) return &kind;
  }
  return nullptr;
}

uint32_t ControlClassType(const std::string& className, const std::vector<std::string>& styles) {
  auto has = [&](const char* name) { return std::find(styles.begin(), styles.end(), name) != styles.end(); };
  if (className == "edit") return kLayerEditBox;
  if (className == "listbox") return kLayerListBox;
  if (className == "combobox") return kLayerComboBox;
  if (className == "scrollbar") return has("SBS_HORZ") ? kLayerHorizontalScrollBar : kLayerVerticalScrollBar;
  if (className == "button") {
    if (has("BS_CHECKBOX") || has("BS_AUTOCHECKBOX") || has("BS_3STATE") || has("BS_AUTO3STATE")) return kLayerCheckBox;
    if (has("BS_RADIOBUTTON") || has("BS_AUTORADIOBUTTON")) return kLayerRadioButton;
    if (has("BS_GROUPBOX")) return kLayerStaticText;
    return kLayerPushButton;
  }
  return kLayerStaticText;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

  bool Run(std::vector<DialogResourceTemplate>* templates, std::string* error) {
    while (Peek().kind != Token::kEnd) {
      if (Peek().kind == Token::kWord && (Upper(Peek(1).text) == "DIALOG" || Upper(Peek(1).text) == "DIALOGEX") &&
          Peek(1).kind == Token::kWord) {
        DialogResourceTemplate dialog;
        if (!Dialog(&dialog)) {
          *error = "line " + std::to_string(Peek().line) + ": " + m_error;
          return false;
        }
        templates->push_back(std::move(dialog));
      } else {
        ++m_at;
      }
    }
    return true;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    return m_tokens[std::min(m_at + ahead, m_tokens.size() - 1)];
  }
  const Token& Take() {
    const Token& token = Peek();
    if (m_at < m_tokens.size() - 1) ++m_at;
    return token;
  }
  bool Fail(const std::string& what) {
    if (m_error.empty()) m_error = what;
    return false;
  }
  bool IsPunct(const char* text) const { return Peek().kind == Token::kPunct && Peek().text == text; }
  bool Comma() {
    if (!IsPunct(",")) return Fail("',' expected before '" + Peek().text + "'");
    Take();
    return true;
  }
  bool OptionalComma() {
    if (IsPunct(",")) Take();
    return true;
  }

  // A number, or one of the names the scripts use for the usual ids.
  bool Number(int32_t* value) {
    const Token& token = Take();
    if (token.kind == Token::kNumber) {
      *value = static_cast<int32_t>(token.number);
      return true;
    }
    if (token.kind == Token::kWord) {
      static const std::pair<const char*, int32_t> kNames[] = {
          {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5},
          {"IDYES", 6}, {"IDNO", 7}, {"IDC_STATIC", -1}, {"IDHELP", 9},
      };
      for (const auto& [name, number] : kNames) {
        if (token.text == name) {
          *value = number;
          return true;
        }
      }
    }
    return Fail("a number expected, not '" + token.text + "'");
  }

  // Style expressions: names and numbers joined by |, +, NOT and parentheses. The
  // names are collected; an expression ends after a term that no operator follows.
  bool Styles(std::vector<std::string>* names) {
    for (;;) {
      while (Peek().kind == Token::kWord && Upper(Peek().text) == "NOT") Take();
      while (IsPunct("(")) Take();
      const Token& term = Take();
      if (term.kind == Token::kWord) {
        names->push_back(term.text);
      } else if (term.kind != Token::kNumber) {
        return Fail("a style expected, not '" + term.text + "'");
      }
      while (IsPunct(")")) Take();
      if (IsPunct("|") || IsPunct("+")) {
        Take();
        continue;
      }
      if (Peek().kind == Token::kWord && Upper(Peek().text) == "NOT") continue;
      return true;
    }
  }

  bool Box(int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
    return Number(x) && Comma() && Number(y) && Comma() && Number(width) && Comma() && Number(height);
  }

  bool Dialog(DialogResourceTemplate* dialog) {
    dialog->name = Take().text;
    const bool extended = Upper(Take().text) == "DIALOGEX";
    while (Peek().kind == Token::kWord && (Upper(Peek().text) == "DISCARDABLE" || Upper(Peek().text) == "MOVEABLE" ||
                                           Upper(Peek().text) == "PURE" || Upper(Peek().text) == "PRELOAD")) {
      Take();
    }
    if (!Box(&dialog->x, &dialog->y, &dialog->width, &dialog->height)) return false;
    if (extended && IsPunct(",")) {
      int32_t helpId = 0;
      if (!(Comma() && Number(&helpId))) return false;
    }
    // The dialog's statements up to BEGIN.
    for (;;) {
      const std::string word = Upper(Peek().text);
      if (IsPunct("{") || word == "BEGIN") {
        Take();
        break;
      }
      if (Peek().kind != Token::kWord) return Fail("BEGIN expected, not '" + Peek().text + "'");
      Take();
      if (word == "STYLE" || word == "EXSTYLE") {
        std::vector<std::string> styles;
        if (!Styles(&styles)) return false;
        if (word == "STYLE") dialog->styles = styles;
      } else if (word == "CAPTION") {
        if (Peek().kind != Token::kString) return Fail("CAPTION needs a text");
        dialog->caption = Take().text;
      } else if (word == "FONT") {
        if (!Number(&dialog->fontSize) || !Comma() || Peek().kind != Token::kString) return Fail("FONT size, name");
        dialog->fontName = Take().text;
        // DIALOGEX fonts: weight, italic, character set.
        while (IsPunct(",")) {
          Take();
          int32_t ignored = 0;
          if (!Number(&ignored)) return false;
        }
      } else if (word == "MENU" || word == "CLASS") {
        Take();
      } else if (word == "LANGUAGE") {
        int32_t ignored = 0;
        if (!(Number(&ignored) && Comma() && Number(&ignored))) return false;
      } else {
        return Fail("unknown dialog statement " + word);
      }
    }
    for (;;) {
      const std::string word = Upper(Peek().text);
      if (IsPunct("}") || word == "END") {
        Take();
        return true;
      }
      if (Peek().kind == Token::kEnd) return Fail("END missing");
      const StatementKind* kind = Peek().kind == Token::kWord ? FindStatement(word) : nullptr;
      if (kind == nullptr) return Fail("unknown control statement '" + Peek().text + "'");
      Take();
      DialogControlTemplate control;
      if (!Control(*kind, word, extended, &control)) return false;
      dialog->controls.push_back(std::move(control));
    }
  }

  bool Control(const StatementKind& kind, const std::string& word, bool extended, DialogControlTemplate* control) {
    control->statement = word;
    control->layerType = kind.layerType;
    if (kind.hasText) {
      if (Peek().kind == Token::kString) {
        control->text = Take().text;
      } else if (Peek().kind == Token::kWord || Peek().kind == Token::kNumber) {
        control->text = Take().text;  // an icon's resource name
      } else {
        return Fail(word + " needs a text");
      }
      if (!Comma()) return false;
    }
    if (!Number(&control->id) || !Comma()) return false;
    if (word == "CONTROL") {
      if (Peek().kind != Token::kString && Peek().kind != Token::kWord) return Fail("CONTROL needs a class");
      control->className = Lower(Take().text);
      if (!Comma() || !Styles(&control->styles) || !Comma()) return false;
      if (!Box(&control->x, &control->y, &control->width, &control->height)) return false;
      control->layerType = ControlClassType(control->className, control->styles);
    } else {
      if (!Box(&control->x, &control->y, &control->width, &control->height)) return false;
      if (IsPunct(",")) {
        Take();
        if (!Styles(&control->styles)) return false;
      }
      if (word == "SCROLLBAR" && control->HasStyle("SBS_HORZ")) control->layerType = kLayerHorizontalScrollBar;
    }
    // The extended style (and a DIALOGEX control's help id).
    while (IsPunct(",")) {
      Take();
      std::vector<std::string> ignored;
      if (!Styles(&ignored)) return false;
    }
    (void)extended;
    return true;
  }

  std::vector<Token> m_tokens;
  size_t m_at = 0;
  std::string m_error;
};

}  // namespace

bool DialogControlTemplate::HasStyle(std::string_view name) const {
  return std::find(styles.begin(), styles.end(), name) != styles.end();
}

const DialogControlTemplate* DialogResourceTemplate::Control(int32_t id) const {
  for (const DialogControlTemplate& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

bool DialogResourceTemplate::HasStyle(std::string_view name) const {
  return std::find(styles.begin(), styles.end(), name) != styles.end();
}

bool ParseDialogTemplates(std::string_view text, std::vector<DialogResourceTemplate>* templates,
                          std::string* error) {
  Parser parser(Tokenize(text));
  return parser.Run(templates, error);
}

const std::vector<DialogResourceTemplate>& ProjectDialogTemplates() {
  static const std::vector<DialogResourceTemplate> templates = [] {
    std::vector<DialogResourceTemplate> all;
    std::vector<std::filesystem::path> scripts;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ZENTOR_SOURCE_DIR)) {
      if (entry.is_regular_file() && entry.path().extension() == ".rc") scripts.push_back(entry.path());
    }
    std::sort(scripts.begin(), scripts.end());
    for (const std::filesystem::path& script : scripts) {
      std::ifstream in(script, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      std::string error;
      if (!ParseDialogTemplates(text.str(), &all, &error)) {
        ADD_FAILURE() << script.string() << ": " << error;
      }
    }
    return all;
  }();
  return templates;
}

}  // namespace zentor::testing_support
