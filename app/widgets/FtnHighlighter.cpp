#include "FtnHighlighter.h"

#include "QtText.h"
#include "UserColors.h"

#include "text/FtnParser.h"

#include <QTextDocument>

namespace tavro::app {

namespace {

// The classifier works on one byte per character. A character outside the basic plane
// takes two UTF-16 units but one byte, so such units are replaced first to keep positions.
std::string LineBytes(const QString& text) {
    bool hasSurrogates = false;
    for (const QChar ch : text) {
        hasSurrogates = hasSurrogates || ch.isSurrogate();
    }
    if (!hasSurrogates) {
        return FromQt(text);
    }
    QString plain = text;
    for (QChar& ch : plain) {
        if (ch.isSurrogate()) {
            ch = QLatin1Char('?');
        }
    }
    return FromQt(plain);
}

QTextCharFormat MakeFormat(const TColorPair& colors, uint8_t style) {
    QTextCharFormat format;
    format.setForeground(ToQColor(colors.Fg));
    format.setBackground(ToQColor(colors.Bg));
    format.setFontWeight((style & fsBold) != 0 ? QFont::Bold : QFont::Normal);
    format.setFontItalic((style & fsItalic) != 0);
    format.setFontUnderline((style & fsUnderline) != 0);
    format.setFontStrikeOut((style & fsStrikeOut) != 0);
    return format;
}

} // namespace

FtnHighlighter::FtnHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    SetUser(TUser());
}

void FtnHighlighter::SetUser(const TUser& user) {
    for (size_t i = 0; i < Formats_.size(); ++i) {
        Formats_[i] = MakeFormat(user.Colors[i], user.Styles[i]);
    }
    rehighlight();
}

const QTextCharFormat& FtnHighlighter::Format(int style) const {
    return Formats_[style >= 0 && style < StyleCount ? static_cast<size_t>(style) : 0];
}

void FtnHighlighter::highlightBlock(const QString& text) {
    const std::string bytes = LineBytes(text);
    if (bytes.size() != static_cast<size_t>(text.size())) {
        setFormat(0, static_cast<int>(text.size()), Format(TFTNParser::LineStyle(bytes)));
        return;
    }
    const std::string styles = TFTNParser::GetLineStyles(bytes);
    const int length = static_cast<int>(styles.size());
    for (int start = 0; start < length;) {
        int end = start + 1;
        while (end < length && styles[static_cast<size_t>(end)] == styles[static_cast<size_t>(start)]) {
            ++end;
        }
        setFormat(start, end - start, Format(static_cast<unsigned char>(styles[static_cast<size_t>(start)])));
        start = end;
    }
}

} // namespace tavro::app
