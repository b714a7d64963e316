#include "narration/Narration.h"

#include <algorithm>

#include "platform/Failure.h"

namespace lectryn::narration {

const char16_t kInstructionText[] =
    u"Lectryn works with microsofts Internet Explorer. First select a topic \r\n"
    u"you would like red out. To do this click on the background of Lectryn \r\n"
    u"then drag over Internet Explorer. Highlight a topic of interest, then release \r\n"
    u"the mouse. After you have released the mouse Lectryn is ready to \r\n"
    u"reed your selection. You can then press Control and N to start the \r\n"
    u"narration.\r\n";

namespace {

forms::MenuItem& AddAfterSeparator(forms::MenuItem& menu, std::string separator, std::string name,
                                   std::u16string caption, forms::Shortcut shortcut) {
  menu.Add(std::move(separator), u"-");
  return menu.Add(std::move(name), std::move(caption), shortcut);
}

}  // namespace

Narration::Narration(platform::VoiceFactory& voices)
    : tbSpeach("tbSpeach", kInstructionText, true),
      cbContinue("cbContinue", u"Coninue After Selection"),
      cbStart("cbStart", u"Start Narration"),
      cbStop("cbStop", u"Stop"),
      cbNext("cbNext", u"Next Sentence"),
      mnuNarration("mnuNarration", u"&Narration"),
      mnuNarrationStart(mnuNarration.Add("mnuNarrationStart", u"&Start", forms::CtrlKey('N'))),
      mnuNarrationStop(mnuNarration.Add("mnuNarrationStop", u"S&top")),
      mnuNarrationNextSentence(
          mnuNarration.Add("mnuNarrationNextSentence", u"&Next Sentence", forms::CtrlKey('T'))),
      mnuNarrationContAfter(AddAfterSeparator(mnuNarration, "mnuSep1", "mnuNarrationContAfter",
                                              u"Continue After Selection", forms::CtrlKey('F'))),
      mnuNarrationTxtToSpeech(AddAfterSeparator(mnuNarration, "mnuSep5", "mnuNarrationTxtToSpeech",
                                                u"Text to &speech...", forms::CtrlKey('S'))),
      voices_(voices) {
  mnuNarrationContAfter.SetChecked(true);
  cbStart.OnClick = [this] { cbStart_Click(); };
  cbStop.OnClick = [this] { cbStop_Click(); };
  cbNext.OnClick = [this] { cbNext_Click(); };
  mnuNarrationStart.OnClick = [this] { cbStart_Click(); };
  mnuNarrationStop.OnClick = [this] { cbStop_Click(); };
  mnuNarrationNextSentence.OnClick = [this] { cbNext_Click(); };
  mnuNarrationContAfter.OnClick = [this] { mnuNarrationContAfter_Click(); };
}

// The voice goes first: none of its events may reach a half-destroyed state.
Narration::~Narration() {
  pVoice.reset();
}

template <class Call>
void Narration::CallVoice(Call&& call) {
  try {
    call();
  } catch (const platform::Failure& failure) {
    DropFailedVoice(failure.what());
  }
}

// Without a voice nothing is spoken; the next Start tries a new one.
void Narration::DropFailedVoice(const std::string& message) {
  pVoice = nullptr;
  paused_ = false;
  if (OnVoiceFailure) OnVoiceFailure(message);
  FollowReadingState();
}

void Narration::pVoice_Failed(const std::string& message) {
  // A voice that has been dropped raises nothing, so only the voice in pVoice can fail here; without
  // one, the reading this failure belonged to has already ended.
  if (!pVoice) return;
  if (chainEnd_ == ChainEnd::Running) chainEnd_ = ChainEnd::Stopped;
  DropFailedVoice(message);
}

void Narration::NewVoice() {
  pVoice = nullptr;  // the old voice stops before the new one exists
  paused_ = false;
  CallVoice([this] {
    pVoice = voices_.CreateVoice(*this);
    pVoice->SetRate(rate_);
    pVoice->SetVoiceChoices(voiceChoices_);
  });
  FollowReadingState();
}

void Narration::ListenerStateChanged() {
  toldReading_ = Reading();
  toldPaused_ = paused_;
  for (const auto& observer : listenerObservers_) observer();
}

void Narration::FollowReadingState() {
  if (Reading() != toldReading_ || paused_ != toldPaused_) ListenerStateChanged();
}

bool Narration::Reading() const {
  return pVoice && platform::IsSpeaking(*pVoice);
}

void Narration::Pause() {
  if (paused_ || !Reading()) return;
  bool held = false;
  CallVoice([&] { held = pVoice->Pause(); });
  if (!held) return;
  paused_ = true;
  FollowReadingState();
}

void Narration::Resume() {
  if (!paused_) return;
  paused_ = false;
  if (pVoice) CallVoice([this] { pVoice->Resume(); });
  FollowReadingState();
}

void Narration::PauseOrResume() {
  if (paused_) {
    Resume();
  } else {
    Pause();
  }
}

void Narration::PreviousSentence() {
  if (!Reading()) return;
  platform::SpeechVoiceStatus status;
  CallVoice([&] { status = pVoice->Status(); });
  if (!pVoice) return;
  bool early = status.SentenceHeardMs < kSentenceRestartMs;
  if (early && status.CurrentSentence == 0 && SayPreviousParagraph(FromSentence::Last)) return;
  // At the first sentence of the page, -1 moves nothing and starts it again.
  CallVoice([&] { pVoice->Skip(u"SENTENCE", early ? -1 : 0); });
}

void Narration::NextParagraph() {
  if (!Reading()) return;
  if (SayNextParagraph() && chainEnd_ == ChainEnd::Running) {
    ShowPieceStartWhilePaused();
    return;
  }
  // No piece follows: the reading ends here as at the end of the page, the last piece's text kept.
  // A page found unusable has already taken the voice.
  if (pVoice) NewVoice();
}

void Narration::PreviousParagraph() {
  if (!Reading()) return;
  if (!SayPreviousParagraph(FromSentence::First)) StartSpeaking();
  ShowPieceStartWhilePaused();
}

void Narration::SetRate(int32_t wordsPerMinute) {
  int32_t rate = platform::ClampedWordsPerMinute(wordsPerMinute);
  if (rate == rate_) return;
  rate_ = rate;
  if (pVoice) CallVoice([this] { pVoice->SetRate(rate_); });
  ListenerStateChanged();
}

int32_t Narration::EffectiveRate() const {
  return rate_ != 0 ? rate_ : voices_.DefaultRate();
}

void Narration::Faster() {
  SetRate(std::min(EffectiveRate() + kRateStep, platform::kMaxWordsPerMinute));
}

void Narration::Slower() {
  SetRate(std::max(EffectiveRate() - kRateStep, platform::kMinWordsPerMinute));
}

void Narration::NormalSpeed() {
  SetRate(0);
}

void Narration::SetVoiceChoices(platform::VoiceChoices choices) {
  voiceChoices_ = std::move(choices);
  if (pVoice) CallVoice([this] { pVoice->SetVoiceChoices(voiceChoices_); });
  ListenerStateChanged();
}

void Narration::cbStart_Click() {
  NewVoice();
  StartSpeaking();
}

void Narration::SayRange() {
  tbSpeach.SetText(u"");
  platform::Tolerate([&] { tbSpeach.SetText(PieceText(platform::Present(rng, "text range")->text())); });
  cbStart_Click();
}

void Narration::SayFromTop(platform::DocumentPtr page) {
  workingDoc = std::move(page);
  rng = platform::Present(platform::Present(workingDoc, "document")->body(), "body")->createTextRange();
  platform::Present(rng, "text range")->collapse(true);
  cbContinue.SetValue(forms::vbChecked);
  SayNextParagraph();
}

void Narration::StartSpeaking(FromSentence from) {
  if (!pVoice) NewVoice();
  if (tbSpeach.Text().empty()) return;
  wordRng = nullptr;
  wordRngOnWord_ = false;
  wordPosition_ = -1;
  chainEnd_ = ChainEnd::Running;
  if (!pVoice) return;
  std::u16string language = PieceLanguage();
  int32_t flags =
      platform::SVSFlagsAsync | (from == FromSentence::Last ? platform::SVSFStartAtLastSentence : 0);
  CallVoice([&] {
    pVoice->SetLanguage(language);
    pVoice->Speak(tbSpeach.Text(), flags);
  });
  FollowReadingState();
}

// The piece is the text of one element: its language is that element's. Text that comes from no
// page, or from a page that cannot say, is spoken in the default language.
std::u16string Narration::PieceLanguage() {
  std::u16string language;
  if (rng)
    platform::Tolerate([&] {
      if (platform::ElementPtr element = rng->parentElement()) language = element->language();
    });
  return language;
}

void Narration::cbStop_Click() {
  if (chainEnd_ == ChainEnd::Running && pVoice && platform::IsSpeaking(*pVoice))
    chainEnd_ = ChainEnd::Stopped;
  NewVoice();
}

void Narration::cbNext_Click() {
  // Without a voice there is nothing to skip.
  if (!pVoice) return;
  CallVoice([this] { pVoice->Skip(u"SENTENCE", 1); });
}

void Narration::mnuNarrationContAfter_Click() {
  mnuNarrationContAfter.SetChecked(!mnuNarrationContAfter.Checked());
  cbContinue.SetValue(mnuNarrationContAfter.Checked() ? forms::vbChecked : forms::vbUnchecked);
}

void Narration::Form_KeyUp(int16_t KeyCode, int16_t /*Shift*/) {
  if (KeyCode == forms::vbKeyEscape) cbStop_Click();
}

}  // namespace lectryn::narration
