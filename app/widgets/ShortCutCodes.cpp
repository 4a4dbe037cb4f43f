#include "ShortCutCodes.h"

#include <QKeySequence>

#include <array>
#include <utility>

namespace tavro::app {

namespace {

// Virtual key codes of the keys that are neither letters, digits nor function keys.
constexpr std::array<std::pair<uint8_t, Qt::Key>, 31> NamedKeys{{
    {0x08, Qt::Key_Backspace},   {0x09, Qt::Key_Tab},        {0x0D, Qt::Key_Return},
    {0x13, Qt::Key_Pause},       {0x14, Qt::Key_CapsLock},   {0x1B, Qt::Key_Escape},
    {0x20, Qt::Key_Space},       {0x21, Qt::Key_PageUp},     {0x22, Qt::Key_PageDown},
    {0x23, Qt::Key_End},         {0x24, Qt::Key_Home},       {0x25, Qt::Key_Left},
    {0x26, Qt::Key_Up},          {0x27, Qt::Key_Right},      {0x28, Qt::Key_Down},
    {0x2C, Qt::Key_Print},       {0x2D, Qt::Key_Insert},     {0x2E, Qt::Key_Delete},
    {0x90, Qt::Key_NumLock},     {0x91, Qt::Key_ScrollLock}, {0xBA, Qt::Key_Semicolon},
    {0xBB, Qt::Key_Equal},       {0xBC, Qt::Key_Comma},      {0xBD, Qt::Key_Minus},
    {0xBE, Qt::Key_Period},      {0xBF, Qt::Key_Slash},      {0xC0, Qt::Key_QuoteLeft},
    {0xDB, Qt::Key_BracketLeft}, {0xDC, Qt::Key_Backslash},  {0xDD, Qt::Key_BracketRight},
    {0xDE, Qt::Key_Apostrophe},
}};
// The numeric pad's operators share Qt keys with the main keyboard and differ only by
// the keypad flag.
constexpr std::array<std::pair<uint8_t, Qt::Key>, 6> PadKeys{{
    {0x6A, Qt::Key_Asterisk},
    {0x6B, Qt::Key_Plus},
    {0x6D, Qt::Key_Minus},
    {0x6E, Qt::Key_Period},
    {0x6F, Qt::Key_Slash},
    {0x0D, Qt::Key_Enter},
}};
constexpr bool IsPadCode(uint8_t code) {
    return code >= 0x60 && code <= 0x6F && code != 0x6C;
}

template <size_t N> uint8_t FindCode(const std::array<std::pair<uint8_t, Qt::Key>, N>& table, int key) {
    for (const auto& [vk, named] : table) {
        if (named == key) {
            return vk;
        }
    }
    return 0;
}

template <size_t N> Qt::Key FindKey(const std::array<std::pair<uint8_t, Qt::Key>, N>& table, uint8_t code) {
    for (const auto& [vk, key] : table) {
        if (vk == code) {
            return key;
        }
    }
    return Qt::Key_unknown;
}

// Qt reports Shift with a symbol key as the shifted symbol (US layout); the stored form
// names the key under it.
constexpr std::array<std::pair<Qt::Key, uint8_t>, 21> ShiftedSymbols{{
    {Qt::Key_Exclam, '1'},      {Qt::Key_At, '2'},         {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},      {Qt::Key_Percent, '5'},    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},   {Qt::Key_ParenLeft, '9'},  {Qt::Key_ParenRight, '0'},
    {Qt::Key_Underscore, 0xBD}, {Qt::Key_Colon, 0xBA},     {Qt::Key_QuoteDbl, 0xDE},
    {Qt::Key_Less, 0xBC},       {Qt::Key_Greater, 0xBE},   {Qt::Key_Question, 0xBF},
    {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BraceLeft, 0xDB}, {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Bar, 0xDC},        {Qt::Key_Asterisk, '8'},   {Qt::Key_Plus, 0xBB},
}};

Qt::Key KeyOfCode(uint8_t code) {
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')) {
        return static_cast<Qt::Key>(code);
    }
    if (code >= 0x60 && code <= 0x69) {
        return static_cast<Qt::Key>(Qt::Key_0 + (code - 0x60));
    }
    if (code >= 0x70 && code <= 0x87) {
        return static_cast<Qt::Key>(Qt::Key_F1 + (code - 0x70));
    }
    if (IsPadCode(code)) {
        return FindKey(PadKeys, code);
    }
    return FindKey(NamedKeys, code);
}

uint8_t CodeOfKey(int key, bool keypad, bool shift) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<uint8_t>(0x60 + (key - Qt::Key_0));
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return static_cast<uint8_t>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<uint8_t>(0x70 + (key - Qt::Key_F1));
    }
    if (shift && !keypad) {
        for (const auto& [symbol, vk] : ShiftedSymbols) {
            if (symbol == key) {
                return vk;
            }
        }
    }
    const uint8_t pad = keypad ? FindCode(PadKeys, key) : 0;
    return pad != 0 ? pad : FindCode(NamedKeys, key);
}

} // namespace

QKeyCombination ShortCutToKey(uint16_t shortCut) {
    const auto code = static_cast<uint8_t>(shortCut & 0xFF);
    Qt::KeyboardModifiers modifiers;
    if ((shortCut & scShift) != 0) {
        modifiers |= Qt::ShiftModifier;
    }
    if ((shortCut & scCtrl) != 0) {
        modifiers |= Qt::ControlModifier;
    }
    if ((shortCut & scAlt) != 0) {
        modifiers |= Qt::AltModifier;
    }
    if (IsPadCode(code)) {
        modifiers |= Qt::KeypadModifier;
    }
    return QKeyCombination(modifiers, KeyOfCode(code));
}

uint16_t KeyToShortCut(QKeyCombination key) {
    const Qt::KeyboardModifiers modifiers = key.keyboardModifiers();
    if ((modifiers & Qt::MetaModifier) != 0) {
        return 0;
    }
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    const uint8_t code = CodeOfKey(key.key(), (modifiers & Qt::KeypadModifier) != 0, shift);
    if (code == 0) {
        return 0;
    }
    uint16_t result = code;
    if (shift) {
        result |= scShift;
    }
    if ((modifiers & Qt::ControlModifier) != 0) {
        result |= scCtrl;
    }
    if ((modifiers & Qt::AltModifier) != 0) {
        result |= scAlt;
    }
    return result;
}

QString ShortCutText(uint16_t shortCut) {
    const QKeyCombination key = ShortCutToKey(shortCut);
    if (key.key() != Qt::Key_unknown) {
        return QKeySequence(key).toString(QKeySequence::NativeText);
    }
    QString text;
    if ((shortCut & scCtrl) != 0) {
        text += QStringLiteral("Ctrl+");
    }
    if ((shortCut & scAlt) != 0) {
        text += QStringLiteral("Alt+");
    }
    if ((shortCut & scShift) != 0) {
        text += QStringLiteral("Shift+");
    }
    return text + QStringLiteral("0x") +
           QStringLiteral("%1").arg(shortCut & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace tavro::app
