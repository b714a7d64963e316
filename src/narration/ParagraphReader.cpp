// The paragraph reader: after a piece has been spoken, moves rng to the next piece of the page and
// hands its text to the voice. A piece is the text of the innermost element that encloses the word
// after the previous piece, cut so that it starts where the previous piece ended. Going back takes
// the mirror image: the innermost element that encloses the word before the piece, cut so that it
// ends where the piece starts.
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

std::u16string PieceText(const std::u16string& rangeText) {
  return JoinLineBreaks(TrimLineBreaks(rangeText));
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
        if (AwaitMorePage()) return true;
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

// A page still being read has more after what is in: the reading goes on there once it comes,
// unless the reading has been stopped or replaced meanwhile.
bool Narration::AwaitMorePage() {
  std::weak_ptr<bool> alive = alive_;
  std::weak_ptr<platform::SpVoice> voice = pVoice;
  platform::DocumentPtr page = workingDoc;
  bool more = false;
  platform::Tolerate([&] {
    more = workingDoc->WhenMore([this, alive, voice, page] {
      if (alive.expired() || voice.expired() || voice.lock() != pVoice || workingDoc != page ||
          chainEnd_ != ChainEnd::Running)
        return;
      SayNextParagraph();
      FollowReadingState();
    });
  });
  return more;
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

  tbSpeach.SetText(PieceText(rng->text()));
  return tbSpeach.Text().empty() ? Piece::Empty : Piece::Spoken;
}

bool Narration::SayPreviousParagraph(FromSentence from) {
  if (!workingDoc || !rng) return false;
  // The piece being read stays untouched until the one before is found: a page that fails half way
  // leaves the reading where it is.
  platform::TxtRangePtr nextRng = rng;
  for (;;) {
    platform::TxtRangePtr piece;
    std::u16string text;
    Piece found = Piece::NoProgress;
    if (!platform::Tolerate([&] {
          piece = nextRng->duplicate();
          found = TakePreviousPiece(*piece, *nextRng, text);
        }))
      return false;
    if (found == Piece::Empty) {
      nextRng = piece;  // an element with nothing to say: go on before it
      continue;
    }
    if (found != Piece::Spoken) return false;
    rng = piece;
    tbSpeach.SetText(text);
    StartSpeaking(from);
    return true;
  }
}

// piece comes in as a copy of nextRng and leaves as the piece before it, with its text.
Narration::Piece Narration::TakePreviousPiece(platform::IHTMLTxtRange& piece,
                                              platform::IHTMLTxtRange& nextRng, std::u16string& text) {
  // The probe: the word before nextRng, found over any blanks, line breaks and pictures between.
  piece.collapse(true);
  do {
    if (piece.moveStart(u"Word", -1) == 0) return Piece::EndOfBody;  // the page starts here
  } while (TrimLineBreaks(piece.text()).empty());
  // Just that word: a probe reaching over a line break into another block would belong to both.
  piece.collapse(true);
  piece.moveEnd(u"Word", 1);

  platform::ElementPtr parent = piece.parentElement();
  if (!parent) throw platform::Failure("the probe has no enclosing element");
  piece.moveToElementText(*parent);
  if (piece.compareEndPoints(u"EndToStart", nextRng) > 0) piece.setEndPoint(u"EndToStart", nextRng);
  if (piece.compareEndPoints(u"StartToStart", nextRng) >= 0) return Piece::NoProgress;
  text = PieceText(piece.text());
  return text.empty() ? Piece::Empty : Piece::Spoken;
}

void Narration::EndChainAsUnusable(ChainEnd why) {
  rng = nullptr;
  pVoice = nullptr;
  paused_ = false;
  chainEnd_ = why;
  FollowReadingState();
}

}  // namespace lectryn::narration
