#pragma once

#include "TreeInfo.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavro {

class TTemplate;

struct TUserFont {
    std::string Name;
    uint8_t Charset = 204;
    int32_t Size = 8;
    bool operator==(const TUserFont&) const = default;
};

// 0x00BBGGRR, or 0xFF0000nn for system colour nn.
using TColor = uint32_t;

struct TColorPair {
    TColor Fg = 0;
    TColor Bg = 0;
    bool operator==(const TColorPair&) const = default;
};

enum TColorElement : int {
    ceText = 0,
    ceAddress,
    ceQuote1,
    ceQuote2,
    ceQuote3,
    ceQuote4,
    ceKludge,
    ceTearOrigin,
    ceSelection,
    ceEchoTree,
    ceMsgList,
    ceEchoTreeSel,
    ceMsgListSel,
};
constexpr int ColorElementCount = 13;
constexpr int StyledElementCount = 9;

// Font style bits.
enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A shortcut that inserts text in the composer: low byte the key, +0x2000 Shift, +0x4000
// Ctrl, +0x8000 Alt.
class THotText {
public:
    uint16_t ShortCut = 0;
    std::string Text;
};

// One FTN identity using the program.
class TUser {
public:
    // With the built-in templates in their slots (null for a slot without one).
    explicit TUser(const std::array<TTemplate*, 11>& defaultTemplates = {});

    std::string Name;
    std::string RealName;
    int32_t UserId = 0;
    std::array<TTemplate*, 11> Templates{}; // not owned; null is an empty slot
    uint32_t EditorOptions = 0x0000027B;
    uint8_t KeyMapping = 0;
    int32_t SpacesInTab = 8;
    int32_t BlockIndent = 2;
    bool FormatToViewer = false;
    std::array<TColorPair, ColorElementCount> Colors;
    std::array<uint8_t, StyledElementCount> Styles{};
    TUserFont TreeFont{"MS Sans Serif", 204, 8};
    TUserFont ListFont{"MS Sans Serif", 204, 8};
    TUserFont TextFont{"Courier New", 204, 10};
    bool AutoSpellCheck = false;
    std::vector<std::unique_ptr<TTreeInfo>> AreaTree;
    std::vector<THotText> HotTexts;
    std::vector<std::string> HighlightNames;

    static std::array<TColorPair, ColorElementCount> DefaultColors();
};

} // namespace tavro
