// The chain of range calls by which the paragraph reader walks a page: from an empty range at
// the start, each piece is the text of the element around the next word, cut at the end of the
// previous piece. The engine must move it forward through the whole body and stop at its end.
#include <gtest/gtest.h>

#include "PageText.h"
#include "platform/Failure.h"

namespace lectryn::engine {
namespace {

using testing::Page;

std::vector<std::u16string> ReadPieces(const std::shared_ptr<Document>& page) {
  auto body = page->body();
  auto bodyRng = body->createTextRange();
  auto rng = body->createTextRange();
  rng->collapse(true);
  std::vector<std::u16string> pieces;
  for (int guard = 0; guard < 1000; ++guard) {
    auto prevRng = rng->duplicate();
    rng->collapse(false);
    rng->moveEnd(u"Word", 1);
    if (rng->compareEndPoints(u"StartToEnd", *rng) == 0) rng->moveEnd(u"Word", 2);
    if (rng->text().empty() && rng->htmlText().empty()) {
      rng->moveEnd(u"Word", 2);
      rng->moveStart(u"Word", 1);
    }
    if (rng->compareEndPoints(u"StartToEnd", *bodyRng) == 0) return pieces;
    rng->moveToElementText(*rng->parentElement());
    if (rng->compareEndPoints(u"StartToEnd", *prevRng) < 0) rng->setEndPoint(u"StartToEnd", *prevRng);
    if (rng->compareEndPoints(u"StartToEnd", *bodyRng) >= 0) return pieces;
    EXPECT_GE(rng->compareEndPoints(u"EndToEnd", *prevRng), 0)
        << "a piece never ends before the previous one";
    pieces.push_back(rng->text());
  }
  ADD_FAILURE() << "the chain did not reach the end of the body";
  return pieces;
}

TEST(ReadingChain, ParagraphsInOrderToTheEnd) {
  auto page =
      Page("<h1>Title</h1><p>First <b>bold</b> para.</p><p>Second.</p><ul><li>one</li><li>two</li></ul>");
  auto pieces = ReadPieces(page);
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(u"Title", pieces.front());
  std::u16string all;
  for (const auto& piece : pieces) all += piece;
  for (const char16_t* word : {u"Title", u"First", u"bold", u"para.", u"Second.", u"one", u"two"}) {
    EXPECT_NE(std::u16string::npos, all.find(word)) << "every word is read";
  }
  EXPECT_NE(std::u16string::npos, pieces.back().find(u"two"));
}

TEST(ReadingChain, ImagesAndEmptyElementsAreSkipped) {
  auto page = Page("<p>a</p><p><img src=x></p><p><br></p><p>b</p>");
  auto pieces = ReadPieces(page);
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(u"a", pieces.front());
  EXPECT_NE(std::u16string::npos, pieces.back().find(u"b"));
}

TEST(ReadingChain, TextDirectlyInTheBody) {
  auto page = Page("loose text <b>bold</b> more");
  auto pieces = ReadPieces(page);
  ASSERT_EQ(1u, pieces.size());
  EXPECT_EQ(u"loose text bold more", pieces[0]);
}

TEST(ReadingChain, EmptyBodyEndsAtOnce) {
  EXPECT_TRUE(ReadPieces(Page("")).empty());
}

}  // namespace
}  // namespace lectryn::engine
