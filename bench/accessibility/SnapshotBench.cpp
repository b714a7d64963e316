// A browser page read through the bus made into an engine document: a long article of 2 000
// paragraphs of about 40 words, each with a link, as Chromium shows it (the paragraph's text with
// the link embedded, static leaves repeating it). The whole snapshot has one second; this part
// should take well under 200 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "accessibility/PageSnapshot.h"
#include "accessibility/SnapshotMarkup.h"

namespace {

using lectryn::accessibility::AxNode;
using lectryn::accessibility::AxRef;
using lectryn::accessibility::AxRole;

AxNode Leaf(AxRole role, AxRef ref, std::u16string text) {
  AxNode node;
  node.role = role;
  node.ref = ref;
  node.hasText = true;
  node.text = std::move(text);
  return node;
}

AxNode Article(int paragraphs) {
  const std::u16string before =
      u"Paragraph words run on here about the reading of long pages aloud, with every word lit as it "
      u"is spoken and the next one waiting, while ";
  const std::u16string link = u"a link to elsewhere";
  const std::u16string after = u" sits in the middle of it and more words follow until the end of this one.";
  AxNode document;
  document.role = AxRole::Document;
  document.ref = 1;
  AxRef ref = 2;
  for (int i = 0; i < paragraphs; ++i) {
    AxNode paragraph = Leaf(AxRole::Paragraph, ref++, before + u'\uFFFC' + after);
    paragraph.embedded = {1};
    AxNode linkNode = Leaf(AxRole::Link, ref++, link);
    linkNode.children.push_back(Leaf(AxRole::Text, ref++, link));
    paragraph.children.push_back(Leaf(AxRole::Text, ref++, before));
    paragraph.children.push_back(std::move(linkNode));
    paragraph.children.push_back(Leaf(AxRole::Text, ref++, after));
    document.children.push_back(std::move(paragraph));
  }
  return document;
}

void Markup(benchmark::State& state) {
  AxNode article = Article(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(lectryn::accessibility::WriteSnapshotMarkup(article));
}
BENCHMARK(Markup)->Arg(2000)->Unit(benchmark::kMillisecond);

void Snapshot(benchmark::State& state) {
  AxNode article = Article(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto snapshot = lectryn::accessibility::PageSnapshot::Build(article, u"https://example.test/article");
    benchmark::DoNotOptimize(snapshot.Document()->Model().Length());
  }
}
BENCHMARK(Snapshot)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
