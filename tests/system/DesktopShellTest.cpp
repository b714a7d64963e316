#include "system/DesktopShell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Failure.h"
#include "system/ScopedEnvironment.h"
#include "system/TempFolder.h"

namespace lectryn::system {
namespace {

using testing::ReadFile;
using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteFile;

// Waits (up to 10 s) for a file that a started program writes, and returns its text.
std::string AwaitFile(const std::filesystem::path& path) {
  for (int i = 0; i < 1000 && !std::filesystem::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ReadFile(path);
}

// A stand-in opener that writes each argument it gets on a line of "argv" and then renames it into
// place, so a reader never sees half of it.
std::string WriteFakeOpener(const TempFolder& temp) {
  std::filesystem::path opener = temp / "opener";
  WriteFile(opener, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                        (temp / "argv.part").string() + "\"\nmv \"" + (temp / "argv.part").string() +
                        "\" \"" + (temp / "argv").string() + "\"\n");
  chmod(opener.c_str(), 0755);
  return opener.string();
}

struct AddressCase {
  const char* file;
  const char* handed;  // nullptr: not handed to the opener at all
};

class OpenerArgument : public ::testing::TestWithParam<AddressCase> {};

TEST_P(OpenerArgument, GivesTheAddressTheOpenerUnderstands) {
  std::optional<std::string> handed = DesktopShell::OpenerArgument(GetParam().file);
  if (GetParam().handed == nullptr) {
    EXPECT_FALSE(handed.has_value()) << *handed;
  } else {
    EXPECT_EQ(GetParam().handed, handed.value_or("(nothing)"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, OpenerArgument,
    ::testing::Values(AddressCase{"www.example.com/path", "http://www.example.com/path"},
                      AddressCase{"host/path", "http://host/path"},
                      AddressCase{"www.example.com", "http://www.example.com"},
                      AddressCase{"localhost:8080/page", "http://localhost:8080/page"},
                      AddressCase{" www.example.com/a \n", "http://www.example.com/a"},
                      AddressCase{"http://example.com/a", "http://example.com/a"},
                      AddressCase{"https://example.com/a?b=1#c", "https://example.com/a?b=1#c"},
                      AddressCase{"mailto:me@example.com?subject=Hi there",
                                  "mailto:me@example.com?subject=Hi there"},
                      AddressCase{"file:///tmp/page.htm", "file:///tmp/page.htm"}, AddressCase{"/", "/"},
                      AddressCase{"/no/such/lectryn/page.htm", nullptr}, AddressCase{"readme", nullptr},
                      AddressCase{"", nullptr}, AddressCase{"a b/c", nullptr},
                      // Would reach the opener as an option.
                      AddressCase{"--manual", nullptr}, AddressCase{"-x.example.com/a", nullptr}));

struct SplitCase {
  const char* commandLine;
  std::vector<std::string> words;
};

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, SplitsLikeAShellWithoutExpanding) {
  EXPECT_EQ(GetParam().words, DesktopShell::SplitCommandLine(GetParam().commandLine));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SplitCommandLine,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"  \t ", {}}, SplitCase{" a  b\tc ", {"a", "b", "c"}},
                      SplitCase{"/bin/sh -c 'echo hi > F'", {"/bin/sh", "-c", "echo hi > F"}},
                      SplitCase{"\"/opt/my tools/run\" --x", {"/opt/my tools/run", "--x"}},
                      SplitCase{"a\"b c\"d", {"ab cd"}}, SplitCase{"\"\" x", {"", "x"}},
                      SplitCase{R"("say \"hi\" \n")", {R"(say "hi" \n)"}}, SplitCase{R"(a\ b)", {"a b"}},
                      SplitCase{"'$HOME' \"$HOME\" *", {"$HOME", "$HOME", "*"}},
                      SplitCase{R"('it''s' "a'b")", {"its", "a'b"}}));

TEST(SplitCommandLineErrors, UnclosedQuoteFails) {
  EXPECT_THROW(DesktopShell::SplitCommandLine("run \"open"), platform::Failure);
  EXPECT_THROW(DesktopShell::SplitCommandLine("run 'open"), platform::Failure);
}

TEST(ShellOpen, HandsAddressesToTheOpenerAsOneArgument) {
  TempFolder temp;
  DesktopShell shell(WriteFakeOpener(temp));
  EXPECT_EQ(DesktopShell::kStarted, shell.ShellExecuteA(0, "open", "host/path", "", "", 1));
  EXPECT_EQ("http://host/path\n", AwaitFile(temp / "argv"));

  std::filesystem::remove(temp / "argv");
  std::string hostile = "http://example.com/a b;touch '" + (temp / "owned").string() + "' \"$(id)\"";
  EXPECT_EQ(DesktopShell::kStarted, shell.ShellExecuteA(0, "open", hostile, "", "", 1));
  EXPECT_EQ(hostile + "\n", AwaitFile(temp / "argv"));
  EXPECT_FALSE(std::filesystem::exists(temp / "owned"));

  std::filesystem::remove(temp / "argv");
  EXPECT_EQ(DesktopShell::kStarted, shell.ShellExecuteA(0, "open", "mailto:a@b.org?subject=x y", "", "", 1));
  EXPECT_EQ("mailto:a@b.org?subject=x y\n", AwaitFile(temp / "argv"));
}

TEST(ShellOpen, ExistingFileIsOpenedAsItIs) {
  TempFolder temp;
  DesktopShell shell(WriteFakeOpener(temp));
  std::string page = (temp / "my page.htm").string();
  WriteFile(page, "<p>hi</p>");
  EXPECT_EQ(DesktopShell::kStarted, shell.ShellExecuteA(0, "open", page, "", "", 1));
  EXPECT_EQ(page + "\n", AwaitFile(temp / "argv"));
}

TEST(ShellOpen, FailsAtOrBelow32WithoutStartingAnything) {
  TempFolder temp;
  DesktopShell shell(WriteFakeOpener(temp));
  EXPECT_EQ(DesktopShell::kFileNotFound, shell.ShellExecuteA(0, "open", "readme", "", "", 1));
  EXPECT_EQ(DesktopShell::kFileNotFound,
            shell.ShellExecuteA(0, "open", (temp / "gone.htm").string(), "", "", 1));
  EXPECT_LE(shell.ShellExecuteA(0, "print", "http://example.com", "", "", 1), 32);

  EXPECT_LE(DesktopShell((temp / "no-opener").string()).ShellExecuteA(0, "open", "http://a.b", "", "", 1),
            32);
  EXPECT_LE(DesktopShell("lectryn-no-such-opener").ShellExecuteA(0, "open", "http://a.b", "", "", 1), 32);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(temp / "argv"));
}

TEST(ShellStartProgram, RunsTheCommandLineWithoutAShell) {
  TempFolder temp;
  DesktopShell shell;
  std::filesystem::path out = temp / "out";
  shell.StartProgram("/bin/sh -c 'echo hi > \"" + out.string() + "\"'", 1);
  EXPECT_EQ("hi\n", AwaitFile(out));
}

TEST(ShellStartProgram, UnquotedProgramPathWithSpacesRuns) {
  TempFolder temp;
  std::filesystem::create_directory(temp / "my tools");
  std::filesystem::path program = temp / "my tools" / "info";
  WriteFile(program, "#!/bin/sh\necho ran > \"" + (temp / "out").string() + "\"\n");
  chmod(program.c_str(), 0755);
  DesktopShell().StartProgram(program.string(), 1);
  EXPECT_EQ("ran\n", AwaitFile(temp / "out"));
}

TEST(ShellStartProgram, MissingProgramThrowsNamingIt) {
  DesktopShell shell;
  try {
    shell.StartProgram("/no/such/lectryn-program --flag", 1);
    FAIL() << "started a missing program";
  } catch (const platform::Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("/no/such/lectryn-program"), std::string::npos)
        << failure.what();
  }
  EXPECT_THROW(shell.StartProgram("lectryn-no-such-program", 1), platform::Failure);
  EXPECT_THROW(shell.StartProgram("   ", 1), platform::Failure);
}

TEST(ShellStartProgram, FinishedProgramsLeaveNoZombie) {
  TempFolder temp;
  std::filesystem::path out = temp / "pid";
  DesktopShell().StartProgram("/bin/sh -c 'echo $$ > \"" + out.string() + "\"'", 1);
  std::string pid = AwaitFile(out);
  pid.erase(pid.find_last_not_of('\n') + 1);
  ASSERT_FALSE(pid.empty());
  std::filesystem::path process = "/proc/" + pid;
  for (int i = 0; i < 500 && std::filesystem::exists(process); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(std::filesystem::exists(process)) << "process " << pid << " was not reaped";
}

TEST(ShellFindProgram, FindsTheFirstExecutableFileOnPath) {
  TempFolder temp;
  for (const char* folder : {"a", "b", "c"}) std::filesystem::create_directories(temp / folder);
  WriteFile(temp / "a" / "tool", "not executable");
  std::filesystem::create_directories(temp / "b" / "tool");  // a folder of that name
  WriteFile(temp / "c" / "tool", "#!/bin/sh\n");
  chmod((temp / "c" / "tool").c_str(), 0755);
  WriteFile(temp / "a" / "other", "#!/bin/sh\n");
  chmod((temp / "a" / "other").c_str(), 0755);
  ScopedEnvironment environment;
  std::string path = (temp / "a").string() + ":" + (temp / "b").string() + ":" + (temp / "c").string();
  environment.Set("PATH", path.c_str());

  EXPECT_EQ((temp / "c" / "tool").string(), DesktopShell::FindProgram("tool"));
  EXPECT_EQ((temp / "a" / "other").string(), DesktopShell::FindProgram("other"));
  EXPECT_EQ(std::nullopt, DesktopShell::FindProgram("missing"));
  EXPECT_EQ(std::nullopt, DesktopShell::FindProgram((temp / "c" / "tool").string())) << "names only";
}

TEST(ShellFileExists, FilesYesFoldersAndMissingNo) {
  TempFolder temp;
  WriteFile(temp / "f", "x");
  DesktopShell shell;
  EXPECT_TRUE(shell.FileExists((temp / "f").string()));
  EXPECT_FALSE(shell.FileExists(temp.Path().string()));
  EXPECT_FALSE(shell.FileExists((temp / "g").string()));
  EXPECT_FALSE(shell.FileExists(""));
}

}  // namespace
}  // namespace lectryn::system
