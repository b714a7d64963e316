#include "engine/css/CustomProperties.h"

#include <set>
#include <utility>
#include <vector>

#include "engine/css/Scan.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {
namespace {

// Fallbacks inside fallbacks deeper than this are invalid.
constexpr int kMaxFallbackDepth = 32;

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Where the next var( starts, outside strings, from `from`; text.size() when none.
size_t FindVar(std::string_view text, size_t from) {
  while (true) {
    size_t at = ScanOutsideStrings(text, from, [](char c) { return c == 'v' || c == 'V'; });
    if (at >= text.size()) return text.size();
    if (text.size() - at >= 4 && Lower(text.substr(at, 4)) == "var(" &&
        (at == 0 || !IsNameChar(text[at - 1])))
      return at;
    from = at + 1;
  }
}

// The index of the ')' closing a function whose arguments start at `from`; text.size() if none.
size_t FindClose(std::string_view text, size_t from) {
  int depth = 0;
  return ScanOutsideStrings(text, from, [&](char c) {
    if (c == '(') ++depth;
    if (c == ')') return depth-- == 0;
    return false;
  });
}

}  // namespace

VarSubstitution::VarSubstitution(CustomProperties parent)
    : parent_(std::move(parent)),
      properties_(parent_ ? parent_ : std::make_shared<const CustomPropertyMap>()) {}

void VarSubstitution::Compute(const std::map<std::string_view, const Value*>& declared) {
  if (declared.empty()) return;
  auto properties = std::make_shared<CustomPropertyMap>(*properties_);
  // The element's own values waiting for substitution, and the state of each as it resolves.
  std::map<std::string_view, std::string_view> own;
  for (const auto& [name, value] : declared) {
    auto inherited = parent_ ? parent_->find(name) : CustomPropertyMap::const_iterator();
    bool fromParent = parent_ && inherited != parent_->end();
    switch (value->type) {
      case ValueType::Inherit:
      case ValueType::Unset:
        if (fromParent)
          (*properties)[std::string(name)] = inherited->second;
        else
          properties->erase(std::string(name));
        break;
      case ValueType::Custom:
        own[name] = value->unparsed->text;
        break;
      default:  // initial: the guaranteed-invalid value
        properties->erase(std::string(name));
        break;
    }
  }
  enum class State { Waiting, Resolving, Done };
  std::map<std::string_view, State> states;
  std::vector<std::string_view> stack;
  std::set<std::string_view> inCycle;
  Lookup lookup;
  lookup = [&](std::string_view name) -> std::shared_ptr<const std::string> {
    auto it = own.find(name);
    if (it == own.end() || states[name] == State::Done) {
      auto found = properties->find(name);
      return found == properties->end() ? nullptr : found->second;
    }
    if (states[name] == State::Resolving) {
      // Every property from this one to the top of the stack refers to the next: a cycle.
      for (auto at = stack.rbegin(); at != stack.rend(); ++at) {
        inCycle.insert(*at);
        if (*at == name) break;
      }
      return nullptr;
    }
    states[name] = State::Resolving;
    stack.push_back(name);
    auto text = Substitute(it->second, lookup, 0);
    stack.pop_back();
    states[name] = State::Done;
    if (!text || inCycle.contains(name)) {
      properties->erase(std::string(name));
      return nullptr;
    }
    auto value = std::make_shared<const std::string>(std::move(*text));
    (*properties)[std::string(name)] = value;
    return value;
  };
  for (const auto& [name, text] : own) lookup(name);
  properties_ = std::move(properties);
}

std::optional<std::string> VarSubstitution::Substitute(std::string_view text) {
  const CustomPropertyMap& properties = *properties_;
  return Substitute(
      text,
      [&](std::string_view name) -> std::shared_ptr<const std::string> {
        auto found = properties.find(name);
        return found == properties.end() ? nullptr : found->second;
      },
      0);
}

std::optional<std::string> VarSubstitution::Substitute(std::string_view text, const Lookup& lookup,
                                                       int depth) {
  if (depth > kMaxFallbackDepth) return std::nullopt;
  std::string out;
  size_t from = 0;
  while (true) {
    size_t at = FindVar(text, from);
    out.append(text.substr(from, at - from));
    if (at >= text.size()) break;
    size_t close = FindClose(text, at + 4);
    if (close >= text.size()) return std::nullopt;  // unbalanced
    std::string_view arguments = text.substr(at + 4, close - at - 4);
    size_t comma = arguments.find(',');
    std::string_view name = Trim(arguments.substr(0, comma));
    if (!name.starts_with("--")) return std::nullopt;
    if (++substitutions_ > kMaxSubstitutions) return std::nullopt;
    if (auto value = lookup(name)) {
      out += *value;
    } else if (comma != std::string_view::npos) {
      auto fallback = Substitute(Trim(arguments.substr(comma + 1)), lookup, depth + 1);
      if (!fallback) return std::nullopt;
      out += *fallback;
    } else {
      return std::nullopt;
    }
    if (out.size() > kMaxSubstitutedLength) return std::nullopt;
    from = close + 1;
  }
  built_ += out.size();
  if (out.size() > kMaxSubstitutedLength || built_ > kMaxSubstitutedTotal) return std::nullopt;
  return out;
}

}  // namespace lectryn::engine::css
