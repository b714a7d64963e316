#pragma once
// The simulated desktop a drag happens on: the main window with its narration state, its picker and
// a scripted voice. Page windows and their documents are each test's own.
#include "narration/Narration.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"
#include "sim/SimWindowSystem.h"
#include "targeting/Picker.h"

namespace lectryn::targeting {

struct PickerDesk {
  PickerDesk() { picker.SetWindow(mainWnd); }

  // The button goes down on the main window's background; X and Y are not looked at.
  void Press(int16_t button = 1) {
    windows.PressButtonOn(mainWnd);
    picker.Form_MouseDown(button, 0, 10, 10);
  }
  void Release() { picker.Form_MouseUp(1, 0, 0, 0); }

  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 100};
  narration::Narration main{voices};
  sim::SimWindowSystem windows{loop};
  Picker picker{main, windows};
  platform::HWND mainWnd = windows.CreateWindow("LectrynMain", {0, 0, 200, 100});
};

}  // namespace lectryn::targeting
