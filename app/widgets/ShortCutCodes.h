#pragma once

#include <QKeyCombination>
#include <QString>

#include <cstdint>

namespace tavro::app {

// Hot keys are stored as the old toolkit wrote them: the low byte a virtual key code,
// +0x2000 Shift, +0x4000 Ctrl, +0x8000 Alt.
constexpr uint16_t scShift = 0x2000;
constexpr uint16_t scCtrl = 0x4000;
constexpr uint16_t scAlt = 0x8000;

// The Qt key of a stored hot key; Qt::Key_unknown when Qt has none for its code.
QKeyCombination ShortCutToKey(uint16_t shortCut);
// The stored form of a key; 0 when the key has no code (or uses Meta).
uint16_t KeyToShortCut(QKeyCombination key);
// How the hot key list shows a key ("Ctrl+Shift+F"); a code Qt does not know is shown
// in hex, so that it stays visible and is kept.
QString ShortCutText(uint16_t shortCut);

} // namespace tavro::app
