// The paragraph reader: after a piece has been spoken, moves rng to the next piece of the page and
// hands its text to the voice. A piece is the text of the innermost element that encloses the word
// after the previous piece, cut so that it starts where the previous piece ended.
#include "narration/Narration.h"

#include "platform/Failure.h"

namespace lectryn::narration {
namespace {

bool IsLineBreak(char16_t c) {
  return c == u'\r' || c == u'\n';
}

void TrimSpaces(std::u16string& text) {
  size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) {
    text.clear();
    return;
  }
  text.erase(text.find_last_not_of(u' ') + 1);
  text.erase(0, first);
}

}  // namespace

std::u16string JoinLineBreaks(std::u16string_view text) {
  std::u16string joined;
  joined.reserve(text.size());
  size_t done = 0;
  for (size_t at = text.find(u"\r\n"); at != std::u16string_view::npos; at = text.find(u"\r\n", done)) {
    joined.append(text.substr(done, at - done)).append(u" ");
    done = at + 2;
  }
  joined.append(text.substr(done));
  return joined;
}

std::u16string TrimLineBreaks(const std::u16string& text) {
  if (text.empty()) return text;
  std::u16string trimmed = text;
  TrimSpaces(trimmed);
  while (!trimmed.empty() && IsLineBreak(trimmed.front())) {
    trimmed.erase(0, 1);
    TrimSpaces(trimmed);
  }
  while (!trimmed.empty() && IsLineBreak(trimmed.back())) {
    trimmed.pop_back();
    TrimSpaces(trimmed);
  }
  return trimmed;
}

bool Narration::SayNextParagraph() {
  // Empty pieces are skipped in this loop, not by calling again: a page of thousands of empty
  // elements must not exhaust the stack.
  for (;;) {
    if (!workingDoc) {
      chainEnd_ = ChainEnd::NoDocument;
      return false;
    }
    platform::TxtRangePtr bodyRng;
    platform::Tolerate([&] { bodyRng = workingDoc->body()->createTextRange(); });
    if (!bodyRng) {
      chainEnd_ = ChainEnd::NoDocument;
      return false;
    }
    platform::TxtRangePtr prevRng;
    if (!rng || !platform::Tolerate([&] { prevRng = rng->duplicate(); })) {
      EndChainAsUnusable(ChainEnd::PageGone);
      return false;
    }

    // A failing range operation means the page changed or went away: the chain ends as it does
    // for a range that cannot be copied.
    Piece piece = Piece::NoProgress;
    if (!platform::Tolerate([&] { piece = TakeNextPiece(*bodyRng, *prevRng); })) {
      EndChainAsUnusable(ChainEnd::PageGone);
      return false;
    }
    switch (piece) {
      case Piece::Spoken:
        StartSpeaking();
        return true;
      case Piece::EndOfBody:
        chainEnd_ = ChainEnd::EndOfPage;
        return true;
      case Piece::BeyondBody:
        chainEnd_ = ChainEnd::BeyondBody;
        return false;
      case Piece::NoProgress:
        EndChainAsUnusable(ChainEnd::NoProgress);
        return false;
      case Piece::Empty:
        continue;  // rng covers the empty piece: the next one starts after it
    }
  }
}

Narration::Piece Narration::TakeNextPiece(platform::IHTMLTxtRange& bodyRng,
                                          platform::IHTMLTxtRange& prevRng) {
  // The probe: an empty range where the previous piece ended, widened to the next word.
  rng->collapse(false);
  rng->moveEnd(u"Word", 1);
  if (rng->compareEndPoints(u"StartToEnd", *rng) == 0) rng->moveEnd(u"Word", 2);
  if (rng->text().empty() && rng->htmlText().empty()) {
    rng->moveEnd(u"Word", 2);
    rng->moveStart(u"Word", 1);
  }
  if (rng->compareEndPoints(u"StartToEnd", bodyRng) == 0) return Piece::EndOfBody;

  platform::ElementPtr parent = rng->parentElement();
  if (!parent) throw platform::Failure("the probe has no enclosing element");
  rng->moveToElementText(*parent);
  if (rng->compareEndPoints(u"StartToEnd", prevRng) < 0) rng->setEndPoint(u"StartToEnd", prevRng);
  if (rng->compareEndPoints(u"StartToEnd", bodyRng) >= 0) return Piece::BeyondBody;
  // A piece that does not end after the previous one would be read again and again.
  if (rng->compareEndPoints(u"EndToEnd", prevRng) <= 0) return Piece::NoProgress;

  tbSpeach.SetText(TrimLineBreaks(rng->text()));
  tbSpeach.SetText(JoinLineBreaks(tbSpeach.Text()));
  return tbSpeach.Text().empty() ? Piece::Empty : Piece::Spoken;
}

void Narration::EndChainAsUnusable(ChainEnd why) {
  rng = nullptr;
  pVoice = nullptr;
  chainEnd_ = why;
}

}  // namespace lectryn::narration
