#pragma once
// Message boxes and the one-line question on Qt's standard dialogs, modal to the whole program.
#include "platform/Shell.h"

namespace lectryn::desktop {

class QtDialogs : public platform::Dialogs {
 public:
  // No icon: the program's messages are plain notes and questions.
  int32_t MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) override;
  std::optional<std::u16string> InputBox(const std::u16string& prompt, const std::u16string& title,
                                         const std::u16string& defaultText) override;
};

}  // namespace lectryn::desktop
