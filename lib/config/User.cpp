#include "User.h"

namespace tavro {

namespace {

constexpr TColor SystemColor(int n) {
    return 0xFF000000u | static_cast<uint32_t>(n);
}
constexpr TColor WindowBackground = SystemColor(5);

} // namespace

std::array<TColorPair, ColorElementCount> TUser::DefaultColors() {
    return {{
        {0x00000000, WindowBackground},     // text
        {0x00FF0000, WindowBackground},     // address
        {0x00800000, WindowBackground},     // first quote
        {0x00008000, WindowBackground},     // second quote
        {0x00800080, WindowBackground},     // third quote
        {0x00FF00FF, WindowBackground},     // fourth quote
        {0x000000FF, WindowBackground},     // kludges
        {0x00000080, WindowBackground},     // tearline and origin
        {SystemColor(14), SystemColor(13)}, // selected block
        {SystemColor(8), WindowBackground}, // area tree
        {SystemColor(8), WindowBackground}, // message list
        {SystemColor(13), SystemColor(15)}, // area tree selection
        {SystemColor(13), SystemColor(15)}, // message list selection
    }};
}

TUser::TUser(const std::array<TTemplate*, 11>& defaultTemplates)
    : Templates(defaultTemplates), Colors(DefaultColors()) {
    Styles[ceAddress] = fsUnderline;
}

} // namespace tavro
