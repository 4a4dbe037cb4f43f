#include "UserColors.h"

#include "QtText.h"

#include <QApplication>
#include <QFontDatabase>

#include <array>

namespace tavro::app {

namespace {

constexpr TColor SystemColorMark = 0xFF000000u;

// Windows numbers its system colours; these are the nearest palette roles. Numbers past
// the table read as window text, so a damaged configuration still shows something.
constexpr std::array<QPalette::ColorRole, 31> SystemRoles{
    QPalette::Button,          // 0 scroll bar
    QPalette::Dark,            // 1 desktop
    QPalette::Highlight,       // 2 active caption
    QPalette::Mid,             // 3 inactive caption
    QPalette::Window,          // 4 menu
    QPalette::Base,            // 5 window background
    QPalette::Shadow,          // 6 window frame
    QPalette::WindowText,      // 7 menu text
    QPalette::Text,            // 8 window text
    QPalette::HighlightedText, // 9 caption text
    QPalette::Button,          // 10 active border
    QPalette::Button,          // 11 inactive border
    QPalette::Mid,             // 12 application workspace
    QPalette::Highlight,       // 13 selection highlight
    QPalette::HighlightedText, // 14 highlighted text
    QPalette::Button,          // 15 button face
    QPalette::Dark,            // 16 button shadow
    QPalette::Text,            // 17 grey text (disabled group)
    QPalette::ButtonText,      // 18 button text
    QPalette::WindowText,      // 19 inactive caption text
    QPalette::Light,           // 20 button highlight
    QPalette::Shadow,          // 21 dark 3D shadow
    QPalette::Midlight,        // 22 3D light
    QPalette::ToolTipText,     // 23 tooltip text
    QPalette::ToolTipBase,     // 24 tooltip background
    QPalette::Window,          // 25 unused
    QPalette::Link,            // 26 hot-tracked item
    QPalette::Highlight,       // 27 active caption gradient
    QPalette::Mid,             // 28 inactive caption gradient
    QPalette::Highlight,       // 29 menu highlight
    QPalette::Window,          // 30 menu bar
};
constexpr int GreyTextIndex = 17;

constexpr int MinFontSize = 4;
constexpr int MaxFontSize = 96;

} // namespace

bool IsSystemColor(TColor color) {
    return (color & 0xFF000000u) == SystemColorMark;
}

TSystemColorRole SystemColorRole(int index) {
    if (index < 0 || index >= static_cast<int>(SystemRoles.size())) {
        return {QPalette::Active, QPalette::WindowText};
    }
    const QPalette::ColorGroup group = index == GreyTextIndex ? QPalette::Disabled : QPalette::Active;
    return {group, SystemRoles[static_cast<size_t>(index)]};
}

QColor ToQColor(TColor color) {
    return ToQColor(color, QApplication::palette());
}

QColor ToQColor(TColor color, const QPalette& palette) {
    if (IsSystemColor(color)) {
        const TSystemColorRole role = SystemColorRole(static_cast<int>(color & 0xFFu));
        return palette.color(role.Group, role.Role);
    }
    // Other high bytes (palette-relative values of old configurations) keep their RGB part.
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

TColor FromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<TColor>(rgb.red()) | static_cast<TColor>(rgb.green()) << 8 |
           static_cast<TColor>(rgb.blue()) << 16;
}

QFont ToQFont(const TUserFont& font, bool fixedPitch) {
    const QString family = ToQt(font.Name);
    QFont result =
        QFontDatabase::systemFont(fixedPitch ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont);
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
        result.setFamily(family);
    }
    if (font.Size >= MinFontSize && font.Size <= MaxFontSize) {
        result.setPointSize(font.Size);
    }
    return result;
}

TUserFont FromQFont(const QFont& font, const TUserFont& previous) {
    TUserFont result = previous;
    result.Name = FromQt(font.family());
    if (font.pointSize() > 0) {
        result.Size = font.pointSize();
    }
    return result;
}

void ApplyFontStyle(QFont& font, uint8_t style) {
    font.setBold((style & fsBold) != 0);
    font.setItalic((style & fsItalic) != 0);
    font.setUnderline((style & fsUnderline) != 0);
    font.setStrikeOut((style & fsStrikeOut) != 0);
}

} // namespace tavro::app
