#include "engine/css/Selector.h"

#include <algorithm>
#include <iterator>

#include "engine/css/Values.h"
#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

// A selector longer than this is not one a page means; it is dropped rather than matched.
constexpr size_t kMaxCompounds = 64;
constexpr int kMaxNesting = 8;  // :not(:is(...)) inside each other

// HTML attributes whose values match ignoring ASCII case.
constexpr std::string_view kCaseInsensitiveAttributes[] = {
    "accept",     "accept-charset", "align",     "alink",    "axis",     "bgcolor", "charset",
    "checked",    "clear",          "codetype",  "color",    "compact",  "declare", "defer",
    "dir",        "direction",      "disabled",  "enctype",  "face",     "frame",   "hreflang",
    "http-equiv", "lang",           "language",  "link",     "media",    "method",  "multiple",
    "nohref",     "noresize",       "noshade",   "nowrap",   "readonly", "rel",     "rev",
    "rules",      "scope",          "scrolling", "selected", "shape",    "target",  "text",
    "type",       "valign",         "valuetype", "vlink"};

// Pseudo-classes of states a read page never has: they match nothing, but the rule stays.
constexpr std::string_view kNeverStates[] = {
    "hover",         "active",   "focus",    "focus-within", "focus-visible", "visited",           "target",
    "target-within", "required", "optional", "read-only",    "read-write",    "placeholder-shown", "default",
    "indeterminate", "valid",    "invalid",  "in-range",     "out-of-range",  "fullscreen",        "modal",
    "popover-open",  "autofill", "playing",  "paused",       "user-invalid",  "user-valid",        "blank",
    "local-link",    "open"};

constexpr std::string_view kPseudoElements[] = {
    "before", "after",    "first-line",           "first-letter", "selection",    "placeholder",
    "marker", "backdrop", "file-selector-button", "cue",          "grammar-error"};

struct Specificity {
  uint32_t ids = 0, classes = 0, types = 0;

  uint32_t Packed() const {
    return (std::min(ids, 255U) << 16) | (std::min(classes, 255U) << 8) | std::min(types, 255U);
  }
  bool operator<(const Specificity& other) const { return Packed() < other.Packed(); }
  Specificity& operator+=(const Specificity& other) {
    ids += other.ids;
    classes += other.classes;
    types += other.types;
    return *this;
  }
};

PseudoSelector PseudoOf(PseudoClass kind) {
  PseudoSelector pseudo;
  pseudo.kind = kind;
  return pseudo;
}

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <size_t N>
bool Contains(std::string_view name, const std::string_view (&list)[N]) {
  return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

class SelectorParser {
 public:
  explicit SelectorParser(std::string_view text) : text_(text) {}

  bool ParseList(std::vector<Selector>& out) {
    while (true) {
      Selector selector;
      Specificity specificity;
      if (!ParseComplex(selector, specificity)) return false;
      selector.specificity = specificity.Packed();
      out.push_back(std::move(selector));
      if (AtEnd()) return true;
      ++i_;  // the comma
    }
  }

 private:
  bool AtEnd() const { return i_ >= text_.size(); }
  char Peek(size_t ahead = 0) const { return i_ + ahead < text_.size() ? text_[i_ + ahead] : '\0'; }

  bool SkipSpace() {
    size_t start = i_;
    while (!AtEnd() && IsSpace(text_[i_])) ++i_;
    return i_ > start;
  }

  bool ParseComplex(Selector& selector, Specificity& specificity) {
    bool explicitCombinator = false;
    Combinator combinator = Combinator::Descendant;
    while (true) {
      SkipSpace();
      if (AtEnd() || Peek() == ',') break;
      char c = Peek();
      if (c == '>' || c == '+' || c == '~') {
        if (selector.compounds.empty() || explicitCombinator) return false;
        combinator = c == '>'   ? Combinator::Child
                     : c == '+' ? Combinator::NextSibling
                                : Combinator::SubsequentSibling;
        explicitCombinator = true;
        ++i_;
        continue;
      }
      if (selector.compounds.size() >= kMaxCompounds) return false;
      Compound compound;
      compound.combinator = combinator;
      if (!ParseCompound(compound, specificity, 0)) return false;
      selector.compounds.push_back(std::move(compound));
      combinator = Combinator::Descendant;
      explicitCombinator = false;
      // A compound ends at space, a combinator, a comma or the end; anything else is garbage.
      char next = Peek();
      if (!AtEnd() && !IsSpace(next) && next != ',' && next != '>' && next != '+' && next != '~')
        return false;
    }
    return !selector.compounds.empty() && !explicitCombinator;
  }

  bool ParseCompound(Compound& compound, Specificity& specificity, int nesting) {
    bool any = false;
    if (Peek() == '*') {
      ++i_;
      any = true;
    } else if (StartsIdent()) {
      if (!Ident(compound.type)) return false;
      compound.type = Lower(compound.type);
      ++specificity.types;
      any = true;
    }
    if (Peek() == '|') return false;  // namespaces
    while (!AtEnd()) {
      char c = Peek();
      std::string name;
      if (c == '.') {
        ++i_;
        if (!StartsIdent() || !Ident(name)) return false;
        compound.classes.push_back(Lower(name));
        ++specificity.classes;
      } else if (c == '#') {
        ++i_;
        if (!Name(name)) return false;
        name = Lower(name);
        // Two different ids in one compound can never match.
        if (!compound.id.empty() && compound.id != name)
          compound.pseudos.push_back(PseudoOf(PseudoClass::Never));
        compound.id = std::move(name);
        ++specificity.ids;
      } else if (c == '[') {
        if (!Attribute(compound)) return false;
        ++specificity.classes;
      } else if (c == ':') {
        if (!Pseudo(compound, specificity, nesting)) return false;
      } else {
        break;
      }
      any = true;
    }
    return any;
  }

  bool StartsIdent() const {
    char c = Peek();
    if (IsNameStart(c) || c == '\\') return true;
    if (c == '-') return IsNameStart(Peek(1)) || Peek(1) == '-' || Peek(1) == '\\';
    return false;
  }

  bool Ident(std::string& out) { return StartsIdent() && Name(out); }

  // Name characters and escapes ("\:" or "\31 "), as written.
  bool Name(std::string& out) {
    size_t start = out.size();
    while (!AtEnd()) {
      char c = Peek();
      if (IsNameChar(c)) {
        out.push_back(c);
        ++i_;
      } else if (c == '\\') {
        if (!Escape(out)) return false;
      } else {
        break;
      }
    }
    return out.size() > start;
  }

  bool Escape(std::string& out) {
    ++i_;
    if (AtEnd()) {
      platform::AppendUtf8(out, U'\uFFFD');
      return true;
    }
    if (Peek() == '\n' || Peek() == '\r' || Peek() == '\f') return false;
    if (Hex(Peek()) < 0) {
      out.push_back(text_[i_++]);
      return true;
    }
    char32_t code = 0;
    for (int k = 0; k < 6 && !AtEnd() && Hex(Peek()) >= 0; ++k)
      code = code * 16 + static_cast<char32_t>(Hex(text_[i_++]));
    if (!AtEnd() && IsSpace(Peek())) ++i_;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = U'\uFFFD';
    platform::AppendUtf8(out, code);
    return true;
  }

  bool StringToken(std::string& out) {
    char quote = text_[i_++];
    while (!AtEnd()) {
      char c = text_[i_];
      if (c == quote) {
        ++i_;
        return true;
      }
      if (c == '\n') return false;
      if (c == '\\') {
        if (Peek(1) == '\n') {
          i_ += 2;
          continue;
        }
        if (!Escape(out)) return false;
        continue;
      }
      out.push_back(c);
      ++i_;
    }
    return false;
  }

  bool Attribute(Compound& compound) {
    ++i_;
    SkipSpace();
    AttributeSelector attribute;
    if (!Ident(attribute.name)) return false;
    attribute.name = Lower(attribute.name);
    SkipSpace();
    if (Peek() != ']') {
      char c = Peek();
      if (c == '=') {
        attribute.op = AttributeOperator::Equals;
        ++i_;
      } else if (Peek(1) == '=' && (c == '~' || c == '|' || c == '^' || c == '$' || c == '*')) {
        attribute.op = c == '~'   ? AttributeOperator::Includes
                       : c == '|' ? AttributeOperator::DashMatch
                       : c == '^' ? AttributeOperator::Prefix
                       : c == '$' ? AttributeOperator::Suffix
                                  : AttributeOperator::Contains;
        i_ += 2;
      } else {
        return false;
      }
      SkipSpace();
      std::string value;
      if (Peek() == '"' || Peek() == '\'') {
        if (!StringToken(value)) return false;
      } else if (!Ident(value)) {
        return false;
      }
      attribute.value = platform::FromUtf8(value);
      SkipSpace();
      if (Peek() == 'i' || Peek() == 'I') {
        attribute.ignoreCase = true;
        ++i_;
      } else if (Peek() == 's' || Peek() == 'S') {
        ++i_;
      }
      SkipSpace();
      if (Peek() != ']') return false;
    }
    ++i_;
    attribute.ignoreCase = attribute.ignoreCase || Contains(attribute.name, kCaseInsensitiveAttributes);
    compound.attributes.push_back(std::move(attribute));
    return true;
  }

  // The text up to the ')' that closes the function just opened, which is consumed.
  bool FunctionBody(std::string_view& body) {
    size_t start = i_;
    int depth = 1;
    for (; !AtEnd(); ++i_) {
      char c = text_[i_];
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0) {
        body = text_.substr(start, i_ - start);
        ++i_;
        return true;
      }
    }
    return false;
  }

  bool Pseudo(Compound& compound, Specificity& specificity, int nesting) {
    ++i_;
    bool element = Peek() == ':';
    if (element) ++i_;
    std::string name;
    if (!Ident(name)) return false;
    name = Lower(name);
    bool function = Peek() == '(';
    if (function) ++i_;
    if (element || (!function && (name == "before" || name == "after" || name == "first-line" ||
                                  name == "first-letter"))) {
      bool known =
          Contains(name, kPseudoElements) || name.starts_with("-webkit-") ||
          ((name == "part" || name == "slotted" || name == "highlight" || name == "cue") && function);
      std::string_view ignored;
      if (!known || (function && !FunctionBody(ignored))) return false;
      compound.pseudos.push_back(PseudoOf(PseudoClass::Never));
      ++specificity.types;
      return true;
    }
    if (function) return FunctionalPseudo(name, compound, specificity, nesting);
    PseudoSelector pseudo;
    if (name == "link" || name == "any-link") {
      pseudo.kind = PseudoClass::Link;
    } else if (name == "root" || name == "scope") {
      pseudo.kind = PseudoClass::Root;
    } else if (name == "empty") {
      pseudo.kind = PseudoClass::Empty;
    } else if (name == "first-child") {
      pseudo.kind = PseudoClass::FirstChild;
    } else if (name == "last-child") {
      pseudo.kind = PseudoClass::LastChild;
    } else if (name == "only-child") {
      pseudo.kind = PseudoClass::OnlyChild;
    } else if (name == "first-of-type") {
      pseudo.kind = PseudoClass::FirstOfType;
    } else if (name == "last-of-type") {
      pseudo.kind = PseudoClass::LastOfType;
    } else if (name == "only-of-type") {
      pseudo.kind = PseudoClass::OnlyOfType;
    } else if (name == "checked") {
      pseudo.kind = PseudoClass::Checked;
    } else if (name == "disabled") {
      pseudo.kind = PseudoClass::Disabled;
    } else if (name == "enabled") {
      pseudo.kind = PseudoClass::Enabled;
    } else if (name == "defined") {
      pseudo.kind = PseudoClass::Always;
    } else if (Contains(name, kNeverStates) || name.starts_with("-webkit-")) {
      pseudo.kind = PseudoClass::Never;
    } else {
      return false;
    }
    compound.pseudos.push_back(std::move(pseudo));
    ++specificity.classes;
    return true;
  }

  bool FunctionalPseudo(const std::string& name, Compound& compound, Specificity& specificity, int nesting) {
    PseudoSelector pseudo;
    if (name == "not" || name == "is" || name == "where" || name == "matches" || name == "-webkit-any") {
      if (nesting >= kMaxNesting) return false;
      pseudo.kind = name == "not" ? PseudoClass::Not : PseudoClass::Is;
      Specificity most;
      if (!CompoundList(pseudo.arguments, most, nesting + 1)) return false;
      if (name != "where") specificity += most;
    } else if (name == "nth-child" || name == "nth-last-child" || name == "nth-of-type" ||
               name == "nth-last-of-type") {
      pseudo.kind = name == "nth-child"        ? PseudoClass::NthChild
                    : name == "nth-last-child" ? PseudoClass::NthLastChild
                    : name == "nth-of-type"    ? PseudoClass::NthOfType
                                               : PseudoClass::NthLastOfType;
      std::string_view body;
      if (!FunctionBody(body) || !ParseAnB(body, pseudo.a, pseudo.b)) return false;
      ++specificity.classes;
    } else if (name == "lang" || name == "dir" || name == "has" || name == "host" || name == "host-context" ||
               name == "state") {
      std::string_view ignored;
      if (!FunctionBody(ignored)) return false;
      pseudo.kind = PseudoClass::Never;
      ++specificity.classes;
    } else {
      return false;
    }
    compound.pseudos.push_back(std::move(pseudo));
    return true;
  }

  // The compound selectors of :not() and :is(), up to the closing parenthesis; `most` gets the
  // specificity of the most specific one.
  bool CompoundList(std::vector<Compound>& out, Specificity& most, int nesting) {
    while (true) {
      SkipSpace();
      Compound compound;
      Specificity specificity;
      if (!ParseCompound(compound, specificity, nesting)) return false;
      if (most < specificity) most = specificity;
      out.push_back(std::move(compound));
      SkipSpace();
      if (Peek() == ')') {
        ++i_;
        return true;
      }
      if (Peek() != ',') return false;
      ++i_;
    }
  }

  // "odd", "even", "3", "-n+2", "2n + 1".
  static bool ParseAnB(std::string_view body, int32_t& a, int32_t& b) {
    std::string text;
    for (char c : body) {
      if (!IsSpace(c)) text.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    if (text == "odd") {
      a = 2;
      b = 1;
      return true;
    }
    if (text == "even") {
      a = 2;
      b = 0;
      return true;
    }
    auto integer = [](std::string_view digits, int32_t& value) {
      if (digits.empty() || digits.size() > 6) return false;
      value = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
      }
      return true;
    };
    size_t n = text.find('n');
    std::string_view rest = text;
    a = 0;
    if (n != std::string::npos) {
      std::string_view coefficient = rest.substr(0, n);
      int sign = 1;
      if (!coefficient.empty() && (coefficient[0] == '+' || coefficient[0] == '-')) {
        sign = coefficient[0] == '-' ? -1 : 1;
        coefficient.remove_prefix(1);
      }
      if (coefficient.empty()) {
        a = sign;
      } else if (integer(coefficient, a)) {
        a *= sign;
      } else {
        return false;
      }
      rest.remove_prefix(n + 1);
      if (rest.empty()) {
        b = 0;
        return true;
      }
      if (rest[0] != '+' && rest[0] != '-') return false;
    }
    int sign = 1;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
      sign = rest[0] == '-' ? -1 : 1;
      rest.remove_prefix(1);
    }
    if (!integer(rest, b)) return false;
    b *= sign;
    return true;
  }

  std::string_view text_;
  size_t i_ = 0;
};

}  // namespace

bool ParseSelectorList(std::string_view text, std::vector<Selector>& out) {
  size_t before = out.size();
  if (SelectorParser(Trim(text)).ParseList(out)) return true;
  out.resize(before);
  return false;
}

}  // namespace lectryn::engine::css
