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

const QTextCharFormat& FormatOf(const TStyleFormats& formats, int style) {
    return formats[style >= 0 && style < int(formats.size()) ? static_cast<size_t>(style) : 0];
}

} // namespace

TStyleFormats StyleFormats(const TUser& user) {
    TStyleFormats formats;
    for (size_t i = 0; i < formats.size(); ++i)
        formats[i] = MakeFormat(user.Colors[i], user.Styles[i]);
    return formats;
}

QList<QTextLayout::FormatRange> StyleRuns(const QString& line, const TStyleFormats& formats) {
    QList<QTextLayout::FormatRange> runs;
    const std::string bytes = LineBytes(line);
    if (bytes.size() != static_cast<size_t>(line.size())) {
        runs.append({0, int(line.size()), FormatOf(formats, TFTNParser::LineStyle(bytes))});
        return runs;
    }
    const std::string styles = TFTNParser::GetLineStyles(bytes);
    const int length = static_cast<int>(styles.size());
    for (int start = 0; start < length;) {
        const char style = styles[static_cast<size_t>(start)];
        int end = start + 1;
        while (end < length && styles[static_cast<size_t>(end)] == style)
            ++end;
        runs.append({start, end - start, FormatOf(formats, static_cast<unsigned char>(style))});
        start = end;
    }
    return runs;
}

FtnHighlighter::FtnHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    SetUser(TUser());
}

void FtnHighlighter::SetUser(const TUser& user) {
    Formats_ = StyleFormats(user);
    rehighlight();
}

const QTextCharFormat& FtnHighlighter::Format(int style) const {
    return FormatOf(Formats_, style);
}

void FtnHighlighter::highlightBlock(const QString& text) {
    for (const QTextLayout::FormatRange& run : StyleRuns(text, Formats_))
        setFormat(run.start, run.length, run.format);
}

} // namespace tavro::app
