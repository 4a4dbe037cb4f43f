#include "QtText.h"

#include "core/CodePage.h"

namespace tavro::app {

namespace {

const TCodePage& DisplayPage() {
    const TCodePagePair& pages = ActiveCodePages();
    return pages.Display() != nullptr ? *pages.Display() : *TCodePagePair::Default().Display();
}

} // namespace

QString ToQt(std::string_view text) {
    return QString::fromStdString(DisplayPage().ToUtf8(text));
}

std::string FromQt(const QString& text) {
    return DisplayPage().FromUtf8(text.toStdString());
}

} // namespace tavro::app
