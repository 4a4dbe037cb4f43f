#include "QtText.h"

#include "core/CodePage.h"

namespace tavro::app {

QString ToQt(std::string_view text) {
    return QString::fromStdString(ActiveDisplayPage().ToUtf8(text));
}

std::string FromQt(const QString& text) {
    return ActiveDisplayPage().FromUtf8(text.toStdString());
}

} // namespace tavro::app
