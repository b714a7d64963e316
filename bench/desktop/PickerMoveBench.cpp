// One pointer move of a drag over the largest real page, on the real Qt window system: the window
// under the pointer, its document, the element under the pointer, the outline moved and the page
// view repainted where it changed. Measured with the page at its top and scrolled to its bottom.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include "DesktopBench.h"
#include "desktop/PageView.h"
#include "desktop/QtFontMetrics.h"
#include "desktop/QtWindowSystem.h"
#include "desktop/WindowRegistry.h"
#include "narration/Narration.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"
#include "targeting/Picker.h"

namespace {

using namespace lectryn;

constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 800;
constexpr int kMoves = 200;
constexpr int kStepPx = 4;

enum class Where { Top, Bottom };

void MoveOverPage(benchmark::State& state, const bench::PageFile* file, Where where) {
  desktop::WindowRegistry registry;
  desktop::QtWindowSystem windows(registry);
  QWidget mainWindow;
  mainWindow.setGeometry(0, 0, 258, 130);
  QWidget pageWindow;
  pageWindow.setGeometry(270, 0, kViewWidth, kViewHeight);
  auto* view = new desktop::PageView(std::make_shared<desktop::QtFontMetrics>(), &pageWindow);
  (new QVBoxLayout(&pageWindow))->addWidget(view);
  pageWindow.layout()->setContentsMargins(0, 0, 0, 0);
  auto document = bench::LoadPage(*file);
  view->SetDocument(document);
  desktop::WindowEntry mainEntry, frameEntry, viewEntry;
  mainEntry.widget = &mainWindow;
  mainEntry.className = desktop::kFormClass;
  frameEntry.widget = &pageWindow;
  frameEntry.className = desktop::kPageWindowClass;
  viewEntry.widget = view;
  viewEntry.className = desktop::kPageViewClass;
  viewEntry.outlines = view;
  viewEntry.document = [view] { return std::static_pointer_cast<platform::HTMLDocument>(view->Document()); };
  platform::HWND mainHwnd = registry.Register(mainEntry);
  registry.Register(frameEntry);
  registry.Register(viewEntry);
  mainWindow.show();
  pageWindow.show();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  if (where == Where::Bottom) {
    document->SetViewScroll(0, document->ScrollExtent().h);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }

  sim::SimUiLoop clock;
  sim::ScriptedVoiceFactory voices(clock);
  narration::Narration main(voices);
  targeting::Picker picker(main, windows);
  picker.SetWindow(mainHwnd);
  int outlines = 0;
  windows.onOutline = [&](platform::HWND, QRect) { ++outlines; };
  windows.SetCapture(mainHwnd);  // as the press on the banner gives it
  picker.Form_MouseDown(1, 0, 10, 10);

  // Down the page view's middle, in the main window's client coordinates.
  QPoint origin =
      view->viewport()->mapToGlobal(QPoint(kViewWidth / 3, 20)) - mainWindow.mapToGlobal(QPoint());
  std::vector<double> movesMs;
  for (auto _ : state) {
    for (int i = 0; i < kMoves; ++i) {
      auto begin = std::chrono::steady_clock::now();
      picker.Form_MouseMove(1, 0, static_cast<float>(origin.x()),
                            static_cast<float>(origin.y() + i * kStepPx));
      QCoreApplication::processEvents();  // paints what the outline's move marked for repainting
      std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
      movesMs.push_back(took.count());
    }
  }
  picker.Form_MouseUp(1, 0, 10, 10);
  state.counters["page_kb"] = static_cast<double>(file->bytes.size()) / 1024;
  state.counters["moves"] = static_cast<double>(movesMs.size());
  state.counters["outlines"] = outlines;  // moves that changed the element outlined
  state.counters["p50_ms"] = bench::Percentile(movesMs, 0.5);
  state.counters["p99_ms"] = bench::Percentile(movesMs, 0.99);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  static std::vector<bench::PageFile> pages = bench::FindRealPages(3);
  benchmark::Initialize(&argc, argv);
  if (pages.empty()) {
    std::cerr << "picker_move_bench: no HTML page of 0.4 to 0.9 MB under /usr/share/doc/python3.11/html or "
                 "/usr/share/doc/bash; install python3.11-doc or bash-doc to measure\n";
    return 0;
  }
  // The largest real page, and the real pages joined into one of at least 1 MiB.
  static bench::PageFile joined = bench::JoinedPage(pages, 1024 * 1024);
  for (const bench::PageFile* page : {&pages.front(), &joined}) {
    for (auto [where, label] : {std::pair{Where::Top, "/top"}, std::pair{Where::Bottom, "/bottom"}}) {
      benchmark::RegisterBenchmark(("PickerMove/" + page->name + label).c_str(), MoveOverPage, page, where)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(3);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
