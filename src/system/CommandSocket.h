#pragma once
// Commands to the running copy of the program from a second start ("lectryn --pause", bound to a key
// in the desktop's settings): a Unix stream socket that only the user can open. One command a
// connection: the client writes the command's name and a newline, the server answers "ok" or
// "error: why" on one line and closes.
//
// The server never blocks: it gives one descriptor to watch, readable whenever a connection, a line or
// a time-out waits, and HandleReady deals with all of it. A peer that says nothing is dropped after a
// short time-out, so it holds nobody up.
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectryn::system {

enum class Command { ReadSelection, Pause, Resume, Stop, NextSentence, PreviousSentence };

struct CommandSpelling {
  Command command;
  std::string_view name;  // on the socket as it is, on the command line after "--"
};

inline constexpr std::array<CommandSpelling, 6> kCommands = {{
    {Command::ReadSelection, "read-selection"},
    {Command::Pause, "pause"},
    {Command::Resume, "resume"},
    {Command::Stop, "stop"},
    {Command::NextSentence, "next-sentence"},
    {Command::PreviousSentence, "previous-sentence"},
}};

constexpr std::string_view NameOf(Command command) {
  for (const CommandSpelling& spelling : kCommands)
    if (spelling.command == command) return spelling.name;
  return {};
}

constexpr std::optional<Command> CommandNamed(std::string_view name) {
  for (const CommandSpelling& spelling : kCommands)
    if (spelling.name == name) return spelling.command;
  return std::nullopt;
}

// The longest line either side sends, newline included.
constexpr size_t kMaxCommandLine = 64;

// folder when it is a folder of this user's (not a symlink) that nobody else may enter; made 0700 when
// missing. Nothing, with `error` for people, otherwise.
std::optional<std::string> PrivateFolder(const std::string& folder, std::string& error);

// "lectryn.socket" in $XDG_RUNTIME_DIR, the user's own runtime folder; where that is unset, in
// /tmp/lectryn-UID, checked by PrivateFolder.
std::optional<std::string> CommandSocketPath(std::string& error);

class CommandServer {
 public:
  struct Settings {
    int32_t readTimeoutMs = 1000;  // from the connection to its newline
    uid_t peerUid;                 // the only user let in; this process's own by default
    Settings();
  };

  // Listens at path, replacing any file there (a socket left by a copy that was killed): only the
  // holder of the single-instance lock may call this. The file is made 0600. Nothing, with `error`
  // for people, when the socket cannot be made.
  static std::unique_ptr<CommandServer> Listen(const std::string& path, std::string& error,
                                               Settings settings = Settings());
  // Closes every connection and removes the socket file.
  ~CommandServer();
  CommandServer(const CommandServer&) = delete;
  CommandServer& operator=(const CommandServer&) = delete;

  // Readable while HandleReady has something to do.
  int WatchFd() const { return pollFd_; }

  // Accepts, reads, answers and drops timed-out connections without waiting, then gives handle each
  // command received, in order of arrival, after its client has been answered "ok" (the handler may
  // take its time, and may run an event loop that calls this again).
  void HandleReady(const std::function<void(Command)>& handle);

  const std::string& Path() const { return path_; }

 private:
  struct Connection {
    int fd = -1;
    std::string received;
    int64_t deadlineMs = 0;  // on the monotonic clock
  };
  CommandServer(std::string path, Settings settings);
  void Accept();
  // Reads what the connection sent; a command once its line is complete.
  std::optional<Command> Read(Connection& connection);
  void DropTimedOut();
  void ArmTimer();
  void Close(int fd, std::string_view reply);

  std::string path_;
  Settings settings_;
  int pollFd_ = -1;
  int listenFd_ = -1;
  int timerFd_ = -1;
  ino_t inode_ = 0;  // of the socket file made, so another's file is never removed
  std::vector<Connection> connections_;
};

enum class SendResult {
  Done,        // the running copy took the command
  NotRunning,  // nobody listens at the path
  Refused,     // the server answered with an error
  NoAnswer,    // no answer in time, or the connection broke
};

struct SendOutcome {
  SendResult result = SendResult::NoAnswer;
  std::string message;  // for people, unless Done: "no answer within 5 s"
};

struct SendWaits {
  // How long to go on trying while nobody listens (a copy that is starting has the lock before it
  // listens); 0: one try.
  int32_t connectMs = 0;
  int32_t replyMs = 5000;  // from the connection to the whole answer
};

SendOutcome SendCommand(const std::string& path, Command command, SendWaits waits = SendWaits());
// Any line, for tests of the server's refusals.
SendOutcome SendLine(const std::string& path, std::string_view line, SendWaits waits = SendWaits());

}  // namespace lectryn::system
