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
#include <vector>

#include "forms/CheckBox.h"
#include "forms/CommandButton.h"
#include "forms/Menu.h"
#include "forms/TextBox.h"
#include "platform/Page.h"
#include "platform/Voice.h"
#include "platform/WindowSystem.h"

namespace lectryn::narration {

// Faster and Slower change the speed by this many words per minute.
constexpr int32_t kRateStep = 25;
// Previous Sentence within this much of a sentence goes to the one before; later, to its start.
constexpr int64_t kSentenceRestartMs = 500;

// What the instruction text in tbSpeach says before any page is captured.
extern const char16_t kInstructionText[];

// Removes spaces (code 32 only) and line breaks from both ends; inner line breaks stay.
std::u16string TrimLineBreaks(const std::u16string& text);
// Every "\r\n" pair, left to right, becomes one space: how a piece's lines are joined for the voice.
std::u16string JoinLineBreaks(std::u16string_view text);
// What the voice is given for the text of a piece: its ends trimmed, then its lines joined.
std::u16string PieceText(const std::u16string& rangeText);

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

  // The listener's controls, for the "&Voice" menu, the terminal reader's keys and the desktop's
  // media controls. Each works while reading or paused and does nothing otherwise.
  //
  // Pause holds the voice at the word being heard; Resume goes on from there. Stop while paused stops.
  void Pause();
  void Resume();
  void PauseOrResume();
  bool Paused() const { return paused_; }
  // A piece is being read or is paused.
  bool Reading() const;
  // Back to the start of the sentence being heard, or to the sentence before it within the first half
  // second of a sentence; before the first sentence of a piece, the last sentence of the piece before.
  void PreviousSentence();
  // Next Sentence of the narration menu.
  void NextSentence() { cbNext_Click(); }
  // The piece before the one being read (the first piece of the page starts again), or after it (the
  // last piece ends the reading as the end of the page does); the selection and the page follow.
  void PreviousParagraph();
  void NextParagraph();

  // The speed in words per minute (kMinWordsPerMinute..kMaxWordsPerMinute); 0 is the voice's own.
  // Applies to the voice speaking now, from its next word, and to every voice made afterwards.
  void SetRate(int32_t wordsPerMinute);
  int32_t Rate() const { return rate_; }
  // The words per minute heard: the rate, or the voice's own for 0.
  int32_t EffectiveRate() const;
  void Faster();
  void Slower();
  void NormalSpeed();
  // The user's voice per language, for every voice made from now on and the next piece read.
  void SetVoiceChoices(platform::VoiceChoices choices);
  const platform::VoiceChoices& VoiceChoices() const { return voiceChoices_; }
  platform::VoiceFactory& Voices() { return voices_; }

  // Each observer is told after anything a listener can see changed: a reading started or ended,
  // paused or resumed, the speed or the voices changed. Observers stay for the narration's life.
  void WatchListenerState(std::function<void()> observer) {
    listenerObservers_.push_back(std::move(observer));
  }

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
  // The voice lost its speech server: the reading stops as Stop leaves it, but without a voice; the
  // next Start makes a new one.
  void pVoice_Failed(const std::string& message) override;

  ChainEnd LastChainEnd() const { return chainEnd_; }
  // Told when a voice cannot be made, refuses a call or fails while speaking, once each time; the voice
  // is then Nothing.
  std::function<void(const std::string& message)> OnVoiceFailure;

 private:
  enum class Piece { Spoken, Empty, EndOfBody, BeyondBody, NoProgress };
  enum class FromSentence { First, Last };
  void StartSpeaking(FromSentence from = FromSentence::First);
  void NewVoice();
  // Drops the voice that failed and says why.
  void DropFailedVoice(const std::string& message);
  void ListenerStateChanged();
  // Tells the observers when the reading started, ended, paused or resumed since they were last told.
  void FollowReadingState();
  std::u16string PieceLanguage();
  Piece TakeNextPiece(platform::IHTMLTxtRange& bodyRng, platform::IHTMLTxtRange& prevRng);
  // Takes the piece before rng and starts speaking it; false, with nothing changed, when rng is the
  // first piece of the page or there is no page to go back in.
  bool SayPreviousParagraph(FromSentence from);
  Piece TakePreviousPiece(platform::IHTMLTxtRange& piece, platform::IHTMLTxtRange& nextRng,
                          std::u16string& text);
  void EndChainAsUnusable(ChainEnd why);
  bool AwaitMorePage();
  // Selects the word at position (UTF-16 units into tbSpeach) in the page and scrolls to it.
  void HighlightWord(int32_t position, int32_t length);
  // While paused no word comes to show where a move landed: the piece's first word is shown.
  void ShowPieceStartWhilePaused();
  template <class Call>
  void CallVoice(Call&& call);

  platform::VoiceFactory& voices_;
  platform::TxtRangePtr wordRng;  // the word highlighted last; Nothing at the start of each piece
  bool wordRngOnWord_ = false;    // false while wordRng is still the copy of rng
  int32_t wordPosition_ = -1;     // in tbSpeach of the word highlighted last; -1 before the first
  bool paused_ = false;
  bool toldReading_ = false;  // the reading state the observers know
  bool toldPaused_ = false;
  std::vector<std::function<void()>> listenerObservers_;
  int32_t rate_ = 0;
  platform::VoiceChoices voiceChoices_;
  ChainEnd chainEnd_ = ChainEnd::Running;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for what waits on a page
};

}  // namespace lectryn::narration
