// The voices window on the simulated platform, with a voice factory that lists a few voices.
#include "windows/voices/frmVoices.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowPlatform.h"
#include "platform/Text.h"
#include "settings/ListenerSettings.h"
#include "windows/ListingVoices.h"
#include "windows/voices/LanguageNames.h"

namespace lectryn::windows::voices {
namespace {

using platform::VoiceChoices;
using Names = std::vector<std::u16string>;
using Calls = std::vector<std::string>;

class VoicesWindow : public ::testing::Test {
 protected:
  void Open(const std::string& locale = "en_US") {
    form_ = std::make_unique<frmVoices>(main_, locale);
    form_->Show();
  }
  // The user picks the language of this name.
  void ChooseLanguage(const std::u16string& name) {
    const Names& list = form_->cboLanguage.List();
    auto found = std::find(list.begin(), list.end(), name);
    ASSERT_NE(found, list.end()) << platform::ToUtf8(name);
    form_->cboLanguage.Choose(static_cast<int32_t>(found - list.begin()));
  }

  testing::ListingVoices voices_;
  narration::Narration main_{voices_};
  std::unique_ptr<frmVoices> form_;
};

TEST_F(VoicesWindow, ListsLanguagesByNameWithTheUsersFirstAndRefillsVoicesWithTheChoiceSelected) {
  Open("fr_FR");
  // Named in the user's language, capitalised for a list and sorted as its readers sort; French
  // has no default voice: the first is selected.
  EXPECT_EQ(form_->cboLanguage.List(), (Names{u"Anglais", u"Arabe", u"Français", u"Néerlandais"}));
  EXPECT_EQ(form_->cboLanguage.Text(), u"Français");
  EXPECT_EQ(form_->cboVoice.List(), (Names{u"French (Belgium)", u"French (France)"}));
  EXPECT_EQ(form_->Voice(), "fr-be");

  // No voice speaks German: English comes first, with the narration's choice selected.
  main_.SetVoiceChoices({{"en", "en-us+f2"}, {"fr", "fr-fr"}});
  Open("de_DE");
  EXPECT_EQ(form_->Language(), "en");
  EXPECT_EQ(form_->cboVoice.List(),
            (Names{u"English (Great Britain)", u"English (America)", u"English (America), female 2"}));
  EXPECT_EQ(form_->Voice(), "en-us+f2");
  ChooseLanguage(u"Französisch");
  EXPECT_EQ(form_->cboVoice.Text(), u"French (France)");
  ChooseLanguage(u"Niederländisch");  // a voice's second language lists it too
  EXPECT_EQ(form_->cboVoice.List(), (Names{u"French (Belgium)"}));
  ChooseLanguage(u"Arabisch");  // no choice: the default
  EXPECT_EQ(form_->Voice(), "ar");
}

TEST_F(VoicesWindow, OkStoresOnlyTheShownLanguagesChoiceAndTheSpeedWithinItsRange) {
  main_.SetVoiceChoices({{"ar", "ar"}});
  Open();
  ChooseLanguage(u"French");
  form_->cboVoice.Choose(1);  // not kept: the language changes again
  ChooseLanguage(u"English");
  form_->cboVoice.Choose(0);
  form_->spnSpeed.Enter(1000);
  EXPECT_EQ(form_->Rate(), platform::kMaxWordsPerMinute);
  EXPECT_EQ(form_->lblNormalSpeed.Caption(), u"The voice's normal speed is 175 words per minute.");
  EXPECT_TRUE(form_->PressKey({forms::vbKeyReturn, false}));  // Enter is OK
  EXPECT_EQ(main_.VoiceChoices(), (VoiceChoices{{"ar", "ar"}, {"en", "en-gb"}}));
  EXPECT_EQ(main_.Rate(), platform::kMaxWordsPerMinute);
  EXPECT_FALSE(form_->Loaded());

  // The voice that speaks a language already is not pinned as a choice; Normal is rate 0.
  main_.SetVoiceChoices({});
  form_->Show();
  EXPECT_EQ(form_->Voice(), "en-us");
  EXPECT_EQ(form_->spnSpeed.Value(), platform::kMaxWordsPerMinute);
  form_->cmdNormal.Click();
  EXPECT_EQ(form_->spnSpeed.Value(), 175);
  EXPECT_EQ(form_->lblNormalSpeed.Caption(), u"This is the voice's normal speed.");
  form_->cmdOK.Click();
  EXPECT_TRUE(main_.VoiceChoices().empty());
  EXPECT_EQ(main_.Rate(), 0);
}

TEST_F(VoicesWindow, CancelAndEscapeChangeNothingAndTheNextOpeningStartsAfresh) {
  main_.SetVoiceChoices({{"en", "en-us"}});
  main_.SetRate(300);
  Open();
  form_->cboVoice.Choose(2);
  form_->spnSpeed.Enter(100);
  form_->cmdCancel.Click();
  EXPECT_EQ(main_.VoiceChoices(), (VoiceChoices{{"en", "en-us"}}));
  EXPECT_EQ(main_.Rate(), 300);
  form_->Show();
  EXPECT_EQ(form_->Voice(), "en-us");
  EXPECT_EQ(form_->spnSpeed.Value(), 300);
  form_->cmdNormal.Click();
  EXPECT_TRUE(form_->PressKey({forms::vbKeyEscape, false}));
  EXPECT_FALSE(form_->Loaded());
  EXPECT_EQ(main_.Rate(), 300);
}

TEST_F(VoicesWindow, TrySpeaksTheSampleWithAVoiceOfItsOwnInTheChosenVoiceAndSpeed) {
  Open();
  ChooseLanguage(u"French");
  form_->cboVoice.Choose(1);
  form_->spnSpeed.Enter(250);
  form_->cmdTry.Click();
  ASSERT_EQ(voices_.made.size(), 1u);
  std::string sample = platform::ToUtf8(SampleSentence("fr"));
  EXPECT_EQ(voices_.made[0]->calls,
            (Calls{"Rate 250", "Choices fr=fr-fr", "Language fr", "Speak " + sample}));
  EXPECT_EQ(main_.pVoice, nullptr);  // the narration's voice is not the one that spoke

  // A second Try stops the first sample; closing stops the last.
  ChooseLanguage(u"Dutch");
  form_->cmdTry.Click();
  ASSERT_EQ(voices_.made.size(), 2u);
  EXPECT_TRUE(voices_.made[0]->dropped);
  EXPECT_EQ(voices_.made[1]->calls[1], "Choices nl=fr-be");
  form_->cmdCancel.Click();
  EXPECT_TRUE(voices_.made[1]->dropped);

  // A voice that cannot be made leaves the window as it was.
  voices_.failing = true;
  form_->Show();
  form_->cmdTry.Click();
  EXPECT_TRUE(form_->Visible());
}

class WithoutVoices : public VoicesWindow, public ::testing::WithParamInterface<bool> {};

// No voice installed, or a list that cannot be read.
TEST_P(WithoutVoices, OnlyTheSpeedCanBeSet) {
  voices_.listFails = GetParam();
  if (!GetParam()) voices_.installed.clear();
  main_.SetVoiceChoices({{"en", "en-us"}});
  Open();
  EXPECT_TRUE(form_->cboLanguage.List().empty());
  EXPECT_FALSE(form_->cboVoice.Enabled());
  EXPECT_FALSE(form_->cmdTry.Enabled());
  form_->spnSpeed.Enter(120);
  form_->cmdOK.Click();
  EXPECT_EQ(main_.VoiceChoices(), (VoiceChoices{{"en", "en-us"}}));
  EXPECT_EQ(main_.Rate(), 120);
}
INSTANTIATE_TEST_SUITE_P(Lists, WithoutVoices, ::testing::Bool());

// Voices from two engines: the window lists the chosen engine's voices and OK puts it in use.
class VoicesFromEngines : public ::testing::Test {
 protected:
  void Open() {
    form_ = std::make_unique<frmVoices>(main_, "en_US");
    form_->OnEngineChosen = [this](const std::string& key) { told_.push_back(key); };
    form_->Show();
  }
  // The lists and Try as the user finds them: "lists", "no voices" (the label instead) or "both".
  std::string Shown() const {
    bool lists = form_->cboLanguage.Visible() && form_->cboVoice.Visible() && form_->lblLanguage.Visible() &&
                 form_->lblVoice.Visible();
    bool label = form_->lblNoVoices.Visible();
    return std::string(lists && label ? "both"
                       : lists        ? "lists"
                       : label        ? "no voices"
                                      : "neither") +
           (form_->cmdTry.Enabled() ? ", try" : "");
  }

  testing::EngineVoices voices_;
  narration::Narration main_{voices_};
  std::unique_ptr<frmVoices> form_;
  std::vector<std::string> told_;
};

TEST_F(VoicesFromEngines, ChoosingAnEngineRefillsLanguagesVoicesAndNormalSpeedWithoutPuttingItInUse) {
  Open();
  // Its row comes above the languages; the window grows for it.
  testing::ListingVoices one;
  narration::Narration oneMain{one};
  EXPECT_GT(form_->ClientHeight(), frmVoices(oneMain, "en_US").ClientHeight());
  EXPECT_TRUE(form_->cboEngine.Visible());
  EXPECT_LT(form_->cboEngine.Position().top, form_->cboLanguage.Position().top);
  EXPECT_GE(form_->ClientHeight(), form_->cmdOK.Position().top + form_->cmdOK.Position().height);
  EXPECT_EQ(form_->cboEngine.List(), (Names{u"Own voices", u"Desktop voices"}));
  EXPECT_EQ(form_->cboEngine.Text(), u"Own voices");
  EXPECT_EQ(form_->cboLanguage.List(), (Names{u"Arabic", u"Dutch", u"English", u"French"}));
  EXPECT_EQ(form_->Voice(), "en-us");
  EXPECT_EQ("lists, try", Shown());

  form_->cboEngine.Choose(1);
  EXPECT_EQ(form_->Engine(), "server");
  EXPECT_EQ(form_->cboLanguage.List(), (Names{u"English", u"French", u"German"}));
  EXPECT_EQ(form_->cboVoice.List(), (Names{u"As the desktop sets it", u"espeak-ng: English"}));
  EXPECT_EQ(form_->Voice(), "sd:");  // the server's default for the language
  EXPECT_EQ(form_->spnSpeed.Value(), 160);
  EXPECT_EQ("lists, try", Shown());
  EXPECT_EQ(voices_.inUse, "own");

  // Try speaks with the chosen engine, in its voice.
  form_->cboVoice.Choose(1);
  form_->cmdTry.Click();
  ASSERT_EQ(voices_.server.made.size(), 1u);
  EXPECT_TRUE(voices_.own.made.empty());
  EXPECT_EQ(voices_.server.made[0]->calls[1], "Choices en=sd:espeak-ng:English");

  // Going back stops that sample and lists the engine's own voices again.
  form_->cboEngine.Choose(0);
  EXPECT_TRUE(voices_.server.made[0]->dropped);
  EXPECT_EQ(form_->cboLanguage.List(), (Names{u"Arabic", u"Dutch", u"English", u"French"}));
  EXPECT_EQ(form_->spnSpeed.Value(), 175);
  form_->cmdTry.Click();
  EXPECT_EQ(voices_.own.made.size(), 1u);
  form_->cmdCancel.Click();
}

TEST_F(VoicesFromEngines, OkPutsTheEngineInUseAndTellsItAndCancelDoesNeither) {
  main_.SetVoiceChoices({{"fr", "fr-fr"}});
  Open();
  form_->cboEngine.Choose(1);
  form_->cboLanguage.Choose(1);  // French: the choice made with the other engine is not listed here
  EXPECT_EQ(form_->Voice(), "sd:");
  form_->cmdCancel.Click();
  EXPECT_EQ(voices_.inUse, "own");
  EXPECT_TRUE(told_.empty());
  EXPECT_EQ(main_.VoiceChoices(), (VoiceChoices{{"fr", "fr-fr"}}));

  // Opened again, it starts from the engine in use.
  form_->Show();
  EXPECT_EQ(form_->cboEngine.ListIndex(), 0);
  form_->cboEngine.Choose(1);
  form_->cboLanguage.Choose(1);
  form_->cboVoice.Choose(1);
  form_->cmdOK.Click();
  EXPECT_EQ(voices_.inUse, "server");
  EXPECT_EQ(told_, (std::vector<std::string>{"server"}));
  EXPECT_EQ(main_.VoiceChoices(), (VoiceChoices{{"fr", "sd:espeak-ng:French (Belgium)"}}));
  EXPECT_EQ(main_.EffectiveRate(), 160);
  main_.cbStart_Click();
  EXPECT_EQ(voices_.server.made.size(), 1u) << "the narration speaks with the engine put in use";

  // The server's own choice for a language is its default: OK pins nothing for it.
  main_.SetVoiceChoices({});
  form_->Show();
  EXPECT_EQ(form_->cboEngine.ListIndex(), 1);
  EXPECT_EQ(form_->Voice(), "sd:");
  form_->cmdOK.Click();
  EXPECT_TRUE(main_.VoiceChoices().empty());
}

// The desktop's server lists nothing when it cannot be reached, or its list fails.
TEST_F(VoicesFromEngines, AnEngineWithoutVoicesIsSaidInPlaceOfTheListsAndCannotBeTried) {
  for (bool listFails : {false, true}) {
    SCOPED_TRACE(listFails ? "list fails" : "nothing listed");
    voices_.server.listFails = listFails;
    if (!listFails) voices_.server.installed.clear();
    voices_.inUse = "own";
    Open();
    form_->cboEngine.Choose(1);
    EXPECT_EQ("no voices", Shown());
    EXPECT_EQ(form_->lblNoVoices.Caption(),
              u"speech-dispatcher does not answer: the desktop's voices are not available.");
    form_->cmdTry.Click();
    EXPECT_TRUE(voices_.server.made.empty());
    form_->cboEngine.Choose(0);
    EXPECT_EQ("lists, try", Shown());
    // The speed can still be set, and the engine chosen.
    form_->cboEngine.Choose(1);
    form_->spnSpeed.Enter(200);
    form_->cmdOK.Click();
    EXPECT_EQ(voices_.inUse, "server");
    EXPECT_EQ(main_.Rate(), 200);
  }
}

TEST_F(VoicesWindow, WithOneEngineThereIsNoEngineToChoose) {
  Open();
  EXPECT_FALSE(form_->cboEngine.Visible());
  EXPECT_FALSE(form_->lblEngine.Visible());
  EXPECT_FALSE(form_->lblNoVoices.Visible());
  EXPECT_EQ(form_->Engine(), "");
  form_->cmdOK.Click();
}

TEST(VoicesMenu, TheEngineChosenWithOkIsStoredAtOnceAndChoicesOfTheOtherEngineSurviveAStart) {
  testing::MainWindowPlatform sim;
  testing::EngineVoices engines;
  platform::Platform platform{sim.loop,  engines,     sim.browsers, sim.windows, sim.registry,
                              sim.shell, sim.dialogs, sim.pictures, sim.app};
  sim.Store(settings::kVoicesSetting, "de=sd:festival:\nen=en-gb");
  main::frmMain main(platform, sim.site);
  main.SetHWnd(sim.windows.CreateWindow("ThunderRT6FormDC", {100, 100, 358, 254}));
  main.SetHost(&sim.host);
  main.Show();
  // The German choice is no voice of the engine in use, yet it is the user's for the other one.
  EXPECT_EQ(main.VoiceChoices(), (VoiceChoices{{"de", "sd:festival:"}, {"en", "en-gb"}}));

  main.mnuVoiceVoices.Click();
  frmVoices& form = *main.voicesWindow;
  form.cboEngine.Choose(1);
  form.cmdCancel.Click();
  EXPECT_EQ(std::nullopt, sim.Stored(settings::kEngineSetting));
  main.mnuVoiceVoices.Click();
  form.cboEngine.Choose(1);
  // French, whatever the user's language names it: it has no choice, and the server's stays.
  for (int32_t index = 0; form.Language() != "fr"; ++index) {
    ASSERT_LT(index, form.cboLanguage.ListCount());
    form.cboLanguage.Choose(index);
  }
  form.cmdOK.Click();
  EXPECT_EQ("server", sim.Stored(settings::kEngineSetting));
  EXPECT_EQ("server", engines.inUse);
  EXPECT_TRUE(main.Unload());
  EXPECT_EQ("de=sd:festival:\nen=en-gb", sim.Stored(settings::kVoicesSetting));
}

// One window for the whole run, owned by the main window; opening it again while it is open keeps
// what the user set so far.
TEST(VoicesMenu, OpensOneModelessWindowOwnedByTheMainWindow) {
  testing::MainWindowPlatform platform;
  auto main = platform.MakeMain();
  main->Show();
  main->mnuVoiceVoices.Click();
  ASSERT_TRUE(main->voicesWindow);
  frmVoices* first = main->voicesWindow.get();
  EXPECT_TRUE(first->Visible() && !first->IsModal() && first->Owner() == main.get());
  first->spnSpeed.Enter(300);
  main->mnuVoiceVoices.Click();
  EXPECT_EQ(main->voicesWindow.get(), first);
  EXPECT_EQ(first->Rate(), 300);
  main->Unload();
}

TEST(LanguageNames, PrimaryLanguagesNamesThatIcuLacksOrSharesAndOrderForReaders) {
  EXPECT_EQ(platform::ChoiceLanguageOf("PT_br"), "pt");
  EXPECT_EQ(SampleSentence("fi"), u"Suomi");  // no sentence: the language's own name
  // "É" sorts with "E", not after "Z"; a language ICU cannot name keeps the name it came with;
  // names two languages share get their codes.
  Names names;
  for (const NamedLanguage& language :
       NameLanguages({{"fr", u"x"}, {"ee", u""}, {"zh", u""}, {"qqa", u"Qa"}, {"qqb", u"Qa"}}, "fr_FR"))
    names.push_back(language.name);
  EXPECT_EQ(names, (Names{u"Chinois", u"Éwé", u"Français", u"Qa (qqa)", u"Qa (qqb)"}));
}

}  // namespace
}  // namespace lectryn::windows::voices
