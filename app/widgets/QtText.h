#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tavro::app {

// The model keeps text in the display code page; widgets hold Unicode. These convert at
// the widget boundary through the active code-page pair.
QString ToQt(std::string_view text);
std::string FromQt(const QString& text);

} // namespace tavro::app
