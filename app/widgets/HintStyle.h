#pragma once

#include <QProxyStyle>

namespace tavro::app {

// The platform's style with the program's hint timing: a hint appears after a second
// under the pointer.
class THintStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

} // namespace tavro::app
