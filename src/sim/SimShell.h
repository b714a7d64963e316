#pragma once
// The desktop shell for tests: records every address handed over and every program started, and
// knows of the files a test declares.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace lectryn::sim {

struct ShellExecuteCall {
  platform::HWND owner = 0;
  std::string operation;
  std::string file;
  std::string parameters;
  std::string directory;
  int32_t showCommand = 0;
};

struct StartProgramCall {
  std::string commandLine;
  int32_t showCommand = 0;
};

class SimShell : public platform::Shell {
 public:
  int32_t ShellExecuteA(platform::HWND owner, const std::string& operation, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int32_t showCommand) override;
  // Records the call first; throws Failure when the program's file is not among the files.
  void StartProgram(const std::string& commandLine, int32_t showCommand) override;
  bool FileExists(const std::string& path) override { return files_.count(path) != 0; }

  void AddFile(std::string path) { files_.insert(std::move(path)); }
  void RemoveFile(const std::string& path) { files_.erase(path); }
  // What ShellExecuteA returns (above 32 is success; 42 unless set).
  void SetExecuteResult(int32_t result) { executeResult_ = result; }

  const std::vector<ShellExecuteCall>& Executed() const { return executed_; }
  const std::vector<StartProgramCall>& Started() const { return started_; }

 private:
  std::set<std::string> files_;
  int32_t executeResult_ = 42;
  std::vector<ShellExecuteCall> executed_;
  std::vector<StartProgramCall> started_;
};

// The program file of a command line: the text inside leading quotes, or up to the first blank.
std::string ProgramOfCommandLine(const std::string& commandLine);

}  // namespace lectryn::sim
