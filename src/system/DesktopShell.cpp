#include "system/DesktopShell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "platform/AddressText.h"
#include "platform/Failure.h"
#include "platform/Text.h"

extern char** environ;

namespace lectryn::system {

namespace {

bool PathExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// Starts argv[0] (searched on PATH when it has no slash) in its own session with its output thrown
// away, and reaps it from a waiting thread so it never lingers as a zombie. Returns 0 or an errno.
int SpawnDetached(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  // The started program must not inherit our blocked signals or ignored SIGPIPE.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t noSignals;
  sigemptyset(&noSignals);
  sigset_t defaultSignals;
  sigemptyset(&defaultSignals);
  sigaddset(&defaultSignals, SIGPIPE);
  sigaddset(&defaultSignals, SIGCHLD);
  posix_spawnattr_setsigmask(&attributes, &noSignals);
  posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return error;
  std::thread([pid] {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return 0;
}

}  // namespace

DesktopShell::DesktopShell(std::string opener) : opener_(std::move(opener)) {}

int32_t DesktopShell::ShellExecuteA(platform::HWND, const std::string& operation, const std::string& file,
                                    const std::string&, const std::string&, int32_t) {
  if (!operation.empty() && operation != "open") return kNoAssociation;
  std::optional<std::string> argument = OpenerArgument(file);
  if (!argument) return kFileNotFound;
  return SpawnDetached({opener_, *argument}) == 0 ? kStarted : kNoAssociation;
}

void DesktopShell::StartProgram(const std::string& commandLine, int32_t) {
  // A program whose path has spaces in it may come unquoted, as one whole command line.
  std::vector<std::string> words;
  if (FileExists(commandLine) && access(commandLine.c_str(), X_OK) == 0) {
    words = {commandLine};
  } else {
    words = SplitCommandLine(commandLine);
  }
  if (words.empty()) throw platform::Failure("cannot start a program: the command line is empty");
  if (int error = SpawnDetached(words); error != 0) {
    throw platform::Failure("cannot start " + words[0] + ": " + std::strerror(error));
  }
}

bool DesktopShell::FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::optional<std::string> DesktopShell::OpenerArgument(const std::string& file) {
  std::string address(platform::TrimAsciiSpace(file));
  if (address.empty()) return std::nullopt;
  if (address.front() == '/') {
    if (!PathExists(address)) return std::nullopt;
    return address;
  }
  if (!platform::SchemeOf(address).empty() || PathExists(address)) return address;
  if (platform::StartsWithHostName(address)) return "http://" + address;
  return std::nullopt;
}

std::optional<std::string> DesktopShell::FindProgram(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  const char* variable = std::getenv("PATH");
  std::string_view folders = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    size_t colon = folders.find(':');
    std::string folder(folders.substr(0, colon));
    // An empty entry is the current folder, as for the shell.
    std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0)
      return path;
    if (colon == std::string_view::npos) return std::nullopt;
    folders.remove_prefix(colon + 1);
  }
}

std::vector<std::string> DesktopShell::SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < commandLine.size(); ++i) {
    char c = commandLine[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\\' && i + 1 < commandLine.size()) {
      word += commandLine[++i];
    } else if (c == '\'' || c == '"') {
      size_t close = i + 1;
      for (; close < commandLine.size() && commandLine[close] != c; ++close) {
        // Inside double quotes a backslash escapes only what a shell lets it escape there.
        if (c == '"' && commandLine[close] == '\\' && close + 1 < commandLine.size() &&
            std::strchr("\"\\$`", commandLine[close + 1]) != nullptr) {
          ++close;
        }
        word += commandLine[close];
      }
      if (close >= commandLine.size()) {
        throw platform::Failure("cannot start " + commandLine + ": a quote is not closed");
      }
      i = close;
    } else {
      word += c;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace lectryn::system
