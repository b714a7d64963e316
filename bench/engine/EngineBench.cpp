// Parsing and range operations on large real pages: the documentation pages of the system.
// Parse plus text model is compared with gumbo's bare parse of the same bytes; range operations
// run near the start and near the end of the page, which must cost the same.
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "PagePlaces.h"
#include "RealPages.h"
#include "engine/Document.h"
#include "engine/TextRange.h"
#include "engine/load/BrowserControl.h"
#include "platform/Text.h"
#include "system/PlainUiLoop.h"

namespace {

using lectryn::engine::Document;
using lectryn::engine::TextRange;

using lectryn::bench::PageFile;

void GumboBareParse(benchmark::State& state, const PageFile* page) {
  for (auto _ : state) {
    GumboOutput* output =
        gumbo_parse_with_options(&kGumboDefaultOptions, page->bytes.data(), page->bytes.size());
    benchmark::DoNotOptimize(output);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->bytes.size()));
}

void ParseAndModel(benchmark::State& state, const PageFile* page) {
  for (auto _ : state) {
    auto document = Document::Parse(page->bytes, u"file:///bench");
    benchmark::DoNotOptimize(document->Model().Length());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->bytes.size()));
}

// The whole load as the windows see it: read, decode, parse, ready state 4, text model built.
void LoadToComplete(benchmark::State& state, const PageFile* page) {
  for (auto _ : state) {
    lectryn::system::PlainUiLoop loop;
    lectryn::engine::BrowserControl control(loop);
    control.Navigate(lectryn::platform::FromUtf8(page->path));
    loop.Run([&] {
      return control.ReadyState() == static_cast<int32_t>(lectryn::platform::ReadyState::Complete);
    });
    auto document = std::dynamic_pointer_cast<Document>(control.Document());
    benchmark::DoNotOptimize(document->Model().Length());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page->bytes.size()));
}

using lectryn::bench::Where;

int32_t PositionIn(const std::shared_ptr<Document>& document, Where where) {
  return lectryn::bench::WordStartIn(document, where).Start();
}

struct Prepared {
  std::shared_ptr<Document> document;
  int32_t position;
};

Prepared Prepare(const PageFile* page, Where where) {
  auto document = Document::Parse(page->bytes, u"file:///bench");
  return {document, PositionIn(document, where)};
}

void FindNextWord(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(page, where);
  TextRange probe(prepared.document, prepared.position, prepared.position);
  probe.moveEnd(u"word", 1);
  std::u16string word = probe.text();
  probe.collapse(false);
  probe.moveEnd(u"word", 1);
  std::u16string next = probe.text();  // the word after: found a few units on
  for (auto _ : state) {
    TextRange range(prepared.document, prepared.position, prepared.position + 1);
    benchmark::DoNotOptimize(range.findText(next, 1, 0));
  }
  state.SetLabel("position " + std::to_string(prepared.position));
}

void MoveEndWord(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(page, where);
  for (auto _ : state) {
    TextRange range(prepared.document, prepared.position, prepared.position);
    benchmark::DoNotOptimize(range.moveEnd(u"word", 1));
  }
  state.SetLabel("position " + std::to_string(prepared.position));
}

void MoveToParentElementText(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(page, where);
  TextRange probe(prepared.document, prepared.position, prepared.position);
  probe.moveEnd(u"word", 1);
  auto parent = probe.parentElement();
  for (auto _ : state) {
    TextRange range(prepared.document, prepared.position, prepared.position);
    range.moveToElementText(*parent);
    benchmark::DoNotOptimize(range.End());
  }
  state.SetLabel("position " + std::to_string(prepared.position));
}

// The range calls of one step of reading the next paragraph, without the text of the piece.
void NextParagraphProbe(benchmark::State& state, const PageFile* page, Where where) {
  Prepared prepared = Prepare(page, where);
  auto body = std::make_shared<TextRange>(prepared.document, 0, prepared.document->Model().Length());
  for (auto _ : state) {
    auto rng = std::make_shared<TextRange>(prepared.document, prepared.position, prepared.position);
    auto prev = rng->duplicate();
    rng->collapse(false);
    rng->moveEnd(u"Word", 1);
    benchmark::DoNotOptimize(rng->compareEndPoints(u"StartToEnd", *rng));
    benchmark::DoNotOptimize(rng->htmlText().size());
    benchmark::DoNotOptimize(rng->compareEndPoints(u"StartToEnd", *body));
    auto parent = rng->parentElement();
    rng->moveToElementText(*parent);
    if (rng->compareEndPoints(u"StartToEnd", *prev) < 0) rng->setEndPoint(u"StartToEnd", *prev);
    benchmark::DoNotOptimize(rng->compareEndPoints(u"StartToEnd", *body));
  }
  state.SetLabel("position " + std::to_string(prepared.position));
}

}  // namespace

int main(int argc, char** argv) {
  static std::vector<PageFile> pages = lectryn::bench::FindRealPages();
  benchmark::Initialize(&argc, argv);
  if (pages.empty()) {
    std::cerr << "engine_bench: no HTML page of 0.4 to 0.9 MB under /usr/share/doc/python3.11/html or "
                 "/usr/share/doc/bash; install python3.11-doc or bash-doc to measure\n";
    return 0;
  }
  for (const PageFile& page : pages) {
    const PageFile* p = &page;
    std::string size = " (" + std::to_string(page.bytes.size() / 1024) + " KiB)";
    benchmark::RegisterBenchmark(("GumboBareParse/" + page.name + size).c_str(), GumboBareParse, p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ParseAndModel/" + page.name + size).c_str(), ParseAndModel, p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("LoadToComplete/" + page.name + size).c_str(), LoadToComplete, p)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (auto [where, label] : {std::pair{Where::Start, "/start"}, std::pair{Where::End, "/end"}}) {
      benchmark::RegisterBenchmark(("FindText/" + page.name + label).c_str(), FindNextWord, p, where);
      benchmark::RegisterBenchmark(("MoveEndWord/" + page.name + label).c_str(), MoveEndWord, p, where);
      benchmark::RegisterBenchmark(("MoveToElementText/" + page.name + label).c_str(),
                                   MoveToParentElementText, p, where);
      benchmark::RegisterBenchmark(("NextParagraphProbe/" + page.name + label).c_str(), NextParagraphProbe, p,
                                   where);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
