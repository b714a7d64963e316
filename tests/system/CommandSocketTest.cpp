#include "system/CommandSocket.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "system/ScopedEnvironment.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using namespace std::chrono_literals;
using testing::ScopedEnvironment;
using testing::TempFolder;

// Generous: these bound how long a broken server may hold a test, not how fast a good one is.
constexpr auto kPatience = 10s;

// Runs the server as the program's event loop would, until done() or the patience runs out.
void ServeUntil(CommandServer& server, const std::function<bool()>& done,
                const std::function<void(Command)>& handle) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{server.WatchFd(), POLLIN, 0};
    if (poll(&ready, 1, 50) > 0) server.HandleReady(handle);
  }
}

bool Ready(const std::future<SendOutcome>& client) {
  return client.wait_for(0s) == std::future_status::ready;
}

// What a killed copy leaves at path: a socket file that nobody listens on any more.
void LeaveStaleSocket(const std::string& path) {
  int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(0, bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, listen(stale, 1));
  close(stale);
}

// A server in a folder of its own that notes the commands it handles.
class Served {
 public:
  explicit Served(CommandServer::Settings settings = CommandServer::Settings()) {
    path = (temp / "lectryn.socket").string();
    std::string error;
    server = CommandServer::Listen(path, error, settings);
    if (!server) ADD_FAILURE() << error;
  }

  void Serve(const std::function<bool()>& done) {
    ServeUntil(*server, done, [this](Command command) { handled.push_back(command); });
  }

  // Serves until the client's answer is in.
  SendOutcome Answer(std::future<SendOutcome>& client) {
    Serve([&] { return Ready(client); });
    return client.get();
  }

  std::future<SendOutcome> Send(std::string line, SendWaits waits = SendWaits()) {
    return std::async(std::launch::async, [this, line, waits] { return SendLine(path, line, waits); });
  }

  TempFolder temp;
  std::string path;
  std::unique_ptr<CommandServer> server;
  std::vector<Command> handled;
};

// A connection of the test's own, to stay silent on.
int Connect(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything the server writes before it closes (the test's patience bounds the wait).
std::string ReadToEnd(int fd) {
  std::string text;
  char buffer[256];
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) <= 0)
      return text + "[hung]";
    ssize_t count = read(fd, buffer, sizeof buffer);
    if (count <= 0) return text;
    text.append(buffer, static_cast<size_t>(count));
  }
}

TEST(CommandSocket, EachCommandReachesTheHandlerOnceByName) {
  Served served;
  ASSERT_TRUE(served.server);
  for (const CommandSpelling& spelling : kCommands) {
    EXPECT_EQ(spelling.command, CommandNamed(spelling.name));
    EXPECT_EQ(spelling.name, NameOf(spelling.command));
    served.handled.clear();
    auto client = std::async(std::launch::async, [&] { return SendCommand(served.path, spelling.command); });
    SendOutcome outcome = served.Answer(client);
    EXPECT_EQ(SendResult::Done, outcome.result) << spelling.name << ": " << outcome.message;
    EXPECT_EQ(std::vector<Command>{spelling.command}, served.handled) << spelling.name;
  }
  struct stat info {};
  ASSERT_EQ(0, lstat(served.path.c_str(), &info));
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(0600u, info.st_mode & 07777) << "only the user may connect";
}

TEST(CommandSocket, AnythingButOneKnownShortLineIsRefusedAndNotHandled) {
  Served served;
  ASSERT_TRUE(served.server);
  struct Case {
    std::string line;
    std::string answer;
  };
  for (const Case& refused : std::vector<Case>{
           {"dance", "unknown command"},
           {"", "unknown command"},
           {"Pause", "unknown command"},
           {"pause ", "unknown command"},
           {"--pause", "unknown command"},
           {std::string("pause\0", 6), "unknown command"},
           {"pause\nstop", "one command a connection"},
           {std::string(kMaxCommandLine, 'p'), "the command is too long"},
           {std::string(100000, 'x'), "the command is too long"},
       }) {
    auto client = served.Send(refused.line);
    SendOutcome outcome = served.Answer(client);
    EXPECT_EQ(SendResult::Refused, outcome.result) << refused.line.substr(0, 20) << ": " << outcome.message;
    EXPECT_EQ(refused.answer, outcome.message) << refused.line.substr(0, 20);
  }
  EXPECT_TRUE(served.handled.empty());
  // Still serving after all that.
  auto client = served.Send("stop");
  EXPECT_EQ(SendResult::Done, served.Answer(client).result);
  EXPECT_EQ(std::vector<Command>{Command::Stop}, served.handled);
}

TEST(CommandSocket, SilentPeerIsDroppedAndHoldsNobodyUp) {
  CommandServer::Settings settings;
  settings.readTimeoutMs = 200;
  Served served(settings);
  ASSERT_TRUE(served.server);
  int silent = Connect(served.path);
  ASSERT_GE(silent, 0);
  // Another key pressed while the first peer says nothing goes through.
  auto client = served.Send("pause");
  EXPECT_EQ(SendResult::Done, served.Answer(client).result);
  EXPECT_EQ(std::vector<Command>{Command::Pause}, served.handled);
  // The silent one is answered and closed once its time is up, without any further client.
  auto answer = std::async(std::launch::async, [silent] { return ReadToEnd(silent); });
  served.Serve([&] { return answer.wait_for(0s) == std::future_status::ready; });
  EXPECT_EQ("error: no command within 200 ms\n", answer.get());
  close(silent);
}

TEST(CommandSocket, PeerOfAnotherUserIsShutOut) {
  CommandServer::Settings settings;
  settings.peerUid = geteuid() + 1;
  Served served(settings);
  ASSERT_TRUE(served.server);
  auto client = served.Send("stop");
  SendOutcome outcome = served.Answer(client);
  EXPECT_EQ(SendResult::NoAnswer, outcome.result) << outcome.message;
  EXPECT_TRUE(served.handled.empty());
}

// A handler that runs an event loop (a dialog) meets the server again; nothing is handled twice.
TEST(CommandSocket, HandlerThatServesAgainHandlesEachCommandOnce) {
  Served served;
  ASSERT_TRUE(served.server);
  auto first = served.Send("pause");
  std::future<SendOutcome> second;
  std::vector<Command> handled;
  std::function<void(Command)> handle = [&](Command command) {
    handled.push_back(command);
    if (command != Command::Pause) return;
    second = served.Send("resume");
    ServeUntil(
        *served.server, [&] { return Ready(second); }, handle);
  };
  ServeUntil(
      *served.server, [&] { return handled.size() >= 2; }, handle);
  EXPECT_EQ(SendResult::Done, first.get().result);
  ASSERT_TRUE(second.valid());
  EXPECT_EQ(SendResult::Done, second.get().result);
  EXPECT_EQ((std::vector<Command>{Command::Pause, Command::Resume}), handled);
}

TEST(CommandClient, FailsAtOnceWhereNobodyListens) {
  TempFolder temp;
  std::string path = (temp / "lectryn.socket").string();
  auto started = std::chrono::steady_clock::now();
  SendWaits waits;
  waits.replyMs = 60000;  // a client that waited for an answer would show
  EXPECT_EQ(SendResult::NotRunning, SendCommand(path, Command::Pause, waits).result) << "no file";

  LeaveStaleSocket(path);
  SendOutcome outcome = SendCommand(path, Command::Pause, waits);
  EXPECT_EQ(SendResult::NotRunning, outcome.result) << "stale socket";
  EXPECT_EQ("Lectryn is not running", outcome.message);
  // Both take microseconds; a client that waited out anything (the answer's minute, a retry of
  // connections) would take seconds.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST(CommandClient, WaitsForACopyThatIsStillStarting) {
  TempFolder temp;
  std::string path = (temp / "lectryn.socket").string();
  SendWaits waits;
  waits.connectMs = 5000;
  auto client = std::async(std::launch::async, [&] { return SendCommand(path, Command::Resume, waits); });
  std::this_thread::sleep_for(200ms);
  std::string error;
  std::unique_ptr<CommandServer> server = CommandServer::Listen(path, error);
  ASSERT_TRUE(server) << error;
  std::vector<Command> handled;
  ServeUntil(
      *server, [&] { return Ready(client); }, [&](Command command) { handled.push_back(command); });
  EXPECT_EQ(SendResult::Done, client.get().result);
  EXPECT_EQ(std::vector<Command>{Command::Resume}, handled);
}

TEST(CommandServer, ReplacesWhatIsLeftAtItsPathAndRemovesOnlyItsOwnFile) {
  TempFolder temp;
  std::string path = (temp / "lectryn.socket").string();
  std::string error;
  testing::WriteFile(path, "left behind");
  std::unique_ptr<CommandServer> first = CommandServer::Listen(path, error);
  ASSERT_TRUE(first) << error;
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(path)) << "an ended server leaves nothing";

  // The next holder of the lock takes the path of a killed copy over.
  LeaveStaleSocket(path);
  std::unique_ptr<CommandServer> second = CommandServer::Listen(path, error);
  ASSERT_TRUE(second) << error;
  auto client = std::async(std::launch::async, [&] { return SendCommand(path, Command::Stop); });
  std::vector<Command> handled;
  ServeUntil(
      *second, [&] { return Ready(client); }, [&](Command command) { handled.push_back(command); });
  EXPECT_EQ(SendResult::Done, client.get().result);
  EXPECT_EQ(std::vector<Command>{Command::Stop}, handled);

  // Whatever replaced the file since is not the server's to remove.
  std::filesystem::remove(path);
  testing::WriteFile(path, "someone else's");
  second.reset();
  EXPECT_EQ("someone else's", testing::ReadFile(path));

  std::string tooLong = "/tmp/" + std::string(200, 'x');
  EXPECT_FALSE(CommandServer::Listen(tooLong, error));
  EXPECT_NE(std::string::npos, error.find("too long")) << error;
}

TEST(CommandSocketPlace, RuntimeFolderElseAPrivateFolderOfOurs) {
  TempFolder temp;
  ScopedEnvironment environment;
  environment.Set("XDG_RUNTIME_DIR", temp.Path().c_str());
  std::string error;
  EXPECT_EQ((temp / "lectryn.socket").string(), CommandSocketPath(error));

  std::string own = (temp / "own").string();
  EXPECT_EQ(own, PrivateFolder(own, error)) << error;
  struct stat info {};
  ASSERT_EQ(0, stat(own.c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777);
  EXPECT_EQ(own, PrivateFolder(own, error)) << "found again";

  std::filesystem::create_directory_symlink(own, temp / "link");
  EXPECT_FALSE(PrivateFolder((temp / "link").string(), error));
  EXPECT_NE(std::string::npos, error.find("symbolic link")) << error;

  std::string open = (temp / "open").string();
  ASSERT_EQ(0, mkdir(open.c_str(), 0700));
  ASSERT_EQ(0, chmod(open.c_str(), 0755));
  EXPECT_FALSE(PrivateFolder(open, error));
  EXPECT_NE(std::string::npos, error.find("other users")) << error;

  testing::WriteFile(temp / "file", "");
  EXPECT_FALSE(PrivateFolder((temp / "file").string(), error));
  EXPECT_FALSE(PrivateFolder((temp / "missing" / "deeper").string(), error));
}

}  // namespace
}  // namespace lectryn::system
