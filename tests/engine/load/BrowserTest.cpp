#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/Document.h"
#include "engine/load/Address.h"
#include "engine/load/BrowserControl.h"
#include "engine/load/EngineBrowserObjects.h"
#include "engine/load/LoopbackServer.h"
#include "engine/load/PageWindow.h"
#include "engine/load/TempFolder.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "sim/SimUiLoop.h"

namespace lectryn::engine {
namespace {

using platform::FromUtf8;
using platform::ReadyState;
using platform::ToUtf8;
using testing::LoopbackServer;
using testing::Response;
using testing::TempFolder;

// Hands control to the loop until done() holds. Loads finish on worker threads, so this waits in
// real time; the bound only turns a hang into a failure.
bool RunUntil(sim::SimUiLoop& loop, const std::function<bool()>& done) {
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    loop.DoEvents();
    if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::shared_ptr<Document> EngineDocument(const platform::DocumentPtr& document) {
  return std::dynamic_pointer_cast<Document>(document);
}

std::string BodyText(const platform::DocumentPtr& document) {
  return ToUtf8(EngineDocument(document)->BodyText());
}

class Browsers : public ::testing::Test {
 protected:
  bool LoadInto(BrowserControl& control, const std::string& address) {
    control.Navigate(FromUtf8(address));
    return RunUntil(loop, [&] { return control.ReadyState() == 4; });
  }

  sim::SimUiLoop loop;
  TempFolder folder;
  LoopbackServer server;
};

TEST_F(Browsers, ReadyStatesStepThroughTheLoopInOrder) {
  std::string page = folder.Write("page.htm", "<p>Hello <b>there</b></p>");
  BrowserControl control(loop);
  EXPECT_EQ(0, control.ReadyState());
  EXPECT_EQ(nullptr, control.Document());
  EXPECT_EQ(u"", control.LocationURL());

  std::vector<std::string> seen;
  control.SetOnReadyStateChange([&](ReadyState state) {
    std::string entry = std::to_string(static_cast<int>(state));
    if (control.Document()) entry += ":" + ToUtf8(control.Document()->readyState());
    seen.push_back(entry);
  });
  control.Navigate(FromUtf8(page));
  // Loading at once, so that a wait for state 3 right after Navigate does not see an old page.
  EXPECT_EQ(1, control.ReadyState());
  EXPECT_EQ(nullptr, control.Document());
  ASSERT_TRUE(RunUntil(loop, [&] { return control.ReadyState() == 4; }));
  EXPECT_EQ((std::vector<std::string>{"1", "3:interactive", "4:complete"}), seen);
  EXPECT_EQ("Hello there", BodyText(control.Document()));
  EXPECT_EQ(FromUtf8(FileUrlFromPath(page)), control.LocationURL());
  EXPECT_EQ(control.LocationURL(), control.Document()->URL());
  EXPECT_EQ(u"", control.LastError());
}

TEST_F(Browsers, StateThreeIsSeenByAWaitLoopBeforeStateFour) {
  std::string page = folder.Write("page.htm", "<p>x</p>");
  BrowserControl control(loop);
  control.Navigate(FromUtf8(page));
  ASSERT_TRUE(RunUntil(loop, [&] { return control.ReadyState() >= 3; }));
  EXPECT_EQ(3, control.ReadyState());
  EXPECT_EQ(u"interactive", control.Document()->readyState());
}

TEST_F(Browsers, NewPageDiscardsTheOldOneOnlyWhenItArrives) {
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, folder.Write("a.htm", "<p>first</p>")));
  platform::DocumentPtr first = control.Document();
  platform::ElementPtr firstBody = first->body();

  server.Serve("/b.htm", Response{200, {}, "<p>second</p>", 100});
  control.Navigate(FromUtf8(server.Url("/b.htm")));
  EXPECT_EQ(first, control.Document());  // still shown while the next one loads
  EXPECT_FALSE(EngineDocument(first)->Discarded());
  ASSERT_TRUE(RunUntil(loop, [&] { return control.ReadyState() == 4; }));

  EXPECT_EQ("second", BodyText(control.Document()));
  EXPECT_TRUE(EngineDocument(first)->Discarded());
  EXPECT_THROW(first->body(), platform::Failure);
  EXPECT_THROW(firstBody->createTextRange(), platform::Failure);
}

TEST_F(Browsers, LaterNavigationWinsOverASlowEarlierOne) {
  server.Serve("/slow.htm", Response{200, {}, "<p>slow</p>", 3000});
  BrowserControl control(loop);
  control.Navigate(FromUtf8(server.Url("/slow.htm")));
  ASSERT_TRUE(RunUntil(loop, [&] { return !server.Requests().empty(); }));
  ASSERT_TRUE(LoadInto(control, "javascript:'<p>quick</p>'"));
  EXPECT_EQ("quick", BodyText(control.Document()));
  EXPECT_EQ(u"javascript:'<p>quick</p>'", control.LocationURL());
}

TEST_F(Browsers, RedirectsShowTheFinalAddressAndRefreshLoadsItAgain) {
  server.Serve("/version", Response{302, {{"Location", "/lectryn/version.htm"}}, ""});
  server.Serve("/lectryn/version.htm", Response{200, {}, "<p id=ver>1.0.0</p>"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/version")));
  EXPECT_EQ(FromUtf8(server.Url("/lectryn/version.htm")), control.LocationURL());
  platform::DocumentPtr first = control.Document();
  ASSERT_NE(nullptr, first->getElementById(u"ver"));
  EXPECT_EQ(u"1.0.0", first->getElementById(u"ver")->innerText());

  server.Serve("/lectryn/version.htm", Response{200, {}, "<p id=ver>1.0.1</p>"});
  control.Refresh();
  EXPECT_EQ(1, control.ReadyState());
  ASSERT_TRUE(RunUntil(loop, [&] { return control.ReadyState() == 4; }));
  EXPECT_EQ(u"1.0.1", control.Document()->getElementById(u"ver")->innerText());
  EXPECT_TRUE(EngineDocument(first)->Discarded());
  EXPECT_EQ((std::vector<std::string>{"/version", "/lectryn/version.htm", "/lectryn/version.htm"}),
            server.Requests());
}

TEST_F(Browsers, RefreshBeforeAnyPageDoesNothing) {
  BrowserControl control(loop);
  control.Refresh();
  EXPECT_EQ(0, control.ReadyState());
}

TEST_F(Browsers, FailedLoadEndsCompleteWithAnErrorPage) {
  BrowserControl control(loop);
  std::string missing = folder.Path("missing.htm");
  ASSERT_TRUE(LoadInto(control, missing));
  EXPECT_EQ(FromUtf8("cannot read " + missing + ": no such file"), control.LastError());
  EXPECT_EQ("cannot read " + missing + ": no such file", BodyText(control.Document()));

  ASSERT_TRUE(LoadInto(control, server.Url("/nothing-here.htm")));
  EXPECT_EQ(FromUtf8("cannot load " + server.Url("/nothing-here.htm") + ": HTTP 404"), control.LastError());
  EXPECT_EQ(nullptr, control.Document()->getElementById(u"ver"));

  ASSERT_TRUE(LoadInto(control, folder.Write("ok.htm", "<p>ok</p>")));
  EXPECT_EQ(u"", control.LastError());
}

TEST_F(Browsers, LimitsComeFromTheOptions) {
  server.Serve("/slow.htm", Response{200, {}, "<p>late</p>", 5000});
  LoadOptions options;
  options.limits.timeoutMs = 100;
  BrowserControl control(loop, options);
  ASSERT_TRUE(LoadInto(control, server.Url("/slow.htm")));
  EXPECT_EQ(FromUtf8("cannot load " + server.Url("/slow.htm") + ": timed out after 0.1 s"),
            control.LastError());
}

TEST_F(Browsers, CharsetFromTheHeaderOrFromMeta) {
  server.Serve("/latin.htm",
               Response{200, {{"Content-Type", "text/html; charset=windows-1252"}}, "<p>caf\xE9</p>"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/latin.htm")));
  EXPECT_EQ("caf\xC3\xA9", BodyText(control.Document()));

  ASSERT_TRUE(LoadInto(control, folder.Write("cyrillic.htm", "<meta charset=koi8-r><p>\xEB\xCF\xD4</p>")));
  EXPECT_EQ("\xD0\x9A\xD0\xBE\xD1\x82", BodyText(control.Document()));

  ASSERT_TRUE(LoadInto(control, folder.Write("broken.htm",
                                             "<p>a\xFF"
                                             "b</p>")));
  EXPECT_EQ(
      "a\xEF\xBF\xBD"
      "b",
      BodyText(control.Document()));
}

TEST_F(Browsers, PlainTextKeepsItsLinesAndItsMarkupCharacters) {
  server.Serve("/notes.txt", Response{200, {{"Content-Type", "text/plain"}}, "one <b>\ntwo"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/notes.txt")));
  EXPECT_EQ("one <b>\r\ntwo", BodyText(control.Document()));
}

TEST_F(Browsers, AnObserverThatNavigatesAgainWins) {
  std::string first = folder.Write("first.htm", "<p>first</p>");
  std::string second = folder.Write("second.htm", "<p>second</p>");
  BrowserControl control(loop);
  std::vector<int> states;
  control.SetOnReadyStateChange([&](ReadyState state) {
    states.push_back(static_cast<int>(state));
    if (states.size() == 2) control.Navigate(FromUtf8(second));
  });
  control.Navigate(FromUtf8(first));
  ASSERT_TRUE(RunUntil(loop, [&] { return control.ReadyState() == 4; }));
  loop.RunUntilIdle();
  // The first page never completes: the second navigation took over at its state 3.
  EXPECT_EQ((std::vector<int>{1, 3, 1, 3, 4}), states);
  EXPECT_EQ("second", BodyText(control.Document()));
}

TEST_F(Browsers, JavascriptAddressesAndBlank) {
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, "javascript:'<p>one<br>two</p>'"));
  EXPECT_EQ("one\r\ntwo", BodyText(control.Document()));
  ASSERT_TRUE(LoadInto(control, "javascript:alert('hi')"));
  EXPECT_EQ("", BodyText(control.Document()));
  EXPECT_NE(nullptr, control.Document()->body());
  EXPECT_EQ(u"", control.LastError());
  ASSERT_TRUE(LoadInto(control, "about:blank"));
  EXPECT_EQ("", BodyText(control.Document()));
}

TEST_F(Browsers, DroppingABrowserWhileItLoadsIsQuiet) {
  server.Serve("/slow.htm", Response{200, {}, "<p>late</p>", 3000});
  auto control = std::make_unique<BrowserControl>(loop);
  control->Navigate(FromUtf8(server.Url("/slow.htm")));
  ASSERT_TRUE(RunUntil(loop, [&] { return !server.Requests().empty(); }));
  control.reset();
  loop.RunUntilIdle();  // a task that was already posted must not touch the dropped browser
}

TEST_F(Browsers, PageWindowKeepsItsFrameSettingsAndFailsOnceClosed) {
  EngineBrowserObjects objects(loop);
  std::shared_ptr<platform::BrowserApplication> application = objects.CreateApplication();
  auto* window = dynamic_cast<PageWindow*>(application.get());
  ASSERT_NE(nullptr, window);
  EXPECT_FALSE(window->Visible());
  const char kTemplate[] =
      "javascript:'<HTML><HEAD><TITLE>Lectryn Text-to-Speech</TITLE></HEAD><style>body { font-family: "
      "Verdana; "
      "color: #800080 }</style></HTML>'";
  application->navigate(FromUtf8(kTemplate));
  application->put_MenuBar(false);
  application->put_ToolBar(0);
  EXPECT_LT(application->readyState(), 3);
  ASSERT_TRUE(RunUntil(loop, [&] { return application->readyState() >= 3; }));
  application->put_Visible(true);
  EXPECT_FALSE(window->MenuBar());
  EXPECT_EQ(0, window->ToolBar());
  EXPECT_TRUE(window->Visible());
  platform::DocumentPtr page = application->document();
  ASSERT_NE(nullptr, page);
  ASSERT_NE(nullptr, page->body());
  EXPECT_EQ("", BodyText(page));

  window->Close();
  EXPECT_TRUE(window->Closed());
  EXPECT_THROW(application->navigate(FromUtf8(kTemplate)), platform::Failure);
  EXPECT_THROW(application->readyState(), platform::Failure);
  EXPECT_FALSE(window->CanReload());
  EXPECT_EQ(nullptr, window->CurrentDocument());
  EXPECT_THROW(page->body(), platform::Failure);

  // The program then makes a new window, which works.
  std::shared_ptr<platform::BrowserApplication> fresh = objects.CreateApplication();
  fresh->navigate(FromUtf8(kTemplate));
  EXPECT_TRUE(RunUntil(loop, [&] { return fresh->readyState() == 4; }));
}

// The frames' documents, by the id of their frame element in the page.
std::string FrameText(const platform::DocumentPtr& page, const std::u16string& frameId) {
  platform::ElementPtr frame = page->getElementById(frameId);
  if (!frame) return "<no element>";
  std::string text = "<not attached>";
  platform::Tolerate([&] {
    auto window = frame->contentWindow();
    if (!window) return;
    platform::DocumentPtr document = window->document();
    if (document && EngineDocument(document)) text = BodyText(document);
  });
  return text;
}

TEST_F(Browsers, FramesFromTheSameOriginAreAttachedBeforeStateFour) {
  server.Serve("/top.htm", Response{200,
                                    {},
                                    "<p>top</p><iframe id=same src='frames/one.htm'></iframe>"
                                    "<iframe id=other src='http://localhost:" +
                                        std::to_string(server.Port()) +
                                        "/other.htm'></iframe>"
                                        "<iframe id=file src='file:///etc/hostname'></iframe>"});
  server.Serve("/frames/one.htm", Response{200, {}, "<p>one<iframe id=inner src='two.htm'></iframe></p>"});
  server.Serve("/frames/two.htm", Response{200, {}, "<p>two</p>"});
  server.Serve("/other.htm", Response{200, {}, "<p>other</p>"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/top.htm")));

  platform::DocumentPtr top = control.Document();
  EXPECT_EQ("one", FrameText(top, u"same"));
  EXPECT_EQ("<not attached>", FrameText(top, u"other"));
  EXPECT_EQ("<not attached>", FrameText(top, u"file"));
  platform::DocumentPtr one = top->getElementById(u"same")->contentWindow()->document();
  EXPECT_EQ("two", FrameText(one, u"inner"));
  std::vector<std::string> requests = server.Requests();
  EXPECT_EQ(std::find(requests.begin(), requests.end(), "/other.htm"), requests.end());

  // Replacing the page discards its frames too.
  ASSERT_TRUE(LoadInto(control, "about:blank"));
  EXPECT_THROW(one->body(), platform::Failure);
}

// A page that tries everything: nothing of it runs, and nothing is fetched but the page and its
// frames from the same site.
TEST_F(Browsers, AHostilePageRunsNothingAndFetchesOnlyItselfAndItsOwnFrames) {
  std::string port = std::to_string(server.Port());
  server.Serve(
      "/hostile.htm",
      Response{200,
               {},
               "<html><head><meta http-equiv=refresh content='0;url=/elsewhere.htm'>"
               "<link rel=stylesheet href=/style.css><script src=/app.js></script>"
               "<style>@import url(/imported.css); body { background: url(/bg.png) }</style></head>"
               "<body onload=\"location='/onload.htm'\"><p>Stay here.</p>"
               "<script>document.write('RAN'); location = '/script.htm';</script>"
               "<a href=\"javascript:location='/clicked.htm'\">link</a><img src=/picture.png>"
               "<object data=/object.bin></object><embed src=/embed.bin><video src=/video.webm></video>"
               "<iframe id=own src=/frame.htm></iframe>"
               "<iframe id=foreign src='http://localhost:" +
                   port + "/foreign.htm'></iframe></body></html>"});
  server.Serve("/frame.htm", Response{200, {}, "<p>own frame</p><img src=/frame-picture.png>"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/hostile.htm")));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // time for anything that would follow
  loop.DoEvents();
  EXPECT_EQ((std::vector<std::string>{"/hostile.htm", "/frame.htm"}), server.Requests());
  EXPECT_EQ(FromUtf8(server.Url("/hostile.htm")), control.LocationURL());
  EXPECT_EQ(std::string::npos, BodyText(control.Document()).find("RAN"));
  EXPECT_NE(std::string::npos, BodyText(control.Document()).find("Stay here."));
}

TEST_F(Browsers, AFrameOfItselfAndARedirectLoopEndWithinTheLimits) {
  server.Serve("/self.htm", Response{200, {}, "<p>me</p><iframe src=self.htm></iframe>"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/self.htm")));
  EXPECT_EQ(4u, server.Requests().size());  // the page and three frames deep, no more

  server.Serve("/loop-a", Response{302, {{"Location", "/loop-b"}}, ""});
  server.Serve("/loop-b", Response{302, {{"Location", "/loop-a"}}, ""});
  ASSERT_TRUE(LoadInto(control, server.Url("/loop-a")));
  EXPECT_EQ("cannot load " + server.Url("/loop-a") + ": too many redirects (more than 5)",
            BodyText(control.Document()));
}

TEST_F(Browsers, FrameDepthAndCountAreLimited) {
  for (int i = 1; i <= 5; ++i)
    server.Serve("/deep" + std::to_string(i) + ".htm",
                 Response{200, {}, "<iframe src='deep" + std::to_string(i + 1) + ".htm'></iframe>"});
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, server.Url("/deep1.htm")));
  EXPECT_EQ((std::vector<std::string>{"/deep1.htm", "/deep2.htm", "/deep3.htm", "/deep4.htm"}),
            server.Requests());

  LoadOptions options;
  options.maxFrames = 2;
  BrowserControl limited(loop, options);
  std::string many = folder.Write("many.htm",
                                  "<iframe src=a.htm></iframe><iframe src=b.htm></iframe>"
                                  "<iframe src=c.htm></iframe><iframe src=a.htm></iframe>");
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) folder.Write(name, std::string("<p>") + name + "</p>");
  ASSERT_TRUE(LoadInto(limited, many));
  auto frames = EngineDocument(limited.Document())->Frames();
  ASSERT_EQ(4u, frames.size());
  int attached = 0;
  for (const auto& slot : frames)
    platform::Tolerate([&] {
      if (auto window = slot.element->contentWindow(); window && window->document()) ++attached;
    });
  EXPECT_EQ(2, attached);
}

TEST_F(Browsers, LocalPagesLoadLocalFramesAndSurviveMissingOnes) {
  std::string top = folder.Write("top.htm",
                                 "<p>top</p><iframe id=f src='sub/frame%20one.htm'></iframe>"
                                 "<iframe id=gone src='nothing.htm'></iframe>");
  folder.Write("sub/frame one.htm", "<p>framed</p>");
  BrowserControl control(loop);
  ASSERT_TRUE(LoadInto(control, top));
  EXPECT_EQ("framed", FrameText(control.Document(), u"f"));
  EXPECT_EQ("<not attached>", FrameText(control.Document(), u"gone"));
  EXPECT_EQ(u"", control.LastError());
}

// What a person does in a page window: Back, Forward, Reload, new pages typed or clicked, with
// pages from files and from the loopback server.
class PageWindowHistory : public Browsers {
 protected:
  std::u16string File(const std::string& name, const std::string& title) {
    std::string head = title.empty() ? "" : "<title>" + title + "</title>";
    return FromUtf8(
        FileUrlFromPath(folder.Write(name, "<html><head>" + head + "</head><p>" + name + "</p>")));
  }
  bool Arrived() {
    return RunUntil(loop, [&] { return window.readyState() == 4; });
  }
  bool Visit(const std::u16string& address) { return window.Open(address) && Arrived(); }
  bool Back() {
    window.GoBack();
    return Arrived();
  }
  bool Forward() {
    window.GoForward();
    return Arrived();
  }
  // The entries with the current one in brackets, the addresses by the names of their files.
  std::string Entries() {
    std::string out;
    for (size_t i = 0; i < window.History().Entries().size(); ++i) {
      std::string entry = ToUtf8(window.History().Entries()[i]);
      entry = entry.substr(entry.rfind('/') + 1);
      out += i == window.History().Current() ? "[" + entry + "]" : entry;
      out += ' ';
    }
    return out;
  }
  std::string Shown() { return window.CurrentDocument() ? BodyText(window.CurrentDocument()) : "<none>"; }

  PageWindow window{loop};
};

TEST_F(PageWindowHistory, BackAndForwardWalkThePagesAndANewPageDropsThoseAhead) {
  EXPECT_FALSE(window.CanGoBack());
  EXPECT_FALSE(window.CanGoForward());
  EXPECT_FALSE(window.CanReload());
  EXPECT_FALSE(window.Open(u" \t\r\n"));
  EXPECT_EQ(0, window.readyState());

  std::u16string a = File("a.htm", "Page A");
  std::u16string b = File("b.htm", "");
  ASSERT_TRUE(Visit(u"  " + a + u"\n"));
  EXPECT_EQ("[a.htm] ", Entries());
  EXPECT_FALSE(window.CanGoBack());
  EXPECT_TRUE(window.CanReload());
  EXPECT_EQ(u"Page A", window.Title());
  ASSERT_TRUE(Visit(b));
  EXPECT_EQ(b, window.Title());  // no title: the address
  ASSERT_TRUE(Visit(File("c.htm", "")));
  EXPECT_EQ("a.htm b.htm [c.htm] ", Entries());
  EXPECT_TRUE(window.CanGoBack());
  EXPECT_FALSE(window.CanGoForward());

  ASSERT_TRUE(Back());
  ASSERT_TRUE(Back());
  EXPECT_EQ("a.htm", Shown());
  EXPECT_EQ("[a.htm] b.htm c.htm ", Entries());
  EXPECT_FALSE(window.CanGoBack());
  EXPECT_TRUE(window.CanGoForward());
  window.GoBack();  // nothing behind the first page
  EXPECT_EQ(4, window.readyState());

  ASSERT_TRUE(Forward());
  EXPECT_EQ("b.htm", Shown());
  EXPECT_EQ("a.htm [b.htm] c.htm ", Entries());

  // The program's navigation is a new page like the user's.
  window.navigate(File("d.htm", ""));
  ASSERT_TRUE(Arrived());
  EXPECT_EQ("a.htm b.htm [d.htm] ", Entries());
  EXPECT_FALSE(window.CanGoForward());
}

TEST_F(PageWindowHistory, ARedirectOrAReloadThatLandsElsewhereReplacesTheEntry) {
  server.Serve("/moved", Response{302, {{"Location", "/here.htm"}}, ""});
  server.Serve("/here.htm", Response{200, {}, "<p>here</p>"});
  ASSERT_TRUE(Visit(File("start.htm", "")));
  ASSERT_TRUE(Visit(FromUtf8(server.Url("/moved"))));
  EXPECT_EQ("start.htm [here.htm] ", Entries());
  EXPECT_EQ(FromUtf8(server.Url("/here.htm")), window.History().Entries()[1]);

  server.Serve("/here.htm", Response{302, {{"Location", "/there.htm"}}, ""});
  server.Serve("/there.htm", Response{200, {}, "<p>there</p>"});
  window.Reload();
  ASSERT_TRUE(Arrived());
  EXPECT_EQ("there", Shown());
  EXPECT_EQ("start.htm [there.htm] ", Entries());

  // Forward to a page that has moved since: its entry follows it too.
  ASSERT_TRUE(Back());
  server.Serve("/there.htm", Response{302, {{"Location", "/elsewhere.htm"}}, ""});
  server.Serve("/elsewhere.htm", Response{200, {}, "<p>elsewhere</p>"});
  ASSERT_TRUE(Forward());
  EXPECT_EQ("elsewhere", Shown());
  EXPECT_EQ("start.htm [elsewhere.htm] ", Entries());
}

TEST_F(PageWindowHistory, AFailedLoadIsAnEntryShowingItsErrorPage) {
  ASSERT_TRUE(Visit(File("a.htm", "")));
  std::string missing = folder.Path("missing.htm");
  ASSERT_TRUE(Visit(FromUtf8(missing)));
  EXPECT_EQ("a.htm [missing.htm] ", Entries());
  EXPECT_EQ("cannot read " + missing + ": no such file", Shown());
  EXPECT_EQ(u"Page not loaded", window.Title());
  EXPECT_TRUE(window.CanGoBack());
  ASSERT_TRUE(Back());
  EXPECT_EQ("a.htm", Shown());
  EXPECT_EQ(u"", window.LastError());
}

TEST_F(PageWindowHistory, BackWhileAPageLoadsForgetsThatPage) {
  server.Serve("/slow.htm", Response{200, {}, "<p>slow</p>", 2000});
  // Back before the first page is in: there is nothing to go back to.
  window.Open(File("a.htm", ""));
  ASSERT_TRUE(Back());
  ASSERT_TRUE(Visit(File("b.htm", "")));

  int told = 0;
  window.SetOnHistoryChange([&] { ++told; });
  window.Open(FromUtf8(server.Url("/slow.htm")));
  ASSERT_TRUE(RunUntil(loop, [&] { return !server.Requests().empty(); }));
  window.GoBack();
  EXPECT_EQ(1, told);  // the current entry moves at once
  EXPECT_EQ("[a.htm] b.htm ", Entries());
  ASSERT_TRUE(Arrived());
  EXPECT_EQ("a.htm", Shown());
  EXPECT_EQ("[a.htm] b.htm ", Entries());
  EXPECT_TRUE(window.CanGoForward());

  // Two steps back while the first is loading go two entries back.
  ASSERT_TRUE(Visit(File("c.htm", "")));
  ASSERT_TRUE(Visit(File("d.htm", "")));
  window.GoBack();
  ASSERT_TRUE(Back());
  EXPECT_EQ("a.htm", Shown());
  EXPECT_EQ("[a.htm] c.htm d.htm ", Entries());
}

TEST_F(PageWindowHistory, AClosedWindowDoesNothingTheUserAsks) {
  ASSERT_TRUE(Visit(File("a.htm", "")));
  ASSERT_TRUE(Visit(File("b.htm", "")));
  ASSERT_TRUE(Back());
  bool told = false;
  window.SetOnHistoryChange([&] { told = true; });
  window.Close();
  EXPECT_TRUE(told);
  EXPECT_FALSE(window.CanGoBack());
  EXPECT_FALSE(window.CanGoForward());
  EXPECT_FALSE(window.CanReload());
  EXPECT_FALSE(window.Open(File("c.htm", "")));
  window.GoForward();
  window.Reload();
  loop.RunUntilIdle();
  EXPECT_EQ(nullptr, window.CurrentDocument());
  EXPECT_EQ("[a.htm] b.htm ", Entries());
}

}  // namespace
}  // namespace lectryn::engine
