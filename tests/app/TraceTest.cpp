#include "app/Trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "app/MemoryFile.h"
#include "platform/Shell.h"

namespace lectryn::app {
namespace {

std::string Written(const std::function<void(Trace&)>& write) {
  testing::MemoryFile file;
  int64_t now = 0;
  Trace trace(file.get(), [&] { return now += 5; });
  write(trace);
  return file.Text();
}

TEST(TraceJson, EscapesQuotesControlsAndKeepsUnicode) {
  EXPECT_EQ(R"("a\"b\\c\r\n\t\u0001")", JsonString(u"a\"b\\c\r\n\t\u0001"));
  EXPECT_EQ("\"caf\xC3\xA9 \xF0\x9F\x98\x80\"", JsonString(u"caf\u00E9 \U0001F600"));
  EXPECT_EQ("\"\xEF\xBF\xBD\"", JsonString(std::u16string(1, char16_t(0xD800))));
}

TEST(TraceLines, OneObjectPerLineInTheOrderWrittenEachWithItsTime) {
  std::string text = Written([](Trace& trace) {
    trace.Speak(u"Hello world");
    WordTrace word;
    word.position = 6;
    word.length = 5;
    word.word = u"world";
    word.selection = u"world";
    word.selectionStart = 10;
    word.selectionEnd = 15;
    word.audioMs = 420;
    trace.Word(word);
    trace.Word(WordTrace{});
    trace.Pause();
    trace.Resume();
    trace.Rate(250);
    trace.End();
    trace.Speak(u"Bonjour", u"fr-CA");
    trace.Voice("fr", "roa/fr");
    trace.Stop("end-of-page");
    // A browser's words in the reason, quotes and all, stay one JSON string.
    trace.PageFailed("select", u"file:///a.htm", "the page said \"no\"");
    trace.PageFailed("listen", u"", "cannot listen");
    trace.BrowserSelection(u"fox");
    trace.Window("main", true);
    trace.Outline(1, 2, 3, 4);
    word.estimated = true;
    trace.Word(word);
    trace.Failed("cannot reach \"speech-dispatcher\"");
    trace.Message(u"Switch \"it\" on now?");
    trace.Answer(platform::vbNo);
    trace.Answer(platform::vbYes);
    trace.Answer(platform::vbOK);
  });
  EXPECT_EQ(
      "{\"event\":\"speak\",\"text\":\"Hello world\",\"t\":5}\n"
      "{\"event\":\"word\",\"position\":6,\"length\":5,\"word\":\"world\",\"selection\":\"world\","
      "\"selectionStart\":10,\"selectionEnd\":15,\"audioMs\":420,\"t\":10}\n"
      "{\"event\":\"word\",\"position\":0,\"length\":0,\"word\":\"\",\"selection\":\"\","
      "\"selectionStart\":null,\"selectionEnd\":null,\"audioMs\":0,\"t\":15}\n"
      "{\"event\":\"pause\",\"t\":20}\n"
      "{\"event\":\"resume\",\"t\":25}\n"
      "{\"event\":\"rate\",\"wpm\":250,\"t\":30}\n"
      "{\"event\":\"end\",\"t\":35}\n"
      "{\"event\":\"speak\",\"text\":\"Bonjour\",\"lang\":\"fr-CA\",\"t\":40}\n"
      "{\"event\":\"voice\",\"lang\":\"fr\",\"identifier\":\"roa/fr\",\"t\":45}\n"
      "{\"event\":\"stop\",\"reason\":\"end-of-page\",\"t\":50}\n"
      "{\"event\":\"highlight-failed\",\"action\":\"select\",\"url\":\"file:///a.htm\","
      "\"reason\":\"the page said \\\"no\\\"\",\"t\":55}\n"
      "{\"event\":\"listen-failed\",\"action\":\"listen\",\"url\":\"\",\"reason\":\"cannot "
      "listen\",\"t\":60}\n"
      "{\"event\":\"browser-selection\",\"held\":\"fox\",\"t\":65}\n"
      "{\"event\":\"window\",\"name\":\"main\",\"shown\":true,\"t\":70}\n"
      "{\"event\":\"outline\",\"rect\":[1,2,3,4],\"t\":75}\n"
      "{\"event\":\"word\",\"position\":6,\"length\":5,\"word\":\"world\",\"selection\":\"world\","
      "\"selectionStart\":10,\"selectionEnd\":15,\"audioMs\":420,\"estimated\":true,\"t\":80}\n"
      "{\"event\":\"failed\",\"message\":\"cannot reach \\\"speech-dispatcher\\\"\",\"t\":85}\n"
      "{\"event\":\"message\",\"text\":\"Switch \\\"it\\\" on now?\",\"t\":90}\n"
      "{\"event\":\"answer\",\"answer\":\"no\",\"t\":95}\n"
      "{\"event\":\"answer\",\"answer\":\"yes\",\"t\":100}\n"
      "{\"event\":\"answer\",\"answer\":\"ok\",\"t\":105}\n",
      text);
}

}  // namespace
}  // namespace lectryn::app
