// The terminal reader's keys: bytes as a terminal sends them, and what they do to a reading.
#include "app/ReaderKeys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app/ForwardingVoice.h"
#include "app/MemoryFile.h"
#include "app/ReadAloud.h"
#include "engine/Document.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::app {
namespace {

// Keys as letters, in the order ReaderKey lists them.
char Letter(ReaderKey key) {
  return "P<>^v+-q"[static_cast<int>(key)];
}

struct Typed {
  std::vector<std::string> reads;  // as they arrive, one read() each
  std::string keys;                // as letters
};

class KeyBytes : public ::testing::TestWithParam<Typed> {};

TEST_P(KeyBytes, BecomeTheKeysTyped) {
  KeyDecoder decoder;
  std::string keys;
  for (const std::string& read : GetParam().reads)
    for (ReaderKey key : decoder.Feed(read)) keys.push_back(Letter(key));
  EXPECT_EQ(GetParam().keys, keys);
}

INSTANTIATE_TEST_SUITE_P(
    TerminalKeys, KeyBytes,
    ::testing::Values(Typed{{" +=-_qQ"}, "P++--qq"}, Typed{{"\x1b[A\x1b[B\x1b[C\x1b[D"}, "^v><"},
                      Typed{{"\x1bOC\x1bOD"}, "><"},            // application cursor mode
                      Typed{{"\x1b[1;5C", "\x1b[1;2A"}, ">^"},  // with Ctrl or Shift
                      Typed{{"\x1b", "[", "D"}, "<"},           // one sequence over three reads
                      Typed{{"\x1b[1;", "5B"}, "v"},
                      Typed{{"\x1b[3~x\x1b[15~\x1b[Z "}, "P"},  // Delete, F5, Shift+Tab are no keys of ours
                      Typed{{"\x1b", "q"}, "q"},                // Escape on its own, then q
                      Typed{{"\x1b\x1b[C"}, ">"}, Typed{{"a\r\n\t\x03"}, ""}));

// A voice that says it holds when paused, over the scripted one, as a real voice does.
struct PausingVoice : testing::ForwardingVoice {
  bool Pause() override { return true; }
};
using PausingVoices = testing::ForwardingVoices<PausingVoice>;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ReaderKeysWhileReading, ActOnTheReadingAndAreTracedInOrder) {
  sim::SimUiLoop clock;
  sim::ScriptedVoiceFactory scripted(clock, 1000);  // every key comes within the piece's first words
  PausingVoices voices(scripted);
  auto page = engine::Document::Parse(
      "<p>One two three. Four five.</p><p lang=fr-CA>Six sept.</p><p lang=de>Acht.</p>", u"file:///p.htm");
  testing::MemoryFile file;
  {
    Trace trace(file.get(), [&] { return clock.NowMs(); });
    ReadAloud session(voices, page, trace, nullptr);
    session.Main().SetVoiceChoices({{"fr", "roa/fr"}});
    ASSERT_FALSE(session.Start(std::nullopt));
    KeyDecoder decoder;
    auto type = [&](const std::string& bytes) {
      clock.AdvanceBy(150);
      for (ReaderKey key : decoder.Feed(bytes)) session.Key(key);
    };
    type("+");
    type(" ");
    type(" ");
    type("\x1b[B");  // the next paragraph, in French
    EXPECT_TRUE(session.Reading());
    type("q");
    EXPECT_FALSE(session.Reading());
    clock.RunUntilIdle();
    EXPECT_EQ("interrupted", session.Finish());
  }
  std::string text = file.Text();

  std::vector<std::string> events;
  int64_t lastT = -1;
  for (const std::string& line : Lines(text)) {
    size_t t = line.rfind(",\"t\":");
    ASSERT_NE(std::string::npos, t) << line;
    int64_t at = std::stoll(line.substr(t + 5));
    EXPECT_GE(at, lastT) << line;
    lastT = at;
    if (line.find("\"event\":\"word\"") == std::string::npos) events.push_back(line.substr(0, t) + "}");
  }
  EXPECT_EQ((std::vector<std::string>{
                R"({"event":"speak","text":"One two three. Four five."})",
                R"({"event":"rate","wpm":200})",
                R"({"event":"pause"})",
                R"({"event":"resume"})",
                R"({"event":"speak","text":"Six sept.","lang":"fr-CA"})",
                R"({"event":"voice","lang":"fr","identifier":"roa/fr"})",
                R"({"event":"stop","reason":"interrupted"})",
            }),
            events);
  EXPECT_GE(lastT, 750);
}

}  // namespace
}  // namespace lectryn::app
