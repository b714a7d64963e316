#pragma once
// The text-to-speech window: writes the typed text as a page into a page window of its own and
// hands that page to the main window's narration, which reads it and highlights each word there.
// The window has no voice of its own; its button only shows, every 400 ms, whether the shared voice
// speaks.
#include <cstdint>
#include <memory>
#include <string>

#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Menu.h"
#include "forms/TextBox.h"
#include "forms/Timer.h"
#include "narration/Narration.h"
#include "platform/Platform.h"

namespace lectryn::windows::texttospeech {

// What the text box holds each time the window is loaded.
extern const char16_t kInitialText[];
// The empty, styled page the page window is reset to before each reading.
extern const char16_t kPageTemplate[];

constexpr int32_t kCaptionIntervalMs = 400;

// The HTML put at the start of the page's body for the typed text: every carriage return becomes a
// line break between (unbalanced) spans; nothing else is escaped, so typed markup takes effect.
std::u16string TextFragment(const std::u16string& text);

class frmTextToSpeech : public forms::Form {
 public:
  frmTextToSpeech(platform::Platform& platform, narration::Narration& main);

  // The main window, whose narration reads the page. Settable by the main window.
  narration::Narration* Main;

  forms::TextBox tbTextToSpeech;
  forms::CommandButton cbSayIt;
  forms::CommandButton cb;
  forms::Timer Timer1;
  forms::MenuItem& mnuSelect;
  forms::MenuItem& mnuSelectSelectAll;

  void Form_Load();
  void Form_Activate();
  void Form_Unload(int16_t& cancel);
  void cbSayIt_Click();
  void cb_Click();
  void tbTextToSpeech_Click();
  void mnuSelectSelectAll_Click();
  void Timer1_Timer();
  // Puts text in the text box and reads it, as the user would by typing it and pressing the
  // button; the window must be loaded.
  void SayText(const std::u16string& text);

  // The page window of the last reading request; Nothing before the first.
  const std::shared_ptr<platform::BrowserApplication>& PageWindow() const { return browserApp; }

 private:
  void SayTypedText();
  void Navigate();
  void ShowTextAndRead(platform::BrowserApplication& page, uint64_t request);
  bool WaitForPage(platform::BrowserApplication& page, uint64_t request);
  void SelectAll();

  platform::Platform& platform_;
  // Kept across closing and reopening: each request reuses the page window the user still has.
  std::shared_ptr<platform::BrowserApplication> browserApp;
  // Bumped by each reading request and by closing: an older request sees it changed and gives up.
  uint64_t request_ = 0;
};

}  // namespace lectryn::windows::texttospeech
