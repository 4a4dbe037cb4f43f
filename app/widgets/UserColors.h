#pragma once

#include "config/User.h"

#include <QColor>
#include <QFont>
#include <QPalette>

namespace tavro::app {

// A stored colour as Qt shows it: 0x00BBGGRR is plain RGB, 0xFF0000nn a system colour
// taken from `palette` (the application's palette when none is given).
QColor ToQColor(TColor color);
QColor ToQColor(TColor color, const QPalette& palette);
// An RGB colour in the stored form (alpha dropped).
TColor FromQColor(const QColor& color);

// Whether the value names a system colour, and which palette role and group stand for it.
bool IsSystemColor(TColor color);
struct TSystemColorRole {
    QPalette::ColorGroup Group = QPalette::Active;
    QPalette::ColorRole Role = QPalette::Text;
};
TSystemColorRole SystemColorRole(int index);

// A stored font: its family when installed, else the system's default font (or its
// fixed-pitch font for text); the stored size when it is sane.
QFont ToQFont(const TUserFont& font, bool fixedPitch);
// The chosen font in the stored form; the character set is kept from `previous`.
TUserFont FromQFont(const QFont& font, const TUserFont& previous);
// Applies a style byte (bold, italic, underline, strike-out).
void ApplyFontStyle(QFont& font, uint8_t style);

} // namespace tavro::app
