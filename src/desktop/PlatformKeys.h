#pragma once
// Qt's keys, modifiers and mouse buttons in the platform's numbering, as the form models take them.
#include <Qt>
#include <cstdint>

#include "forms/Menu.h"

namespace lectryn::desktop {

// The platform key code of a Qt key; 0 for keys the platform does not number here.
int32_t PlatformKeyCode(int qtKey);
// The menu shortcut a key press gives; none for a key the platform does not number here. Shift is
// left out for "=" and "-", whose place, shifted or not, differs between keyboard layouts.
forms::Shortcut PlatformShortcut(int qtKey, Qt::KeyboardModifiers modifiers);
// Shift bits: 1 Shift, 2 Ctrl, 4 Alt.
int16_t PlatformShift(Qt::KeyboardModifiers modifiers);
// Button bits: 1 left, 2 right, 4 middle.
int16_t PlatformButtons(Qt::MouseButtons buttons);

}  // namespace lectryn::desktop
