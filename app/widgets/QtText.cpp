#include "QtText.h"

#include "core/CodePage.h"

namespace tavro::app {

// Byte by byte through the page's table: a single-byte page's characters all lie in the
// basic plane.
QString ToQt(std::string_view text) {
    const TCodePage& page = ActiveDisplayPage();
    QString out(qsizetype(text.size()), Qt::Uninitialized);
    QChar* to = out.data();
    for (const char c : text) {
        const char32_t ch = page.ToUnicode(static_cast<uint8_t>(c));
        *to++ = QChar(ch <= 0xFFFF ? char16_t(ch) : char16_t(0xFFFD));
    }
    return out;
}

std::string FromQt(const QString& text) {
    return ActiveDisplayPage().FromUtf8(text.toStdString());
}

} // namespace tavro::app
