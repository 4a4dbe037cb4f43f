#pragma once

#include "config/User.h"

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>

class QTextDocument;

namespace tavro::app {

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
    std::array<QTextCharFormat, StyleCount> Formats_;
};

} // namespace tavro::app
