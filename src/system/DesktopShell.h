#pragma once
// The desktop's shell: addresses and files go to the desktop's opener (xdg-open), programs are started
// detached from their command lines. Nothing runs through /bin/sh, so quotes, spaces and `;` in an
// address reach the opener as one argument.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace lectryn::system {

class DesktopShell : public platform::Shell {
 public:
  // ShellExecuteA's answers: above 32 when the opener started, else the reason.
  static constexpr int32_t kStarted = 42;
  static constexpr int32_t kFileNotFound = 2;
  static constexpr int32_t kNoAssociation = 31;

  // opener: the program handed each address; a bare name is searched on PATH.
  explicit DesktopShell(std::string opener = "xdg-open");

  int32_t ShellExecuteA(platform::HWND owner, const std::string& operation, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int32_t showCommand) override;
  void StartProgram(const std::string& commandLine, int32_t showCommand) override;
  bool FileExists(const std::string& path) override;

  // What the opener is given for file: addresses with a scheme and existing files as they are, an
  // address that starts with a host name as http://host/..., nothing when it names no address or file.
  static std::optional<std::string> OpenerArgument(const std::string& file);

  // The full path of the executable file name in a folder of PATH, as the shell would start it;
  // nothing when there is none.
  static std::optional<std::string> FindProgram(const std::string& name);

  // Splits a command line into words as a shell would for plain words, "double quoted" and 'single
  // quoted' parts and backslash escapes, without expanding anything. Throws Failure on an unclosed quote.
  static std::vector<std::string> SplitCommandLine(const std::string& commandLine);

 private:
  std::string opener_;
};

}  // namespace lectryn::system
