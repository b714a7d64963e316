#pragma once
// Qt's keys, modifiers and mouse buttons in the platform's numbering, as the form models take them.
#include <Qt>
#include <cstdint>

namespace lectryn::desktop {

// The platform key code of a Qt key; 0 for keys the platform does not number here.
int32_t PlatformKeyCode(int qtKey);
// Shift bits: 1 Shift, 2 Ctrl, 4 Alt.
int16_t PlatformShift(Qt::KeyboardModifiers modifiers);
// Button bits: 1 left, 2 right, 4 middle.
int16_t PlatformButtons(Qt::MouseButtons buttons);

}  // namespace lectryn::desktop
