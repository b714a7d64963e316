#include "windowsystem/RegisteredMessages.h"

#include <algorithm>

namespace lectryn::windowsystem {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool RegisteredMessages::IgnoringAsciiCase::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
}

uint32_t RegisteredMessages::Register(std::string_view name) {
  if (name.empty()) return 0;
  if (auto found = numbers_.find(name); found != numbers_.end()) return found->second;
  if (numbers_.size() > kLast - kFirst) return 0;  // every number is taken
  uint32_t number = kFirst + static_cast<uint32_t>(numbers_.size());
  numbers_.emplace(std::string(name), number);
  return number;
}

bool RegisteredMessages::Is(uint32_t msg, std::string_view name) const {
  auto found = numbers_.find(name);
  return found != numbers_.end() && found->second == msg;
}

// Numbers are given one after the other and never taken back.
bool RegisteredMessages::Known(uint32_t msg) const {
  return msg >= kFirst && msg - kFirst < numbers_.size();
}

}  // namespace lectryn::windowsystem
