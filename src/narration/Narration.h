#pragma once
// The reading state of the main window and the chain that reads a page piece by piece: the
// commands (Start, Stop, Next Sentence, Continue After Selection, Escape), the paragraph reader and
// the word highlighter. The main window is this state plus its window; other windows reach it
// through their reference to the main window.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "forms/CheckBox.h"
#include "forms/CommandButton.h"
#include "forms/Menu.h"
#include "forms/TextBox.h"
#include "platform/Page.h"
#include "platform/Voice.h"
#include "platform/WindowSystem.h"

namespace lectryn::narration {

// What the instruction text in tbSpeach says before any page is captured.
extern const char16_t kInstructionText[];

// Removes spaces (code 32 only) and line breaks from both ends; inner line breaks stay.
std::u16string TrimLineBreaks(const std::u16string& text);
// Every "\r\n" pair, left to right, becomes one space: how a piece's lines are joined for the voice.
std::u16string JoinLineBreaks(std::u16string_view text);

// Why the last chain of pieces ended; for the terminal reader and tests.
enum class ChainEnd {
  Running,      // a piece is being read, or no chain has run yet
  EndOfPage,    // the probe after the last piece reached the end of the body
  ContinueOff,  // a piece ended with the continue switch off
  NoDocument,   // no page document or no body range
  PageGone,     // a range operation failed: the page changed or went away
  NoProgress,   // the next piece would not end after the previous one
  BeyondBody,   // the piece found lies past the end of the body
  Stopped,      // the voice was replaced
};

class Narration : public platform::VoiceEvents {
 public:
  explicit Narration(platform::VoiceFactory& voices);
  Narration(const Narration&) = delete;
  Narration& operator=(const Narration&) = delete;
  ~Narration() override;

  // Narration state, visible to the other windows.
  std::shared_ptr<platform::SpVoice> pVoice;
  platform::DocumentPtr workingDoc;
  platform::TxtRangePtr rng;
  platform::HWND mlngHwndCaptured = 0;      // the picker's
  platform::HWND mlngPrevHwndCaptured = 0;  // the picker's
  forms::TextBox tbSpeach;
  forms::CheckBox cbContinue;
  forms::CommandButton cbStart;
  forms::CommandButton cbStop;
  forms::CommandButton cbNext;
  // "&Narration" and its items; the main window puts it on its menu bar and handles the last item.
  forms::MenuItem mnuNarration;
  forms::MenuItem& mnuNarrationStart;
  forms::MenuItem& mnuNarrationStop;
  forms::MenuItem& mnuNarrationNextSentence;
  forms::MenuItem& mnuNarrationContAfter;
  forms::MenuItem& mnuNarrationTxtToSpeech;

  // Commands.
  void cbStart_Click();
  void cbStop_Click();
  void StopSpeaking() { cbStop_Click(); }
  void cbNext_Click();
  void mnuNarrationContAfter_Click();
  void Form_KeyUp(int16_t KeyCode, int16_t Shift);

  // The two ways a reading starts; the picker, the windows and the terminal reader all start
  // through them. Whoever takes the request stops what is spoken as it takes it (StopSpeaking),
  // before any wait of its own: SayFromTop does not stop again after such a wait.
  //
  // Reads rng as one piece: its text with the ends trimmed and its lines joined, then Start. A
  // range that cannot be read leaves nothing to say.
  void SayRange();
  // Reads page piece by piece from the top of its body: page becomes workingDoc, rng an empty
  // range at the body's start, and the continue switch goes on. A page that is Nothing, has no
  // body or refuses the range fails with platform::Failure; workingDoc is page by then.
  void SayFromTop(platform::DocumentPtr page);

  // Takes the next piece after rng and starts speaking it. See ParagraphReader.cpp.
  bool SayNextParagraph();

  // Voice events: the word highlighter.
  void pVoice_Word(int32_t StreamNumber, int64_t StreamPosition, int32_t CharacterPosition,
                   int32_t Length) override;
  void pVoice_EndStream(int32_t StreamNumber, int64_t StreamPosition) override;

  ChainEnd LastChainEnd() const { return chainEnd_; }
  // Told when a voice cannot be made or refuses a call; the voice is then Nothing.
  std::function<void(const std::string& message)> OnVoiceFailure;

 private:
  enum class Piece { Spoken, Empty, EndOfBody, BeyondBody, NoProgress };
  void StartSpeaking();
  void NewVoice();
  std::u16string PieceLanguage();
  Piece TakeNextPiece(platform::IHTMLTxtRange& bodyRng, platform::IHTMLTxtRange& prevRng);
  void EndChainAsUnusable(ChainEnd why);
  template <class Call>
  void CallVoice(Call&& call);

  platform::VoiceFactory& voices_;
  platform::TxtRangePtr wordRng;  // the word highlighted last; Nothing at the start of each piece
  bool wordRngOnWord_ = false;    // false while wordRng is still the copy of rng
  ChainEnd chainEnd_ = ChainEnd::Running;
};

}  // namespace lectryn::narration
