#pragma once
// Message boxes, the one-line question and the file chooser on Qt's standard dialogs, modal to the
// whole program.
#include "platform/Shell.h"

namespace lectryn::desktop {

class QtDialogs : public platform::Dialogs {
 public:
  // No icon: the program's messages are plain notes and questions.
  int32_t MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) override;
  std::optional<std::u16string> InputBox(const std::u16string& prompt, const std::u16string& title,
                                         const std::u16string& defaultText) override;
  // Qt's own file chooser, so it looks and behaves the same on every desktop.
  std::optional<std::u16string> SaveFileName(const std::u16string& title,
                                             const std::u16string& kinds) override;
};

}  // namespace lectryn::desktop
