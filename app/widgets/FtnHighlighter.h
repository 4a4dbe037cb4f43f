#pragma once

#include "config/User.h"

#include <QList>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTextLayout>

#include <array>

class QTextDocument;

namespace tavro::app {

// One format per style code of the text classifier, from a user's colours and font styles.
using TStyleFormats = std::array<QTextCharFormat, 8>;
TStyleFormats StyleFormats(const TUser& user);
// A line's runs of one style each, with their formats.
QList<QTextLayout::FormatRange> StyleRuns(const QString& line, const TStyleFormats& formats);

// Colours each line of a message text by the FTN text classifier: one format per style
// code (plain text, link, four quote levels, kludge, tearline/origin) from a user's colours
// and font styles.
class FtnHighlighter final : public QSyntaxHighlighter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtnHighlighter)

public:
    static constexpr int StyleCount = 8;

    explicit FtnHighlighter(QTextDocument* document);

    // Takes the colours and styles of elements 0..7 and colours the document again.
    void SetUser(const TUser& user);
    const QTextCharFormat& Format(int style) const;

protected:
    void highlightBlock(const QString& text) override;

private:
    TStyleFormats Formats_;
};

} // namespace tavro::app
