// A whole-page reading of large real pages with the scripted voice: how long the narration takes
// to find and start each piece (the end-of-text handler, which runs SayNextParagraph) and to
// highlight each word (pVoice_Word), near the start and near the end of the page. Neither may grow
// along the page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/ReadAloud.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace {

using namespace lectryn;
using Clock = std::chrono::steady_clock;

const std::vector<std::string>& Pages() {
  static const std::vector<std::string> pages = [] {
    std::vector<std::string> found;
    for (const char* candidate : {"/usr/share/doc/python3.11/html/library/stdtypes.html",
                                  "/usr/share/doc/python3.11/html/library/functions.html",
                                  "/usr/share/doc/bash/bashref.html"}) {
      if (std::filesystem::exists(candidate)) found.push_back(candidate);
    }
    return found;
  }();
  return pages;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

double MedianMicros(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Median of the first and of the last tenth of the samples.
std::pair<double, double> StartAndEnd(const std::vector<double>& samples) {
  size_t tenth = std::max<size_t>(1, samples.size() / 10);
  if (samples.size() < tenth) return {0, 0};
  return {MedianMicros({samples.begin(), samples.begin() + tenth}),
          MedianMicros({samples.end() - tenth, samples.end()})};
}

void BM_ReadWholePage(benchmark::State& state) {
  const std::string& path = Pages().at(state.range(0));
  std::string html = ReadFile(path);
  std::vector<double> pieceMicros, wordMicros;
  size_t words = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto document = engine::Document::Parse(html, u"file://" + std::u16string(path.begin(), path.end()));
    sim::SimUiLoop loop;
    sim::ScriptedVoiceFactory scripted(loop, 200);
    Clock::time_point began;
    pieceMicros.clear();
    wordMicros.clear();
    app::VoiceHooks hooks;
    auto since = [&] { return std::chrono::duration<double, std::micro>(Clock::now() - began).count(); };
    hooks.beforeWord = [&] { began = Clock::now(); };
    hooks.afterWord = [&](int32_t, int32_t, int64_t) { wordMicros.push_back(since()); };
    hooks.end = [&](int64_t) { began = Clock::now(); };
    hooks.afterEnd = [&] { pieceMicros.push_back(since()); };
    app::TracingVoiceFactory voices(scripted, hooks);
    app::Trace trace(nullptr);
    narration::Narration main(voices);
    state.ResumeTiming();
    main.SayFromTop(document);
    loop.RunUntilIdle();
    words = wordMicros.size();
  }
  auto [pieceStart, pieceEnd] = StartAndEnd(pieceMicros);
  auto [wordStart, wordEnd] = StartAndEnd(wordMicros);
  state.counters["pieces"] = static_cast<double>(pieceMicros.size());
  state.counters["words"] = static_cast<double>(words);
  state.counters["piece_us_start"] = pieceStart;
  state.counters["piece_us_end"] = pieceEnd;
  state.counters["word_us_start"] = wordStart;
  state.counters["word_us_end"] = wordEnd;
  state.SetLabel(std::filesystem::path(path).filename().string());
}

void RegisterPages(benchmark::internal::Benchmark* bench) {
  for (size_t i = 0; i < Pages().size(); ++i) bench->Arg(static_cast<int64_t>(i));
}

BENCHMARK(BM_ReadWholePage)->Apply(RegisterPages)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
