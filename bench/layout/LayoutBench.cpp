// Layout on the largest real pages (the system's documentation) with Qt's fonts, as the page view
// will run it: load with text model and layout at 1000 px, hit tests and word rectangles near the
// start and the end of the page (which must cost the same), one screenful's display list; and a
// real browser's load and layout of the same page for scale.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "PagePlaces.h"
#include "RealPages.h"
#include "desktop/QtFontMetrics.h"
#include "engine/Document.h"
#include "engine/TextRange.h"
#include "engine/layout/Layout.h"
#include "engine/load/BrowserControl.h"
#include "platform/Text.h"
#include "system/PlainUiLoop.h"

namespace {

using lectryn::desktop::QtFontMetrics;
using lectryn::engine::Document;
using lectryn::engine::TextRange;
namespace layout = lectryn::engine::layout;

constexpr float kViewWidth = 1000;
constexpr float kViewHeight = 800;

using lectryn::bench::PageFile;

std::shared_ptr<QtFontMetrics> SharedFonts() {
  static auto fonts = std::make_shared<QtFontMetrics>();
  return fonts;
}

std::shared_ptr<Document> Load(const PageFile& page, std::shared_ptr<QtFontMetrics> fonts) {
  lectryn::system::PlainUiLoop loop;
  lectryn::engine::BrowserControl control(loop);
  control.Navigate(lectryn::platform::FromUtf8(page.path));
  loop.Run(
      [&] { return control.ReadyState() == static_cast<int32_t>(lectryn::platform::ReadyState::Complete); });
  auto document = std::dynamic_pointer_cast<Document>(control.Document());
  document->SetFontMetrics(std::move(fonts));
  document->SetViewSize(kViewWidth, kViewHeight);
  return document;
}

// Read, decode, parse, text model and layout, with a font cache that starts empty as a new
// view's does.
void LoadAndLayOut(benchmark::State& state, const PageFile* page) {
  for (auto _ : state) {
    auto document = Load(*page, std::make_shared<QtFontMetrics>());
    benchmark::DoNotOptimize(document->Layout().boxes.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->bytes.size()));
}

// The layout alone, fonts measured before (a new width, or a page changed by a script).
void LayOutAgain(benchmark::State& state, const PageFile* page) {
  auto fonts = SharedFonts();
  auto document = Load(*page, fonts);
  const layout::LayoutTree& first = document->Layout();
  state.counters["boxes"] = static_cast<double>(first.boxes.size());
  state.counters["runs"] = static_cast<double>(first.runs.size());
  state.counters["height_px"] = first.Canvas().h;
  for (auto _ : state) {
    layout::LayoutInput input{document->Tree(), document->Styles(), document->Model(), *fonts,
                              kViewWidth,       kViewHeight,        std::nullopt,      std::nullopt};
    benchmark::DoNotOptimize(layout::LayOut(input));
  }
}

using lectryn::bench::Where;

struct Prepared {
  std::shared_ptr<Document> document;
  int32_t wordStart = 0;
  int32_t wordEnd = 0;
};

// A laid-out page scrolled to its start or end, and a word a little after the start or a little
// before the end of the story.
Prepared Prepare(const PageFile& page, Where where) {
  Prepared prepared{Load(page, SharedFonts())};
  auto& document = prepared.document;
  document->Layout();
  if (where == Where::End) document->SetViewScroll(0, document->ScrollExtent().h);
  TextRange range = lectryn::bench::WordStartIn(document, where);
  range.moveEnd(u"word", 1);
  prepared.wordStart = range.Start();
  prepared.wordEnd = range.End();
  return prepared;
}

void ElementFromPoint(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(*page, where);
  for (auto _ : state) benchmark::DoNotOptimize(prepared.document->elementFromPoint(300, 400));
  state.SetLabel("scroll y " + std::to_string(static_cast<int>(prepared.document->ViewScroll().y)));
}

void WordRangeRects(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(*page, where);
  for (auto _ : state)
    benchmark::DoNotOptimize(prepared.document->RangeRects(prepared.wordStart, prepared.wordEnd));
  state.SetLabel("unit " + std::to_string(prepared.wordStart));
}

void ScreenfulDisplayList(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(*page, where);
  layout::Point scroll = prepared.document->ViewScroll();
  size_t items = 0;
  for (auto _ : state) {
    layout::DisplayList list = prepared.document->Paint({scroll.x, scroll.y, kViewWidth, kViewHeight});
    items = list.items.size();
    benchmark::DoNotOptimize(list);
  }
  state.counters["items"] = static_cast<double>(items);
}

// A real browser's load of the same page: a copy without scripts, plus one that forces layout and
// writes performance.now() (time since navigation began) into the page, read back from the DOM.
std::string BrowserCopy(const PageFile& page) {
  std::string markup =
      std::regex_replace(page.bytes, std::regex("<script\\b[\\s\\S]*?</script\\s*>", std::regex::icase), "");
  markup +=
      "\n<script>document.body.offsetHeight;var t=performance.now();"
      "var p=document.createElement('pre');p.id='lectryn_ms';p.textContent='lectryn_ms='+t;"
      "document.documentElement.appendChild(p);</script>\n";
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "lectryn-layout-bench";
  std::filesystem::create_directories(folder);
  std::filesystem::path copy = folder / std::filesystem::path(page.path).filename();
  std::ofstream(copy, std::ios::binary) << markup;
  return copy.string();
}

// Milliseconds from navigation to laid out, or a negative number when the browser gave none.
double BrowserLoadMs(const std::string& copy) {
  std::string profile =
      (std::filesystem::temp_directory_path() / "lectryn-layout-bench" / "profile").string();
  std::filesystem::remove_all(profile);
  std::string command =
      "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync --hide-scrollbars "
      "--user-data-dir='" +
      profile + "' --window-size=1000,800 --dump-dom 'file://" + copy + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string output;
  std::array<char, 65536> buffer{};
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    output.append(buffer.data(), n);
  pclose(pipe);
  const std::string marker = "\">lectryn_ms=";  // the element's text, not the script's
  size_t at = output.find(marker);
  return at == std::string::npos ? -1 : std::atof(output.c_str() + at + marker.size());
}

void BrowserLoadAndLayOut(benchmark::State& state, const PageFile* page) {
  std::string copy = BrowserCopy(*page);
  for (auto _ : state) {
    double ms = BrowserLoadMs(copy);
    if (ms < 0) {
      state.SkipWithError("chromium wrote no time");
      break;
    }
    state.SetIterationTime(ms / 1000);
  }
}

bool HasChromium() {
  return std::system("command -v chromium >/dev/null 2>&1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);
  static std::vector<PageFile> pages = lectryn::bench::FindRealPages();
  benchmark::Initialize(&argc, argv);
  if (pages.empty()) {
    std::cerr << "layout_bench: no HTML page of 0.4 to 0.9 MB under /usr/share/doc/python3.11/html or "
                 "/usr/share/doc/bash; install python3.11-doc or bash-doc to measure\n";
    return 0;
  }
  bool chromium = HasChromium();
  if (!chromium) std::cerr << "layout_bench: chromium is not installed; the browser's figures are skipped\n";
  for (const PageFile& page : pages) {
    const PageFile* p = &page;
    std::string size = " (" + std::to_string(page.bytes.size() / 1024) + " KiB)";
    benchmark::RegisterBenchmark(("LoadAndLayOut/" + page.name + size).c_str(), LoadAndLayOut, p)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("LayOutAgain/" + page.name).c_str(), LayOutAgain, p)
        ->Unit(benchmark::kMillisecond);
    for (auto [where, label] : {std::pair{Where::Start, "/start"}, std::pair{Where::End, "/end"}}) {
      benchmark::RegisterBenchmark(("ElementFromPoint/" + page.name + label).c_str(), ElementFromPoint, p,
                                   where);
      benchmark::RegisterBenchmark(("WordRangeRects/" + page.name + label).c_str(), WordRangeRects, p, where);
      benchmark::RegisterBenchmark(("ScreenfulDisplayList/" + page.name + label).c_str(),
                                   ScreenfulDisplayList, p, where);
    }
    if (chromium) {
      benchmark::RegisterBenchmark(("ChromiumLoadAndLayOut/" + page.name + size).c_str(),
                                   BrowserLoadAndLayOut, p)
          ->Unit(benchmark::kMillisecond)
          ->UseManualTime()
          ->Iterations(3);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
