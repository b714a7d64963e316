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
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "system/ScopedEnvironment.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using namespace std::chrono_literals;
using testing::TempFolder;

// Generous: this bounds how long a broken server may hold a test, not how fast a good one is.
constexpr auto kPatience = 10s;

// A socket of the test's own at path: connected to it, or (listening) left behind as a killed copy
// leaves its socket.
int RawSocket(const std::string& path, bool listening) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  auto* raw = reinterpret_cast<const sockaddr*>(&address);
  if (listening ? bind(fd, raw, sizeof address) != 0 || listen(fd, 1) != 0
                : connect(fd, raw, sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A socket path in a folder of the test's own, a server there once Listen is called, and the
// commands it handled; Answer runs the server as the program's event loop would.
class Served {
  TempFolder temp_;  // first: the path lies in it

 public:
  std::string path = (temp_ / "lectryn.socket").string();
  std::unique_ptr<CommandServer> server;
  std::vector<Command> handled;

  bool Listen(CommandServer::Settings settings = CommandServer::Settings()) {
    std::string error;
    server = CommandServer::Listen(path, error, settings);
    EXPECT_TRUE(server) << error;
    return server != nullptr;
  }

  std::future<SendOutcome> Send(std::string line, SendWaits waits = SendWaits()) {
    return std::async(std::launch::async, [this, line, waits] { return SendLine(path, line, waits); });
  }

  template <typename Result>
  Result Answer(std::future<Result>& client) {
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (client.wait_for(0s) != std::future_status::ready && std::chrono::steady_clock::now() < deadline) {
      pollfd ready{server->WatchFd(), POLLIN, 0};
      if (poll(&ready, 1, 50) > 0)
        server->HandleReady([this](Command command) { handled.push_back(command); });
    }
    return client.get();
  }
};

TEST(CommandSocket, EachCommandReachesTheHandlerByName) {
  Served served;
  ASSERT_TRUE(served.Listen());
  for (const CommandSpelling& spelling : kCommands) {
    EXPECT_EQ(spelling.command, CommandNamed(spelling.name));
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
  ASSERT_TRUE(served.Listen());
  for (const auto& [line, answer] : std::vector<std::pair<std::string, std::string>>{
           {"dance", "unknown command"},
           {"", "unknown command"},
           {"pause ", "unknown command"},
           {"pause\nstop", "one command a connection"},
           {std::string(kMaxCommandLine, 'p'), "the command is too long"},
           {std::string(100000, 'x'), "the command is too long"},
       }) {
    auto client = served.Send(line);
    SendOutcome outcome = served.Answer(client);
    EXPECT_EQ(SendResult::Refused, outcome.result) << line.substr(0, 20) << ": " << outcome.message;
    EXPECT_EQ(answer, outcome.message) << line.substr(0, 20);
  }
  EXPECT_TRUE(served.handled.empty());
  auto client = served.Send("stop");
  EXPECT_EQ(SendResult::Done, served.Answer(client).result) << "still serving after all that";
}

TEST(CommandSocket, SilentPeerIsDroppedAndHoldsNobodyUp) {
  Served served;
  CommandServer::Settings settings;
  settings.readTimeoutMs = 200;
  ASSERT_TRUE(served.Listen(settings));
  int silent = RawSocket(served.path, false);
  ASSERT_GE(silent, 0);
  auto client = served.Send("pause");
  EXPECT_EQ(SendResult::Done, served.Answer(client).result) << "held up by a silent peer";
  // Answered and closed once its time is up, without any further client.
  auto silence = std::async(std::launch::async, [silent] {
    std::string text;
    char buffer[256];
    pollfd ready{silent, POLLIN, 0};
    while (poll(&ready, 1, 10000) > 0) {
      ssize_t count = read(silent, buffer, sizeof buffer);
      if (count <= 0) break;
      text.append(buffer, static_cast<size_t>(count));
    }
    return text;
  });
  EXPECT_EQ("error: no command within 200 ms\n", served.Answer(silence));
  close(silent);
}

TEST(CommandSocket, PeerOfAnotherUserIsShutOut) {
  Served served;
  CommandServer::Settings settings;
  settings.peerUid = geteuid() + 1;
  ASSERT_TRUE(served.Listen(settings));
  auto client = served.Send("stop");
  EXPECT_EQ(SendResult::NoAnswer, served.Answer(client).result);
  EXPECT_TRUE(served.handled.empty());
}

TEST(CommandClient, FailsAtOnceWhereNobodyListens) {
  Served nobody;
  SendWaits waits;
  waits.replyMs = 60000;  // a client that waited for an answer would show
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(SendResult::NotRunning, SendCommand(nobody.path, Command::Pause, waits).result) << "no file";
  close(RawSocket(nobody.path, true));
  SendOutcome outcome = SendCommand(nobody.path, Command::Pause, waits);
  EXPECT_EQ(SendResult::NotRunning, outcome.result) << "a killed copy's socket";
  EXPECT_EQ("Lectryn is not running", outcome.message);
  // Both take microseconds; a client that waited out anything would take seconds.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST(CommandClient, WaitsForACopyThatIsStillStarting) {
  Served served;
  SendWaits waits;
  waits.connectMs = 5000;
  auto client = served.Send("resume", waits);
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(served.Listen());
  EXPECT_EQ(SendResult::Done, served.Answer(client).result);
  EXPECT_EQ(std::vector<Command>{Command::Resume}, served.handled);
}

TEST(CommandServer, TakesOverWhatIsLeftAtItsPathAndRemovesOnlyItsOwnFile) {
  Served served;
  testing::WriteFile(served.path, "left behind");
  ASSERT_TRUE(served.Listen());
  served.server.reset();
  EXPECT_FALSE(std::filesystem::exists(served.path)) << "an ended server leaves nothing";

  close(RawSocket(served.path, true));
  ASSERT_TRUE(served.Listen());
  auto client = served.Send("stop");
  EXPECT_EQ(SendResult::Done, served.Answer(client).result) << "a killed copy's socket stays in the way";

  std::filesystem::remove(served.path);
  testing::WriteFile(served.path, "someone else's");
  served.server.reset();
  EXPECT_EQ("someone else's", testing::ReadFile(served.path));
}

TEST(CommandSocketPlace, RuntimeFolderElseAPrivateFolderOfOurs) {
  TempFolder temp;
  testing::ScopedEnvironment environment;
  environment.Set("XDG_RUNTIME_DIR", temp.Path().c_str());
  std::string error;
  EXPECT_EQ((temp / "lectryn.socket").string(), CommandSocketPath(error));

  std::string own = (temp / "own").string();
  EXPECT_EQ(own, PrivateFolder(own, error)) << error;
  struct stat info {};
  ASSERT_EQ(0, stat(own.c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777);

  std::filesystem::create_directory_symlink(own, temp / "link");
  EXPECT_FALSE(PrivateFolder((temp / "link").string(), error));
  EXPECT_NE(std::string::npos, error.find("symbolic link")) << error;
  ASSERT_EQ(0, chmod(own.c_str(), 0755));
  EXPECT_FALSE(PrivateFolder(own, error));
  EXPECT_NE(std::string::npos, error.find("other users")) << error;
}

}  // namespace
}  // namespace lectryn::system
