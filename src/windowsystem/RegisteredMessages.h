#pragma once
// Names of registered window messages and their numbers, as the platform keeps them: numbers run
// from 0xC000 up in the order names are first registered, names that differ only in letter case
// are one message, and an empty name, or one past the last number, registers nothing (0).
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace lectryn::windowsystem {

class RegisteredMessages {
 public:
  static constexpr uint32_t kFirst = 0xC000;
  static constexpr uint32_t kLast = 0xFFFF;

  // RegisterWindowMessageA: the name's number, given now when the name is new; 0 when none can be.
  uint32_t Register(std::string_view name);
  // Whether msg is the number of name, in any letter case; false while name is not registered.
  bool Is(uint32_t msg, std::string_view name) const;
  // Whether msg is the number of any registered name.
  bool Known(uint32_t msg) const;

 private:
  struct IgnoringAsciiCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  std::map<std::string, uint32_t, IgnoringAsciiCase> numbers_;
};

}  // namespace lectryn::windowsystem
