#pragma once
// The voices window: which installed voice speaks each language, and the speed. A language list (the
// languages of the installed voices), the voices of the chosen language, "Try" to hear a sample in
// that voice at that speed, the speed in words per minute with "Normal" for the voice's own; "OK"
// hands the choice for the language shown and the speed to the narration, "Cancel" changes nothing.
// When the voices come from several engines, "Voices from:" above the languages picks the engine
// whose voices are listed and tried; OK puts it in use.
// Modeless; the main window keeps one for the whole run.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/SpinBox.h"
#include "narration/Narration.h"
#include "platform/Voice.h"

namespace lectryn::windows::voices {

// What "Try" says in a language (a lower-case primary language): a short sentence where the program
// has one, else the language's own name.
std::u16string SampleSentence(const std::string& language);

class frmVoices : public forms::Form, private platform::VoiceEvents {
 public:
  // locale: the user's, which names the languages and picks the one shown first.
  frmVoices(narration::Narration& main, std::string locale);

  // The main window, whose narration the choices go to.
  narration::Narration* Main;

  forms::Label lblEngine;
  forms::ComboBox cboEngine;
  forms::Label lblLanguage;
  forms::ComboBox cboLanguage;
  forms::Label lblVoice;
  forms::ComboBox cboVoice;
  forms::Label lblSpeed;
  forms::SpinBox spnSpeed;
  forms::Label lblWordsPerMinute;
  forms::CommandButton cmdNormal;
  forms::Label lblNormalSpeed;
  forms::CommandButton cmdTry;
  forms::CommandButton cmdOK;
  forms::CommandButton cmdCancel;
  // In place of the language and voice lists when the chosen engine lists no voice.
  forms::Label lblNoVoices;

  void Form_Load();
  void Form_Unload(int16_t& cancel);
  void cboEngine_Click();
  void cboLanguage_Click();
  void spnSpeed_Change();
  void cmdNormal_Click();
  void cmdTry_Click();
  void cmdOK_Click();
  void cmdCancel_Click();

  // The language shown (lower-case primary language) and the voice chosen for it; empty for none.
  std::string Language() const;
  std::string Voice() const;
  // The speed OK would set: words per minute, 0 for the voice's own.
  int32_t Rate() const { return rate_; }
  // The key of the engine OK would put in use; empty when the voices have one engine.
  const std::string& Engine() const { return engine_; }

  // Told the key of the engine OK put in use, so that the next start takes it.
  std::function<void(const std::string& key)> OnEngineChosen;

 private:
  void Layout();
  // The chosen engine's voices, or the narration's when they have one engine.
  platform::VoiceFactory& Voices();
  void FillEngines();
  void FillLanguages();
  void ShowWhetherListed();
  void FillVoices();
  void ShowRate();
  void pVoice_Word(int32_t, int64_t, int32_t, int32_t) override {}
  void pVoice_EndStream(int32_t, int64_t) override {}

  std::string locale_;
  std::vector<platform::VoiceEngine> engines_;  // beside cboEngine's items; fixed for the voices' life
  std::string engine_;
  std::vector<platform::InstalledVoice> installed_;
  std::vector<std::string> languages_;  // beside cboLanguage's items
  std::vector<std::string> voices_;     // identifiers beside cboVoice's items
  int32_t rate_ = 0;
  // The voice "Try" speaks with; it goes with the window.
  std::shared_ptr<platform::SpVoice> tryVoice_;
};

}  // namespace lectryn::windows::voices
