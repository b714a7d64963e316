#include "desktop/PlatformKeys.h"

namespace lectryn::desktop {

int32_t PlatformKeyCode(int qtKey) {
  // Letters and digits share their ASCII codes in both numberings.
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Equal:
    case Qt::Key_Plus:  // "+" is the "=" key with Shift, or a key of its own on the keypad
      return forms::kKeyEquals;
    case Qt::Key_Minus:
      return forms::kKeyMinus;
    default:
      return 0;
  }
}

forms::Shortcut PlatformShortcut(int qtKey, Qt::KeyboardModifiers modifiers) {
  int32_t code = PlatformKeyCode(qtKey);
  bool symbol = code == forms::kKeyEquals || code == forms::kKeyMinus;
  return {code, (modifiers & Qt::ControlModifier) != 0, !symbol && (modifiers & Qt::ShiftModifier) != 0};
}

int16_t PlatformShift(Qt::KeyboardModifiers modifiers) {
  int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

int16_t PlatformButtons(Qt::MouseButtons buttons) {
  int16_t bits = 0;
  if (buttons & Qt::LeftButton) bits |= 1;
  if (buttons & Qt::RightButton) bits |= 2;
  if (buttons & Qt::MiddleButton) bits |= 4;
  return bits;
}

}  // namespace lectryn::desktop
