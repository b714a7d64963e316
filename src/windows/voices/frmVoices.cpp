#include "windows/voices/frmVoices.h"

#include <algorithm>
#include <map>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "windows/voices/LanguageNames.h"

namespace lectryn::windows::voices {
namespace {

// Heard with the voice tried; a language without a sentence here says its own name.
const std::map<std::string, std::u16string> kSampleSentences = {
    {"ar", u"هكذا يقرأ هذا الصوت صفحة بصوت عالٍ."},
    {"de", u"So liest diese Stimme eine Seite vor."},
    {"en", u"This is how this voice reads a page aloud."},
    {"es", u"Así lee esta voz una página en voz alta."},
    {"fr", u"Voici comment cette voix lit une page à haute voix."},
    {"it", u"Ecco come questa voce legge una pagina ad alta voce."},
    {"nl", u"Zo leest deze stem een pagina voor."},
    {"pl", u"Tak ten głos czyta stronę na głos."},
    {"pt", u"É assim que esta voz lê uma página em voz alta."},
    {"ru", u"Так этот голос читает страницу вслух."},
};

int32_t IndexOf(const std::vector<std::string>& list, const std::string& item) {
  auto found = std::find(list.begin(), list.end(), item);
  return found == list.end() ? -1 : static_cast<int32_t>(found - list.begin());
}

bool Speaks(const platform::InstalledVoice& voice, const std::string& language) {
  return std::any_of(voice.languages.begin(), voice.languages.end(),
                     [&](const std::string& tag) { return platform::ChoiceLanguageOf(tag) == language; });
}

}  // namespace

std::u16string SampleSentence(const std::string& language) {
  auto found = kSampleSentences.find(language);
  if (found != kSampleSentences.end()) return found->second;
  return LanguageName(language, language);
}

frmVoices::frmVoices(narration::Narration& main, std::string locale)
    : forms::Form("frmVoices", u"Voices"),
      Main(&main),
      lblEngine("lblEngine", u"Voices &from:"),
      cboEngine("cboEngine"),
      lblLanguage("lblLanguage", u"&Language:"),
      cboLanguage("cboLanguage"),
      lblVoice("lblVoice", u"&Voice:"),
      cboVoice("cboVoice"),
      lblSpeed("lblSpeed", u"&Speed:"),
      spnSpeed("spnSpeed", platform::kMinWordsPerMinute, platform::kMaxWordsPerMinute, 5),
      lblWordsPerMinute("lblWordsPerMinute", u"words per minute"),
      cmdNormal("cmdNormal", u"&Normal"),
      lblNormalSpeed("lblNormalSpeed", u""),
      cmdTry("cmdTry", u"&Try"),
      cmdOK("cmdOK", u"OK"),
      cmdCancel("cmdCancel", u"Cancel"),
      lblNoVoices("lblNoVoices",
                  u"speech-dispatcher does not answer: the desktop's voices are not available."),
      locale_(std::move(locale)),
      engines_(main.Voices().Engines()) {
  SetTitleButtons(false, false);
  Layout();
  cmdOK.SetDefault(true);
  cmdCancel.SetCancel(true);

  forms::Form::Form_Load = [this] { Form_Load(); };
  forms::Form::Form_Unload = [this](int16_t& cancel) { Form_Unload(cancel); };
  cboEngine.OnClick = [this] { cboEngine_Click(); };
  cboLanguage.OnClick = [this] { cboLanguage_Click(); };
  spnSpeed.OnChange = [this] { spnSpeed_Change(); };
  cmdNormal.OnClick = [this] { cmdNormal_Click(); };
  cmdTry.OnClick = [this] { cmdTry_Click(); };
  cmdOK.OnClick = [this] { cmdOK_Click(); };
  cmdCancel.OnClick = [this] { cmdCancel_Click(); };
}

// Each label comes just before the control it names in tab order: its access key reaches that one.
// The engine's row is there only when there is an engine to choose; the rows below it make room.
void frmVoices::Layout() {
  PlaceInTabOrder({
      {lblEngine, {120, 255, 1260, 285}},
      {cboEngine, {1440, 180, 4440, 360}},
      {lblLanguage, {120, 255, 1260, 285}},
      {cboLanguage, {1440, 180, 4440, 360}},
      {lblVoice, {120, 735, 1260, 285}},
      {cboVoice, {1440, 660, 4440, 360}},
      {lblSpeed, {120, 1215, 1260, 285}},
      {spnSpeed, {1440, 1140, 1080, 360}},
      {cmdNormal, {4680, 1140, 1200, 360}},
      {cmdTry, {120, 2130, 1200, 390}},
      {cmdOK, {3480, 2130, 1140, 390}},
      {cmdCancel, {4740, 2130, 1140, 390}},
      {lblWordsPerMinute, {2640, 1215, 1980, 285}},
      {lblNormalSpeed, {1440, 1620, 4440, 285}},
      {lblNoVoices, {120, 255, 5760, 765}},
  });
  const bool choosing = !engines_.empty();
  const int32_t engineRowTwips = choosing ? 480 : 0;
  for (forms::Control* control : Controls()) {
    if (control == &lblEngine || control == &cboEngine) continue;
    forms::TwipsRect place = control->Position();
    place.top += engineRowTwips;
    control->SetPosition(place);
  }
  SetClientSize(6000, 2640 + engineRowTwips);
  for (forms::Label* label : {&lblEngine, &lblLanguage, &lblVoice, &lblSpeed}) label->SetUseMnemonic(true);
  lblEngine.SetVisible(choosing);
  cboEngine.SetVisible(choosing);
  lblNoVoices.SetVisible(false);
}

// Each opening starts from what the narration uses now and from the voices installed now.
void frmVoices::Form_Load() {
  rate_ = Main->Rate();
  FillEngines();
  ShowRate();
  FillLanguages();
}

void frmVoices::Form_Unload(int16_t& /*cancel*/) {
  tryVoice_ = nullptr;
}

platform::VoiceFactory& frmVoices::Voices() {
  return engines_.empty() ? Main->Voices() : Main->Voices().EngineFactory(engine_);
}

void frmVoices::FillEngines() {
  engine_ = engines_.empty() ? std::string() : Main->Voices().EngineInUse();
  std::vector<std::u16string> items;
  int32_t inUse = -1;
  for (const platform::VoiceEngine& engine : engines_) {
    if (engine.key == engine_) inUse = static_cast<int32_t>(items.size());
    items.push_back(engine.name);
  }
  cboEngine.SetList(std::move(items));
  cboEngine.SetListIndex(inUse);
}

std::string frmVoices::Language() const {
  int32_t index = cboLanguage.ListIndex();
  return index < 0 ? std::string() : languages_[index];
}

std::string frmVoices::Voice() const {
  int32_t index = cboVoice.ListIndex();
  return index < 0 ? std::string() : voices_[index];
}

// The user's language is shown first; English where no voice speaks it.
void frmVoices::FillLanguages() {
  // A list that cannot be read leaves only the speed to set.
  installed_.clear();
  platform::Tolerate([&] { installed_ = Voices().InstalledVoices(); });
  // A language ICU cannot name takes the name of the first voice that speaks it.
  std::vector<NamedLanguage> spoken;
  for (const platform::InstalledVoice& voice : installed_) {
    for (const std::string& tag : voice.languages) {
      std::string code = platform::ChoiceLanguageOf(tag);
      bool listed = std::any_of(spoken.begin(), spoken.end(),
                                [&](const NamedLanguage& language) { return language.code == code; });
      if (!code.empty() && !listed) spoken.push_back({code, voice.name});
    }
  }
  languages_.clear();
  std::vector<std::u16string> items;
  for (NamedLanguage& language : NameLanguages(spoken, locale_)) {
    languages_.push_back(language.code);
    items.push_back(std::move(language.name));
  }
  cboLanguage.SetList(std::move(items));
  int32_t shown = IndexOf(languages_, platform::ChoiceLanguageOf(locale_));
  if (shown < 0) shown = IndexOf(languages_, "en");
  cboLanguage.SetListIndex(std::max(shown, 0));
  cboLanguage.SetEnabled(!languages_.empty());
  FillVoices();
  ShowWhetherListed();
}

// An engine that lists no voice is one that cannot be reached (espeak-ng always has its own): the
// window says so where the lists would be.
void frmVoices::ShowWhetherListed() {
  const bool unavailable = !engines_.empty() && installed_.empty();
  for (forms::Label* label : {&lblLanguage, &lblVoice}) label->SetVisible(!unavailable);
  for (forms::ComboBox* list : {&cboLanguage, &cboVoice}) list->SetVisible(!unavailable);
  lblNoVoices.SetVisible(unavailable);
}

// The language's voices in the order installed, with the narration's choice for it selected, else
// the voice that speaks it without one.
void frmVoices::FillVoices() {
  const std::string language = Language();
  voices_.clear();
  std::vector<std::u16string> items;
  for (const platform::InstalledVoice& voice : installed_) {
    if (!Speaks(voice, language)) continue;
    voices_.push_back(voice.identifier);
    items.push_back(voice.name.empty() ? platform::FromUtf8(voice.identifier) : voice.name);
  }
  cboVoice.SetList(std::move(items));
  int32_t chosen = -1;
  auto choice = Main->VoiceChoices().find(language);
  if (choice != Main->VoiceChoices().end()) chosen = IndexOf(voices_, choice->second);
  if (chosen < 0 && !language.empty())
    chosen = IndexOf(voices_, Voices().DefaultVoiceFor(platform::FromUtf8(language)));
  cboVoice.SetListIndex(std::max(chosen, 0));
  cboVoice.SetEnabled(!voices_.empty());
  cmdTry.SetEnabled(!voices_.empty());
}

void frmVoices::ShowRate() {
  const int32_t normal = Voices().DefaultRate();
  spnSpeed.SetValue(rate_ != 0 ? rate_ : normal);
  lblNormalSpeed.SetCaption(rate_ == 0
                                ? std::u16string(u"This is the voice's normal speed.")
                                : u"The voice's normal speed is " +
                                      platform::FromUtf8(std::to_string(normal)) + u" words per minute.");
}

// The sample of the engine before stops; its languages and voices give way to the chosen one's.
void frmVoices::cboEngine_Click() {
  int32_t index = cboEngine.ListIndex();
  if (index < 0) return;
  tryVoice_ = nullptr;
  engine_ = engines_[index].key;
  ShowRate();
  FillLanguages();
}

void frmVoices::cboLanguage_Click() {
  FillVoices();
}

void frmVoices::spnSpeed_Change() {
  rate_ = spnSpeed.Value();
  ShowRate();
}

void frmVoices::cmdNormal_Click() {
  rate_ = 0;
  ShowRate();
}

// A voice of the window's own, so the narration's reading and its place stay as they are. A voice
// that cannot be made leaves the sample unsaid.
void frmVoices::cmdTry_Click() {
  const std::string language = Language();
  const std::string voice = Voice();
  if (voice.empty()) return;
  tryVoice_ = nullptr;  // the sample before stops first
  platform::Tolerate([&] {
    tryVoice_ = Voices().CreateVoice(*this);
    tryVoice_->SetRate(rate_);
    tryVoice_->SetVoiceChoices({{language, voice}});
    tryVoice_->SetLanguage(platform::FromUtf8(language));
    tryVoice_->Speak(SampleSentence(language), platform::SVSFlagsAsync);
  });
}

// Only the language shown gets a choice, and only when it differs from the voice that speaks it
// already: the default stays free to follow the installed voices. The engine is put in use first,
// so that the speed and choices are taken with its normal speed.
void frmVoices::cmdOK_Click() {
  const std::string language = Language();
  const std::string voice = Voice();
  if (!engine_.empty() && Main->Voices().UseEngine(engine_) && OnEngineChosen) OnEngineChosen(engine_);
  if (!voice.empty()) {
    platform::VoiceChoices choices = Main->VoiceChoices();
    auto choice = choices.find(language);
    std::string current =
        choice != choices.end() ? choice->second : Voices().DefaultVoiceFor(platform::FromUtf8(language));
    if (voice != current) {
      choices[language] = voice;
      Main->SetVoiceChoices(std::move(choices));
    }
  }
  Main->SetRate(rate_);
  Unload();
}

void frmVoices::cmdCancel_Click() {
  Unload();
}

}  // namespace lectryn::windows::voices
