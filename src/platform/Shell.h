#pragma once
// Handing addresses and programs to the desktop, and asking the user.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/WindowSystem.h"

namespace lectryn::platform {

constexpr int32_t SW_SHOWNORMAL = 1;

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens an address or file with the desktop's handler. Greater than 32 on success.
  virtual int32_t ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                                const std::string& parameters, const std::string& directory,
                                int32_t showCommand) = 0;
  // Starts a program by its command line without waiting; throws Failure when it cannot start.
  virtual void StartProgram(const std::string& commandLine, int32_t showCommand) = 0;
  virtual bool FileExists(const std::string& path) = 0;
};

// Message box buttons and answers.
constexpr int32_t vbOKOnly = 0;
constexpr int32_t vbYesNo = 4;
constexpr int32_t vbOK = 1;
constexpr int32_t vbYes = 6;
constexpr int32_t vbNo = 7;

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a modal message and returns the answer (vbOK, vbYes, vbNo).
  virtual int32_t MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) = 0;
  // Asks for one line of text, offering defaultText; nothing when the user cancels.
  virtual std::optional<std::u16string> InputBox(const std::u16string& prompt, const std::u16string& title,
                                                 const std::u16string& defaultText) = 0;
  // Asks for the name of a file to write; kinds names what is written and its patterns, as a file
  // chooser's filter ("Audio (*.wav *.ogg)"). Nothing when the user cancels. Without a file chooser
  // of its own, a front end asks for the name as a line of text.
  virtual std::optional<std::u16string> SaveFileName(const std::u16string& title,
                                                     const std::u16string& kinds) {
    return InputBox(kinds, title, u"");
  }
};

}  // namespace lectryn::platform
