// One pointer move of a drag over a large real page on the simulated desktop: window lookup,
// document, element under the pointer, outline. Measured with the page scrolled to its top and to
// its bottom, which must cost the same.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "RealPages.h"
#include "engine/Document.h"
#include "narration/Narration.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"
#include "sim/SimWindowSystem.h"
#include "targeting/Picker.h"

namespace {

using lectryn::platform::HWND;

using lectryn::bench::PageFile;

enum class Where { Top, Bottom };

void MoveOverPage(benchmark::State& state, const PageFile* file, Where where) {
  lectryn::sim::SimUiLoop loop;
  lectryn::sim::ScriptedVoiceFactory voices(loop);
  lectryn::narration::Narration main(voices);
  lectryn::sim::SimWindowSystem windows(loop);
  lectryn::targeting::Picker picker(main, windows);
  HWND mainWnd = windows.CreateWindow("LectrynMain", {0, 0, 200, 100});
  HWND frameWnd = windows.CreateWindow("PageFrame", {200, 0, 1224, 860});
  HWND pageWnd = windows.CreateWindow("Internet Explorer_Server", {200, 60, 1224, 860}, frameWnd);
  auto page = lectryn::engine::Document::Parse(file->bytes, u"file:///bench.htm");
  page->SetViewSize(1024, 800);
  windows.SetDocument(pageWnd, page);
  picker.SetWindow(mainWnd);
  if (where == Where::Bottom) page->SetViewScroll(0, page->ScrollExtent().h);
  windows.PressButtonOn(mainWnd);
  picker.Form_MouseDown(1, 0, 0, 0);
  // Two points on different lines, so that every move redraws the outline.
  const float points[2][2] = {{500, 300}, {520, 520}};
  int i = 0;
  picker.Form_MouseMove(1, 0, points[1][0], points[1][1]);  // lays the page out
  for (auto _ : state) {
    picker.Form_MouseMove(1, 0, points[i][0], points[i][1]);
    i ^= 1;
  }
  state.counters["scrollY"] = page->body()->scrollTop();
  state.counters["redraws"] = static_cast<double>(windows.CountCalls("Rectangle"));
  windows.ClearCalls();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<PageFile> pages = lectryn::bench::FindRealPages();
  if (pages.empty()) std::cerr << "no large documentation pages found\n";
  for (const PageFile& page : pages) {
    benchmark::RegisterBenchmark(("PickerMove/top/" + page.name).c_str(), MoveOverPage, &page, Where::Top)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("PickerMove/bottom/" + page.name).c_str(), MoveOverPage, &page,
                                 Where::Bottom)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
