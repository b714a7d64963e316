// The page view on the largest real page, word by word as the highlighter drives it: from the
// previous word, findText the next, select it, scrollIntoView, and repaint the view. p50 and p99
// of that step over a few hundred consecutive words near the start and near the end of the page.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "DesktopBench.h"
#include "desktop/PageView.h"
#include "desktop/QtFontMetrics.h"
#include "engine/Document.h"
#include "platform/Text.h"

namespace {

using lectryn::bench::PageFile;
using lectryn::desktop::PageView;
using lectryn::desktop::QtFontMetrics;
using lectryn::engine::Document;
using lectryn::platform::TxtRangePtr;

constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 800;
constexpr int kWords = 300;

enum class Where { Start, End };

// The words after `cursor`, one word unit each, as the highlighter finds them.
std::vector<std::u16string> NextWords(const TxtRangePtr& cursor, int count) {
  std::vector<std::u16string> words;
  TxtRangePtr walker = cursor->duplicate();
  while (static_cast<int>(words.size()) < count) {
    walker->collapse(false);
    if (walker->moveEnd(u"word", 1) == 0) break;
    std::u16string word = walker->text();
    while (!word.empty() && (word.back() == u' ' || word.back() == u'\n' || word.back() == u'\r'))
      word.pop_back();
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

void HighlightWords(benchmark::State& state, const PageFile* page, Where where) {
  auto fonts = std::make_shared<QtFontMetrics>();
  auto document = lectryn::bench::LoadPage(*page);
  PageView view(fonts);
  view.resize(kViewWidth, kViewHeight);
  view.SetDocument(document);
  view.show();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

  TxtRangePtr start = document->body()->createTextRange();
  start->collapse(where == Where::Start);
  if (where == Where::End) start->move(u"word", -(kWords + 50));
  std::vector<std::u16string> words = NextWords(start, kWords);
  std::vector<double> stepsMs;
  for (auto _ : state) {
    TxtRangePtr cursor = start->duplicate();
    for (const std::u16string& word : words) {
      auto begin = std::chrono::steady_clock::now();
      cursor->collapse(false);
      if (!cursor->findText(word, 1, 0)) continue;
      cursor->select();
      cursor->scrollIntoView(true);
      view.viewport()->repaint();
      std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
      stepsMs.push_back(took.count());
    }
  }
  if (stepsMs.empty()) {
    state.SkipWithError("no words found");
    return;
  }
  state.counters["page_kb"] = static_cast<double>(page->bytes.size()) / 1024;
  state.counters["words"] = static_cast<double>(stepsMs.size());
  state.counters["p50_ms"] = lectryn::bench::Percentile(stepsMs, 0.5);
  state.counters["p99_ms"] = lectryn::bench::Percentile(stepsMs, 0.99);
  state.counters["scroll_px"] = view.verticalScrollBar()->value();
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  static std::vector<PageFile> pages = lectryn::bench::FindRealPages(3);
  benchmark::Initialize(&argc, argv);
  if (pages.empty()) {
    std::cerr << "pageview_bench: no HTML page of 0.4 to 0.9 MB under /usr/share/doc/python3.11/html or "
                 "/usr/share/doc/bash; install python3.11-doc or bash-doc to measure\n";
    return 0;
  }
  // The largest real page, and the real pages joined into one of at least 1 MiB.
  static PageFile joined = lectryn::bench::JoinedPage(pages, 1024 * 1024);
  for (const PageFile* page : {&pages.front(), &joined}) {
    for (auto [where, label] : {std::pair{Where::Start, "/start"}, std::pair{Where::End, "/end"}}) {
      benchmark::RegisterBenchmark(("HighlightWord/" + page->name + label).c_str(), HighlightWords, page,
                                   where)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(3);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
