#include "HintStyle.h"

namespace tavro::app {

namespace {

constexpr int HintDelayMs = 1000;

} // namespace

int THintStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay)
        return HintDelayMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

} // namespace tavro::app
