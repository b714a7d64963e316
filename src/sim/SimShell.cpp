#include "sim/SimShell.h"

#include "platform/Failure.h"

namespace lectryn::sim {

int32_t SimShell::ShellExecuteA(platform::HWND owner, const std::string& operation, const std::string& file,
                                const std::string& parameters, const std::string& directory,
                                int32_t showCommand) {
  executed_.push_back({owner, operation, file, parameters, directory, showCommand});
  return executeResult_;
}

void SimShell::StartProgram(const std::string& commandLine, int32_t showCommand) {
  started_.push_back({commandLine, showCommand});
  if (!FileExists(ProgramOfCommandLine(commandLine))) throw platform::Failure("cannot start " + commandLine);
}

std::string ProgramOfCommandLine(const std::string& commandLine) {
  if (!commandLine.empty() && commandLine.front() == '"') {
    size_t close = commandLine.find('"', 1);
    return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return commandLine.substr(0, commandLine.find(' '));
}

}  // namespace lectryn::sim
